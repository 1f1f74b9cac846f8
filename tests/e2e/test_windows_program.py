"""Vendlume.exe under Wine beside the Linux program: the order mails of test_orders go
through each program in turn, against the same mailbox, local mall and FTP server, from the
same folder contents. The Windows program must publish the very pages the Linux program
publishes, byte for byte, keep the same files and ask the mall the same questions. And while
another program holds the list open, the Windows program keeps the order's mail, and saves the
order once when the list is let go."""

import os
import subprocess
import sys
import unittest

import expected
import harness
import test_orders

MAILS = test_orders.MAILS
PAGES = len(MAILS) - 1  # the two-destination mail publishes nothing


def first_difference(got, want):
    """Where two page or file bytes part: the first differing CR LF line of each."""
    got_lines, want_lines = got.split(b"\r\n"), want.split(b"\r\n")
    for number, (a, b) in enumerate(zip(got_lines, want_lines), start=1):
        if a != b:
            return "line %d:\n  windows: %s\n  linux:   %s" % (
                number, a.decode("cp932", "replace"), b.decode("cp932", "replace"))
    return "%d lines against %d (%d bytes against %d)" % (len(got_lines), len(want_lines), len(got), len(want))


def kept_files(folder):
    """Every file the program keeps in its folder (failed/ included), by relative path;
    the programs' lock file, the Linux program's status file, the events log (its lines carry the time)
    and the harness's stderr capture left out."""
    files = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            relative = os.path.relpath(path, folder)
            if relative in ("Vendlume.lock", "Vendlume.status", "Vendlume-events.log", "stderr.txt"):
                continue
            with open(path, "rb") as f:
                files[relative] = f.read()
    return files


def run_orders(start, tag, mall, pop3, ftp):
    """One program takes the mails of test_orders; what it published, kept and asked."""
    maildir = pop3["maildir"]
    maildir.clear()
    target = "e2e-both-%d" % os.getpid()  # the same settings file for both
    remote = os.path.join(ftp["home"], target + ".html")
    if os.path.exists(remote):
        os.remove(remote)
    folder = harness.WorkFolder(tag)
    folder.write("Vendlume.ini", harness.ini_text(harness.settings(
        pop3, ftp, target, mall.host, html={"Review": 1, "Count": test_orders.COUNT})))
    folder.write("itemsl.csv", expected.list_file([test_orders.OLD_ROW]))
    for name, encoding, multipart in MAILS:
        maildir.put(harness.mail_for(name, encoding, multipart))
    asked_before = len(mall.requests())

    watcher = harness.PageWatcher(remote)
    program = None
    try:
        program = start(folder.path)
        # Wine takes longer to start, the more so on a prefix it has yet to set up.
        startup_page = harness.wait_for(lambda: program.file("item.html"), 90)
        watcher.wait_uploads(PAGES, 15 + 5 * PAGES + 60)
        emptied = harness.wait_for(lambda: maildir.count() == 0, 10)
        run = {"startup_page": startup_page, "uploads": [page for _, page in watcher.snapshot()],
               "files": kept_files(folder.path), "requests": mall.requests()[asked_before:],
               "emptied": emptied}
    finally:
        stopped = program.stop() if program else None
        watcher.stop()
        maildir.clear()
        folder.remove()
    run["stopped"] = stopped
    return run


