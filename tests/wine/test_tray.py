"""The real Vendlume.exe under Wine in a virtual desktop with its taskbar: the icon
appears, a click opens the menu, "終了" ends the program, and a second program in the
same folder refuses to start."""

import os
import time
import unittest

import winedesk


class TrayUnderWine(unittest.TestCase):
    def setUp(self):
        exe = os.environ.get("VDL_WINDOWS_PROGRAM")
        if not exe:
            self.skipTest("VDL_WINDOWS_PROGRAM is not set: run through ctest of the Windows build")
        self.folder = winedesk.folder_with_settings()
        self.desk = winedesk.WineDesktop(exe, self.folder)
        self.addCleanup(winedesk.remove, self.folder)
        self.addCleanup(self.desk.stop)
        self.desk.start_x()

    def test_icon_menu_exit_and_one_program_per_folder(self):
        desk = self.desk
        desk.start_program()
        at = desk.wait_for_icon()
        self.assertIsNotNone(at, "no icon in the tray: " + desk.shots)

        code, _ = desk.run_second()
        self.assertEqual(code, 2, "the second program in the folder did not refuse to start")
        self.assertTrue(desk.program_running())

        before = desk.screenshot("before-click.png")
        desk.xdotool("mousemove", str(at[0]), str(at[1]), "click", "1")
        time.sleep(1.5)
        after = desk.screenshot("menu.png")
        self.assertTrue(desk.menu_open(before, after), "no menu: " + desk.shots)

        # The last item is "終了".
        desk.xdotool("key", "Up")
        desk.xdotool("key", "Return")
        deadline = time.monotonic() + 30
        while desk.program_running() and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertFalse(desk.program_running(), "the program did not end")
        # Nothing was lost or written at exit.
        self.assertEqual(sorted(os.listdir(self.folder)), ["Vendlume.ini", "item.html"])


if __name__ == "__main__":
    unittest.main()
