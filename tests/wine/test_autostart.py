""""Windows の起動時に開始" in the tray menu of the real Vendlume.exe under Wine: choosing it
writes the program's full path, quoted, with /autostart under the user's Run key (read back
with `wine reg query`); choosing it again removes the value. The program started as the Run
key starts it, from another folder, works in its own folder."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

import winedesk

RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


class StartWithWindows(unittest.TestCase):
    def setUp(self):
        exe = os.environ.get("VDL_WINDOWS_PROGRAM")
        if not exe:
            self.skipTest("VDL_WINDOWS_PROGRAM is not set: run through ctest of the Windows build")
        self.folder = winedesk.folder_with_settings()
        self.addCleanup(winedesk.remove, self.folder)
        # The program's own folder is the one with its files, as on a shop's PC.
        self.exe = os.path.join(self.folder, "Vendlume.exe")
        shutil.copy(exe, self.exe)
        self.desk = winedesk.WineDesktop(self.exe, self.folder)
        self.addCleanup(self.desk.stop)
        self.desk.start_x()
        self.reg("delete", "/f")

    def reg(self, action, *args):
        """`wine reg ACTION` on the Vendlume value of the Run key: (exit status, output)."""
        r = subprocess.run(["wine", "reg", action, RUN_KEY, "/v", "Vendlume", *args], env=self.desk.env,
                           capture_output=True, text=True, errors="replace", timeout=120)
        return r.returncode, r.stdout

    def choose_item(self, at):
        """Opens the menu and chooses the item just above the separator before the author's
        page: from the bottom, "終了", the author's page, then this one."""
        self.desk.xdotool("mousemove", str(at[0]), str(at[1]), "click", "1")
        time.sleep(1.5)
        for key in ("Up", "Up", "Up", "Return"):
            self.desk.xdotool("key", key)

    def wait_for_value(self, present, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            status, output = self.reg("query")
            if (status == 0) == present or time.monotonic() > deadline:
                return status, output
            time.sleep(0.5)

    def test_the_item_adds_and_removes_the_run_value_and_the_run_command_works_in_its_folder(self):
        desk = self.desk
        desk.start_program()
        at = desk.wait_for_icon()
        self.assertIsNotNone(at, "no icon in the tray: " + desk.shots)

        self.choose_item(at)
        status, output = self.wait_for_value(True)
        self.assertEqual(status, 0, "no Run value was written")
        command = '"Z:%s" /autostart' % self.exe.replace("/", "\\")
        self.assertIn(command.lower(), output.lower())

        self.choose_item(at)
        status, output = self.wait_for_value(False)
        self.assertNotEqual(status, 0, "the Run value was not removed: " + output)

        # As at logon: the stored command, from another folder; the program takes its own
        # folder's files (a second program there is refused) and leaves the other alone.
        self.choose_item(at)
        self.assertEqual(self.wait_for_value(True)[0], 0)
        desk.xdotool("mousemove", str(at[0]), str(at[1]), "click", "1")
        time.sleep(1.5)
        desk.xdotool("key", "Up")
        desk.xdotool("key", "Return")
        deadline = time.monotonic() + 30
        while desk.program_running() and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertFalse(desk.program_running(), "the program did not end")
        elsewhere = tempfile.mkdtemp(prefix="vdl-system-folder-")
        self.addCleanup(winedesk.remove, elsewhere)
        desk.program = subprocess.Popen(
            ["wine", "explorer", "/desktop=vdltest,%dx%d" % (winedesk.WIDTH, winedesk.HEIGHT), self.exe, "/autostart"],
            cwd=elsewhere, env=desk.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertIsNotNone(desk.wait_for_icon(), "no icon after the start from the Run key: " + desk.shots)
        code, _ = desk.run_second()
        self.assertEqual(code, 2, "the program started from the Run key does not hold its own folder")
        self.assertEqual(os.listdir(elsewhere), [])
        self.reg("delete", "/f")


if __name__ == "__main__":
    unittest.main()
