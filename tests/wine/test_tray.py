"""The real Vendlume.exe under Wine in a virtual desktop with its taskbar: the icon
appears, a click opens the menu, "終了" ends the program, and a second program in the
same folder refuses to start. Asked whether the Windows session may end, the program agrees
and polls no more."""

import os
import socket
import threading
import time
import unittest

import winedesk

POLL_INTERVAL = 15  # seconds between two polls of a mailbox without mail


class EmptyMailbox:
    """A POP3 server on loopback with no mail that notes the start of every session."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        self.sessions = []
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.sessions.append(time.monotonic())
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    @staticmethod
    def _serve(connection):
        answers = {b"STAT": b"+OK 0 0\r\n", b"LIST": b"+OK 0 messages\r\n.\r\n", b"QUIT": b"+OK bye\r\n"}
        with connection, connection.makefile("rb") as lines:
            try:
                connection.sendall(b"+OK ready\r\n")
                for line in lines:
                    command = line.split(b" ", 1)[0].strip().upper()
                    connection.sendall(answers.get(command, b"+OK\r\n"))
                    if command == b"QUIT":
                        return
            except OSError:
                pass

    def close(self):
        self.listener.close()


class TrayUnderWine(unittest.TestCase):
    def setUp(self):
        self.desk = winedesk.desktop_for(self)
        self.folder = self.desk.folder

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

    def test_end_of_session_is_agreed_and_no_poll_follows(self):
        helper = os.environ.get("VDL_END_SESSION")
        if not helper:
            self.skipTest("VDL_END_SESSION is not set: run through ctest of the Windows build")
        mailbox = EmptyMailbox()
        self.addCleanup(mailbox.close)
        with open(os.path.join(self.folder, "Vendlume.ini"), "wb") as f:
            f.write(b"[POP3]\r\nHost=127.0.0.1\r\nUser=shop\r\nPass=secret\r\nPort=%d\r\n" % mailbox.port)
        desk = self.desk
        desk.start_program()
        self.assertIsNotNone(desk.wait_for_icon(), "no icon in the tray: " + desk.shots)
        deadline = time.monotonic() + POLL_INTERVAL + 45
        while not mailbox.sessions and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertTrue(mailbox.sessions, "the program never polled its mailbox")
        files = self.files()

        # The question alone, as when another program then keeps the session going: every
        # window of the program agrees, and the program polls no more.
        answers = desk.query_end_session(helper)
        self.assertTrue(answers, "the program's main window was not found")
        self.assertEqual(set(answers), {"1"}, answers)
        polls = len(mailbox.sessions)
        # Longer than the time between two polls: a running poll timer would have fired.
        time.sleep(POLL_INTERVAL + 5)
        self.assertEqual(len(mailbox.sessions), polls, "a poll started after the session's end was agreed")
        self.assertTrue(desk.program_running(), "the program ended")

        # Wine's own end of the session: the program agrees, and Wine ends it.
        self.assertEqual(desk.end_session(), "agreed")
        deadline = time.monotonic() + 30
        while desk.program_running() and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertFalse(desk.program_running(), "the program was not ended with the session")
        self.assertEqual(len(mailbox.sessions), polls)
        self.assertEqual(self.files(), files, "files changed at the end of the session")

    def files(self):
        """The program's files; the lock file it holds while it runs, and removes when it
        ends, left out."""
        contents = {}
        for name in sorted(os.listdir(self.folder)):
            if name == "Vendlume.lock":
                continue
            with open(os.path.join(self.folder, name), "rb") as f:
                contents[name] = f.read()
        return contents

if __name__ == "__main__":
    unittest.main()
