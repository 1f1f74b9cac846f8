"""The real Vendlume.exe under Wine in a virtual desktop with its taskbar: the icon
appears, a click opens the menu, "終了" ends the program, and a second program in the
same folder refuses to start. Asked whether the Windows session may end, the program agrees
and polls no more. An FTP server that cannot be reached turns the icon into the warning
icon and is told in the events log, until the server answers again. The settings window
closed while its connection test waits for a silent server leaves the program polling."""

import os
import socket
import sys
import threading
import time
import unittest

import winedesk

sys.path.insert(0, os.path.join(winedesk.ROOT, "tests", "e2e"))
import harness  # noqa: E402

POLL_INTERVAL = 15  # seconds between two polls of a mailbox without mail


class LoopbackServer:
    """Accepts connections on 127.0.0.1 at port (0: a free one) and serves each in a thread."""

    def __init__(self, port=0):
        self.listener = socket.create_server(("127.0.0.1", port))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self.serve, args=(connection,), daemon=True).start()

    def close(self):
        self.listener.close()


class EmptyMailbox(LoopbackServer):
    """A POP3 server with no mail that notes the start and the end (QUIT) of every session.
    While hold is set, it takes connections into held and never greets them."""

    def __init__(self):
        self.sessions, self.quits, self.held, self.hold = [], [], [], False
        super().__init__()

    def serve(self, connection):
        if self.hold:
            self.held.append(connection)
            return
        self.sessions.append(time.monotonic())
        answers = {b"STAT": b"+OK 0 0\r\n", b"LIST": b"+OK 0 messages\r\n.\r\n", b"QUIT": b"+OK bye\r\n"}
        with connection, connection.makefile("rb") as lines:
            try:
                connection.sendall(b"+OK ready\r\n")
                for line in lines:
                    command = line.split(b" ", 1)[0].strip().upper()
                    connection.sendall(answers.get(command, b"+OK\r\n"))
                    if command == b"QUIT":
                        self.quits.append(time.monotonic())
                        return
            except OSError:
                pass

    def close(self):
        super().close()
        for connection in self.held:
            connection.close()


class Forwarder(LoopbackServer):
    """The FTP server back on a port: each connection there is joined to the real server's."""

    def __init__(self, port, to):
        self.to = to
        super().__init__(port)

    def serve(self, near):
        far = socket.create_connection(("127.0.0.1", self.to))
        threading.Thread(target=self._pump, args=(far, near), daemon=True).start()
        self._pump(near, far)

    @staticmethod
    def _pump(source, sink):
        try:
            while data := source.recv(65536):
                sink.sendall(data)
        except OSError:
            pass
        for end in (source, sink):
            try:
                end.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def mailbox_ini(host, port):
    return harness.ini_text({"POP3": {"Host": host, "User": "shop", "Pass": "secret", "Port": port}})


def near(pixel, colour, tolerance=24):
    return all(abs(a - b) < tolerance for a, b in zip(pixel, colour))


