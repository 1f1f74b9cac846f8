"""House-machine mode (a computer name beginning with "QVZ"): failures of the unattended work
go to Vendlume.log, and the page carries no credit. Two programs run side by side: one with
a wrong mailbox password, one whose search host cannot be reached and whose first mail
cannot be read as an order."""

import datetime
import os
import shutil
import unittest

import expected
import harness

# The unreadable mail: the item block has no closing line of asterisks.
END_OF_ITEMS = b"**********\r\n"


def unreadable_mail():
    mail = harness.mail_for("order-tokyo.json")
    assert mail.count(END_OF_ITEMS) == 1
    return mail.replace(END_OF_ITEMS, b"")


class HouseMachine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("unshare"):
            raise unittest.SkipTest("unshare (util-linux) is needed to name the computer")
        pop3, ftp = harness.dovecot(), harness.vsftpd()
        cls.maildir = pop3["maildir"]
        cls.maildir.clear()
        cls.target = "e2e-house-%d" % os.getpid()
        remote = os.path.join(ftp["home"], cls.target + ".html")
        if os.path.exists(remote):
            os.remove(remote)

        cls.locked_out = harness.WorkFolder("house-password")
        cls.working = harness.WorkFolder("house-mall")
        cls.mall = harness.Mall(cls.working.path)  # thumbnails and script only
        wrong = dict(pop3, password=pop3["password"] + "-wrong")
        cls.locked_out.write("Vendlume.ini", harness.ini_text(harness.settings(
            wrong, ftp, cls.target + "-never", cls.mall.host)))
        cls.unreachable = "127.0.0.1:%d" % harness.free_port()
        cls.working.write("Vendlume.ini", harness.ini_text(harness.settings(
            pop3, ftp, cls.target, cls.mall.host, search_host=cls.unreachable)))
        cls.maildir.put(unreadable_mail())
        cls.maildir.put(harness.mail_for("order-tokyo.json"))

        cls.watcher = harness.PageWatcher(remote)
        cls.programs = [harness.Program(cls.locked_out.path, house=True),
                        harness.Program(cls.working.path, house=True)]
        try:
            cls.uploads = cls.watcher.wait_uploads(1, 30)
            harness.wait_for(lambda: cls.programs[0].file("Vendlume.log"), 5)
            cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 5)
            cls.stopped_at = datetime.datetime.now()
        finally:
            cls.exit_status = [p.stop() for p in cls.programs]
            cls.watcher.stop()
            cls.mall.stop()

    @classmethod
    def tearDownClass(cls):
        cls.maildir.clear()
        cls.locked_out.remove()
        cls.working.remove()

    def test_programs_end_cleanly(self):
        self.assertEqual(self.exit_status, [0, 0])

    def test_wrong_password_logs_connection_failed(self):
        log = self.programs[0].file("Vendlume.log")
        self.assertIsNotNone(log, "no log written")
        self.assertEqual(harness.log_events(log), ["ConnectionFailed"])
        stamp = datetime.datetime.strptime(log[:14].decode(), "%m/%d %H:%M:%S")
        now = self.stopped_at
        logged = stamp.replace(year=now.year)
        self.assertLess(abs((now - logged).total_seconds()), 60, "log time %s" % log[:14])
        self.assertIsNone(self.programs[0].file("itemsl.csv"))

    def test_unreadable_mail_and_unreachable_mall_are_logged_in_order(self):
        log = self.programs[1].file("Vendlume.log")
        self.assertIsNotNone(log, "no log written")
        # One mail that fails to parse, then one lookup by code per item of the next mail;
        # a failed lookup by code is not followed by one by name.
        self.assertEqual(harness.log_events(log), ["GetCSV", "GetGZ", "GetGZ"])
        self.assertTrue(self.mailbox_emptied)

    def test_items_without_lookup_are_still_published(self):
        self.assertEqual(len(self.uploads), 1)
        lookup = expected.Lookup(harness.CATALOGUE, None, self.mall.host)
        rows, requests = expected.order_rows(harness.load_json("order-tokyo.json"), lookup)
        rows.reverse()  # newest first
        self.assertEqual(requests, [])
        self.assertEqual(self.programs[1].file("itemsl.csv"), expected.list_file(rows))
        page = expected.status_page(rows, self.mall.host, house=True)
        self.assertIsNone(expected.page_mismatch(self.uploads[0][1], page))

    def test_page_has_no_credit(self):
        self.assertIn(b"\r\n" + expected.HOUSE_VERSION_LINE + b"\r\n", self.uploads[0][1])
        self.assertEqual(self.mall.requests(), [])


if __name__ == "__main__":
    unittest.main()
