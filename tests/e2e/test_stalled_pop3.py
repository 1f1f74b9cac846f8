"""A mailbox server that greets and then never answers must cost one cycle, not the
program: the login gives up after the connection's inactivity limit, the failure is logged
(house-machine mode), and the next cycle against the same server, now answering, handles
the mail."""

import os
import shutil
import unittest

import expected
import harness

INACTIVITY_LIMIT = 60  # s without progress before a blocking network call gives up
FIRST_CYCLE = 15
INTERVAL = 15
SLACK = 3.0


class StalledMailbox(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("unshare"):
            raise unittest.SkipTest("unshare (util-linux) is needed to name the computer")
        ftp = harness.vsftpd()
        target = "e2e-stall-%d" % os.getpid()
        remote = os.path.join(ftp["home"], target + ".html")
        if os.path.exists(remote):
            os.remove(remote)

        cls.folder = harness.WorkFolder("stall")
        cls.mall = harness.Mall(cls.folder.path)
        cls.pop3 = harness.Pop3Stub([harness.mail_for("order-kanagawa.json")], "shop", "secret")
        account = {"port": cls.pop3.port, "user": "shop", "password": "secret"}
        cls.folder.write("Vendlume.ini", harness.ini_text(
            harness.settings(account, ftp, target, cls.mall.host)))

        cls.watcher = harness.PageWatcher(remote)
        cls.program = harness.Program(cls.folder.path, house=True)
        try:
            cls.uploads = cls.watcher.wait_uploads(
                1, FIRST_CYCLE + INACTIVITY_LIMIT + INTERVAL + 3 * SLACK)
        finally:
            cls.exit_status = cls.program.stop()
            cls.watcher.stop()
            cls.mall.stop()
            cls.pop3.stop()

    @classmethod
    def tearDownClass(cls):
        cls.folder.remove()

    def test_stalled_session_is_given_up_after_the_inactivity_limit(self):
        sessions = self.pop3.sessions
        self.assertGreaterEqual(len(sessions), 1)
        began, ended = sessions[0]
        self.assertIsNotNone(ended, "the stalled session was never closed")
        self.assertGreaterEqual(ended - began, INACTIVITY_LIMIT - 1)
        self.assertLessEqual(ended - began, INACTIVITY_LIMIT + SLACK)
        self.assertEqual(harness.log_events(self.program.file("Vendlume.log") or b""), ["ConnectionFailed"])

    def test_next_cycle_comes_at_the_normal_interval_and_handles_the_mail(self):
        sessions = self.pop3.sessions
        self.assertEqual(len(sessions), 2, sessions)
        self.assertGreaterEqual(sessions[1][0] - sessions[0][1], INTERVAL - 0.2)
        self.assertLessEqual(sessions[1][0] - sessions[0][1], INTERVAL + SLACK)
        self.assertEqual(self.pop3.mails, [], "the mail was not deleted")
        self.assertEqual(len(self.uploads), 1)
        lookup = expected.Lookup(harness.CATALOGUE, "http://" + self.mall.host, self.mall.host)
        rows, _ = expected.order_rows(harness.load_json("order-kanagawa.json"), lookup)
        self.assertEqual(self.program.file("itemsl.csv"), expected.list_file(rows))
        self.assertIsNone(expected.page_mismatch(
            self.uploads[0][1], expected.status_page(rows, self.mall.host, house=True)))

    def test_program_ends_cleanly(self):
        self.assertEqual(self.exit_status, 0)


if __name__ == "__main__":
    unittest.main()