class WindowsProgramBesideLinux(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        exe = os.environ.get("VDL_WINDOWS_PROGRAM")
        if not exe:
            raise unittest.SkipTest("VDL_WINDOWS_PROGRAM is not set: run through ctest of the Windows build")
        linux = harness.program_path()
        if not os.access(linux, os.X_OK):
            raise RuntimeError(linux + " is missing: build the Linux program too (cmake --build build "
                               "--target vendlume_exe), or name it with -DVDL_LINUX_PROGRAM=")
        pop3, ftp = harness.dovecot(), harness.vsftpd()
        cls.folder = harness.WorkFolder("both-mall")
        cls.mall = harness.Mall(cls.folder.path)
        try:
            cls.linux = run_orders(harness.Program, "linux", cls.mall, pop3, ftp)
            cls.windows = run_orders(lambda path: harness.WineProgram(path, exe), "windows", cls.mall, pop3, ftp)
        finally:
            cls.mall.stop()

    @classmethod
    def tearDownClass(cls):
        cls.folder.remove()

    def test_each_program_takes_every_mail(self):
        for name, run in (("linux", self.linux), ("windows", self.windows)):
            with self.subTest(program=name):
                self.assertTrue(run["emptied"], "mails left in the mailbox")
                self.assertEqual(len(run["uploads"]), PAGES, "number of uploads")

    def test_the_windows_program_publishes_the_linux_programs_pages_byte_for_byte(self):
        self.assertEqual(len(self.windows["uploads"]), len(self.linux["uploads"]))
        for number, (got, want) in enumerate(zip(self.windows["uploads"], self.linux["uploads"]), start=1):
            with self.subTest(upload=number, mail="%s %s%s" % (MAILS[number][0], MAILS[number][1],
                                                               " multipart" * MAILS[number][2])):
                self.assertTrue(got == want, first_difference(got, want))

    def test_the_last_page_is_the_page_of_the_list(self):
        # Both programs may not be wrong the same way: the last page against the list.
        lookup = expected.Lookup(harness.CATALOGUE, "http://" + self.mall.host, self.mall.host)
        rows = [test_orders.OLD_ROW]
        for name, _, _ in MAILS[1:]:
            added, _ = expected.order_rows(harness.load_json(name), lookup)
            for row in added:
                rows = ([row] + rows)[:test_orders.COUNT]
        self.assertTrue(self.windows["uploads"], "nothing published")
        want = expected.status_page(rows, self.mall.host, review=True)
        self.assertIsNone(expected.page_mismatch(self.windows["uploads"][-1], want))

    def test_the_start_up_page_is_the_same(self):
        self.assertIsNotNone(self.windows["startup_page"], "no item.html at start-up")
        self.assertTrue(self.windows["startup_page"] == self.linux["startup_page"],
                        first_difference(self.windows["startup_page"], self.linux["startup_page"] or b""))

    def test_both_keep_the_same_files(self):
        windows, linux = self.windows["files"], self.linux["files"]
        self.assertEqual(sorted(windows), sorted(linux))
        self.assertIn("itemsl.csv", linux)
        for name in sorted(linux):
            with self.subTest(file=name):
                self.assertTrue(windows.get(name) == linux[name], first_difference(windows.get(name, b""), linux[name]))

    def test_the_mall_is_asked_the_same_questions(self):
        self.assertNotEqual(self.linux["requests"], [])
        self.assertEqual(self.windows["requests"], self.linux["requests"])

    def test_the_windows_program_runs_until_it_is_stopped(self):
        self.assertTrue(self.windows["stopped"], "Vendlume.exe ended by itself")
        self.assertEqual(self.linux["stopped"], 0, "the Linux program's exit status")


class ListHeldByAnotherProgram(unittest.TestCase):
    def test_the_mail_stays_until_the_list_is_let_go(self):
        exe, holder = os.environ.get("VDL_WINDOWS_PROGRAM"), os.environ.get("VDL_HOLD_FILE")
        if not exe or not holder:
            self.skipTest("VDL_WINDOWS_PROGRAM or VDL_HOLD_FILE is not set: run through ctest of the Windows build")
        sys.path.insert(0, os.path.join(harness.HERE, "..", "wine"))
        import winedesk  # noqa: E402  (tests/wine)

        pop3, ftp = harness.dovecot(), harness.vsftpd()
        pop3["maildir"].clear()
        self.addCleanup(pop3["maildir"].clear)
        folder = harness.WorkFolder("held-list")
        self.addCleanup(folder.remove)
        mall = harness.Mall(folder.path)
        self.addCleanup(mall.stop)
        folder.write("Vendlume.ini", harness.ini_text(harness.settings(pop3, ftp, "e2e-held-%d" % os.getpid(),
                                                                       mall.host)))
        old_list = expected.list_file([test_orders.OLD_ROW])
        folder.write("itemsl.csv", old_list)
        name = MAILS[1][0]
        pop3["maildir"].put(harness.mail_for(name))
        desk = winedesk.WineDesktop(exe, folder.path)
        self.addCleanup(desk.stop)
        desk.start_x()

        def windows(path):
            return "Z:" + os.path.join(folder.path, path).replace("/", "\\")

        # The list held as a spreadsheet holds it: reading shared, nothing else.
        subprocess.Popen(["wine", holder, windows("itemsl.csv"), windows("held"), windows("release")],
                         env=desk.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertTrue(harness.wait_for(lambda: os.path.exists(os.path.join(folder.path, "held")), 60))
        desk.start_program("vdlheld")

        def events():
            return (harness.folder_file(folder.path, "Vendlume-events.log") or b"").decode("cp932")

        self.assertTrue(harness.wait_for(lambda: "[ファイル] 失敗" in events(), 90, 0.5), events())
        self.assertEqual(pop3["maildir"].count(), 1, "the mail was taken while its order could not be saved")
        self.assertEqual(harness.folder_file(folder.path, "itemsl.csv"), old_list)

        folder.write("release", b"")
        self.assertTrue(harness.wait_for(lambda: pop3["maildir"].count() == 0, 60, 0.5), events())
        lookup = expected.Lookup(harness.CATALOGUE, "http://" + mall.host, mall.host)
        added, _ = expected.order_rows(harness.load_json(name), lookup)
        self.assertEqual(harness.folder_file(folder.path, "itemsl.csv"),
                         expected.list_file(list(reversed(added)) + [test_orders.OLD_ROW]))
        self.assertIn("[ファイル] 回復しました", events())


if __name__ == "__main__":
    unittest.main()