class TrayUnderWine(unittest.TestCase):
    def setUp(self):
        self.desk = winedesk.desktop_for(self)
        self.folder = self.desk.folder

    def helper(self):
        """The helper that sends the system's messages in the program's desktop (endsession.cpp)."""
        helper = os.environ.get("VDL_END_SESSION")
        if not helper:
            self.skipTest("VDL_END_SESSION is not set: run through ctest of the Windows build")
        return helper

    def start(self, ini=None):
        """Starts the program, with these Vendlume.ini bytes if given; where its icon is."""
        if ini is not None:
            with open(os.path.join(self.folder, "Vendlume.ini"), "wb") as f:
                f.write(ini)
        self.desk.start_program()
        at = self.desk.wait_for_icon()
        self.assertIsNotNone(at, "no icon in the tray: " + self.desk.shots)
        return at

    def test_icon_menu_exit_and_one_program_per_folder(self):
        desk = self.desk
        at = self.start()

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
        helper = self.helper()
        mailbox = EmptyMailbox()
        self.addCleanup(mailbox.close)
        self.start(mailbox_ini("127.0.0.1", mailbox.port))
        desk = self.desk
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

    def test_ftp_trouble_turns_the_icon_and_clears(self):
        helper = self.helper()
        ftp = harness.vsftpd()
        mailbox = EmptyMailbox()
        self.addCleanup(mailbox.close)
        port = harness.free_port()  # where the FTP server will answer, once it is back
        target = "wine-health-%d" % os.getpid()
        open(os.path.join(self.folder, "item.unpublished"), "wb").close()  # a page waits to go up
        at = self.start(mailbox_ini("127.0.0.1", mailbox.port) + harness.ini_text({"FTP": {
            "Host": "127.0.0.1", "User": ftp["user"], "Pass": ftp["password"], "Port": port, "Target": target}}))
        desk = self.desk
        box = (at[0] - 8, at[1] - 8, 16, 16)
        above = (winedesk.WIDTH - 400, winedesk.HEIGHT - winedesk.TASKBAR - 120, 400, 120)  # where notices show
        shot = desk.screenshot("normal.png")
        normal, quiet = desk.pixels(shot, box), desk.pixels(shot, above)

        def resume():
            self.tell(helper, "resume")

        def check_now():
            desk.xdotool("mousemove", str(at[0]), str(at[1]), "click", "1")
            time.sleep(1.5)
            for _ in range(3):
                desk.xdotool("key", "Down")
            desk.xdotool("key", "Return")

        def poll(ask):
            """A poll asked for as ask() does: it must follow within 5 s."""
            sessions = len(mailbox.sessions)
            ask()
            self.assertTrue(harness.wait_for(lambda: len(mailbox.sessions) > sessions, 5), "no poll within 5 s")

        def icon_becomes(wanted):
            return harness.wait_for(lambda: wanted(desk.pixels(desk.screenshot("icon.png"), box)), 10, 0.5)

        def notice_shown(warning):
            """A notice above the icon (the tip kept away), with the warning sign's orange or without."""
            desk.xdotool("mousemove", "10", "10")

            def shown():
                pixels = desk.pixels(desk.screenshot("notice.png"), above)
                orange = sum(near(p, (0xF5, 0x79, 0x00), 30) for p in pixels)
                return sum(a != b for a, b in zip(pixels, quiet)) > 2000 and (orange > 20) == warning
            return harness.wait_for(shown, 30, 0.5)

        def events():
            return harness.folder_file(self.folder, "Vendlume-events.log").decode("cp932")

        # The owner's "今すぐ確認" and a resume from sleep each bring a poll at once; once
        # the page has failed to go up for more than two polls, the icon shows the warning.
        poll(check_now)
        for _ in range(3):
            poll(resume)
        warning_mark = (0xF5, 0xC4, 0x00)  # the yellow of res/vendlume-warning.ico's mark
        self.assertTrue(icon_becomes(lambda pixels: any(near(p, warning_mark) for p in pixels)),
                        "no warning icon: " + desk.shots)
        self.assertIn("[FTP] 問題が続いています", events())
        self.assertTrue(notice_shown(warning=True), "no warning notice: " + desk.shots)

        forwarder = Forwarder(port, ftp["port"])
        self.addCleanup(forwarder.close)
        poll(resume)
        self.assertTrue(icon_becomes(lambda pixels: pixels == normal), "the warning icon stayed: " + desk.shots)
        self.assertIn("[FTP] 回復しました", events())
        self.assertTrue(notice_shown(warning=False), "no notice of the recovery: " + desk.shots)
        self.assertTrue(os.path.exists(os.path.join(ftp["home"], target + ".html")))
        self.assertFalse(os.path.exists(os.path.join(self.folder, "item.unpublished")))

    def test_session_end_is_answered_while_a_server_is_silent(self):
        helper = self.helper()
        # A mailbox address that takes no connection: its queue of pending ones is full.
        silent = socket.create_server(("127.0.0.3", 0), backlog=0)
        self.addCleanup(silent.close)
        port, fillers = silent.getsockname()[1], []
        self.addCleanup(lambda: [f.close() for f in fillers])
        while len(fillers) < 16:
            try:
                fillers.append(socket.create_connection(("127.0.0.3", port), timeout=0.3))
            except OSError:
                break
        self.start(mailbox_ini("127.0.0.3", port))
        self.tell(helper, "resume")  # a poll in 2 s, whose connect then waits ("02": SYN sent)
        self.assertTrue(harness.wait_for(lambda: any(state == "02" for state, _ in harness.tcp_connections(port)),
                                         10, 0.2), harness.tcp_connections(port))
        answers = self.tell(helper, "timed").split()
        self.assertTrue(answers and all(a.startswith("1:") and int(a[2:]) < 1000 for a in answers), answers)

    def test_the_icon_comes_back_with_a_new_taskbar(self):
        helper = self.helper()
        self.start()
        # A taskbar that restarted knows no icon; its "TaskbarCreated" brings the program's back.
        self.assertEqual(self.tell(helper, "forget"), "done")
        self.assertTrue(harness.wait_for(lambda: self.desk.tray_icon() is None, 10, 0.5), "the icon stayed")
        self.assertEqual(self.tell(helper, "taskbar"), "done")
        self.assertIsNotNone(self.desk.wait_for_icon(10), "no icon after TaskbarCreated: " + self.desk.shots)
        self.assertTrue(self.desk.program_running())

    def test_settings_closed_during_their_connection_test_leave_the_program_polling(self):
        helper = self.helper()
        mailbox = EmptyMailbox()
        self.addCleanup(mailbox.close)
        at = self.start(mailbox_ini("127.0.0.1", mailbox.port))
        desk = self.desk
        # Once a poll has ended, the next is 15 s away: the connection test takes the mailbox first.
        self.assertTrue(harness.wait_for(lambda: mailbox.quits, POLL_INTERVAL + 45), "no poll ended")
        mailbox.hold = True
        desk.xdotool("mousemove", str(at[0]), str(at[1]), "click", "1")
        time.sleep(1.5)
        desk.xdotool("key", "Down")  # the first item: "環境設定"
        desk.xdotool("key", "Return")
        self.assertEqual(self.tell(helper, "test"), "done", "no settings window: " + desk.shots)
        self.assertTrue(harness.wait_for(lambda: mailbox.held, 10), "the connection test did not connect")
        mailbox.hold = False

        # Closed while its test waits for the greeting: the window is hidden, yet kept until
        # the test's handler has returned.
        self.assertEqual(self.tell(helper, "close"), "done")
        self.assertTrue(harness.wait_for(lambda: self.tell(helper, "settings") != "shown", 10))
        self.assertEqual(self.tell(helper, "settings"), "hidden")
        self.assertTrue(desk.program_running())
        # The server goes without a word: the test ends with its error message.
        mailbox.held[0].close()
        self.assertEqual(self.tell(helper, "dismiss"), "error")
        self.assertTrue(harness.wait_for(lambda: self.tell(helper, "settings") == "none", 10), "the window stayed")

        # The program lives on and polls: a resume brings a whole session within 5 s.
        quits = len(mailbox.quits)
        self.tell(helper, "resume")
        self.assertTrue(harness.wait_for(lambda: len(mailbox.quits) > quits, 5), "no poll after the test")
        self.assertTrue(desk.program_running())

    def tell(self, helper, mode):
        """Runs the helper in the program's desktop with mode; what it wrote."""
        answer = os.path.join(self.desk.shots, mode + ".txt")
        if os.path.exists(answer):
            os.remove(answer)
        return self.desk._run_in_desktop("vdltest", [helper, "Z:" + answer.replace("/", "\\"), mode], answer, 60)

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
