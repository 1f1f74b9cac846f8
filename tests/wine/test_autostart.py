""""Windows の起動時に開始" in the tray menu under Wine writes, then removes, the Run value; so started, it works."""

import os
import subprocess
import sys
import tempfile
import unittest

import winedesk

sys.path.insert(0, os.path.join(winedesk.ROOT, "tests", "e2e"))
import harness  # noqa: E402

RUN = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


class StartWithWindows(unittest.TestCase):
    def test_the_item_adds_and_removes_the_run_value_and_the_run_command_works_in_its_folder(self):
        desk = winedesk.desktop_for(self, copy_program=True)
        def reg(action, *args):  # on the Vendlume value of the user's Run key
            return subprocess.run(["wine", "reg", action, RUN, "/v", "Vendlume", *args], env=desk.env,
                                  capture_output=True, text=True, errors="replace", timeout=120)
        reg("delete", "/f")
        self.addCleanup(reg, "delete", "/f")
        desk.start_program()
        self.assertIsNotNone(at := desk.wait_for_icon(), "no icon in the tray: " + desk.shots)
        command = '"z:%s" /autostart' % desk.exe.replace("/", "\\").lower()
        state = lambda: (command in reg("query").stdout.lower(), desk.program_running())
        for ups, present in ((3, True), (3, False), (3, True), (1, True)):  # the item thrice, then "終了"
            before = desk.screenshot("before.png")
            desk.xdotool("mousemove", str(at[0]), str(at[1]), "click", "1")
            harness.wait_for(lambda: desk.menu_open(before, desk.screenshot("menu.png")), 30, 0.2)
            for key in ["Up"] * ups + ["Return"]:
                desk.xdotool("key", key)
            self.assertTrue(harness.wait_for(lambda: state() == (present, ups == 3), 30, 0.2), (ups, present, state()))
        # As at logon, from another folder: the program holds its own folder and leaves the other alone.
        elsewhere = tempfile.mkdtemp(prefix="vdl-system-folder-")
        self.addCleanup(winedesk.remove, elsewhere)
        desk.start_program("vdltest", "/autostart", cwd=elsewhere)
        self.assertIsNotNone(desk.wait_for_icon(), "no icon after the start from the Run key: " + desk.shots)
        self.assertEqual(desk.run_second()[0], 2, "the program started from the Run key does not hold its folder")
        self.assertEqual(os.listdir(elsewhere), [])


if __name__ == "__main__":
    unittest.main()
