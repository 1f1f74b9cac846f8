"""The poll rhythm: the first cycle 15 s after start, 5 s between cycles while the cycle
began with two or more mails, back to 15 s after a cycle that began with one. The times
are those at which each page arrived on the FTP server."""

import unittest

import harness

# A cycle is over well within this after its page arrived (the mailbox is closed, the
# timer set); a page arrives within this after its cycle began (one mail, one item, all
# servers on loopback).
SLACK = 2.0


class BacklogRhythm(harness.ProgramRun):
    NAME = "backlog"

    @classmethod
    def sections(cls, target, mall):
        return harness.settings(cls.pop3, cls.ftp, target, mall.host)

    @classmethod
    def prepare(cls):
        for _ in range(3):
            cls.maildir.put(harness.mail_for("order-kanagawa.json"))

    @classmethod
    def drive(cls):
        cls.backlog_uploads = cls.watcher.wait_uploads(3, 15 + 3 * SLACK + 5 + 5)
        # A mail that arrives after the backlog is worked off waits for the normal interval.
        cls.maildir.put(harness.mail_for("order-kanagawa.json"))
        cls.uploads = cls.watcher.wait_uploads(4, 15 + 2 * SLACK)
        cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 5)

    def gaps(self):
        times = [self.program.started] + [t for t, _ in self.uploads]
        return [round(b - a, 2) for a, b in zip(times, times[1:])]

    def assertGap(self, gap, interval):
        self.assertGreaterEqual(gap, interval - 0.2, self.gaps())
        self.assertLessEqual(gap, interval + SLACK, self.gaps())

    def test_every_mail_is_published_once(self):
        self.assertEqual(len(self.backlog_uploads), 3, self.gaps())
        self.assertEqual(len(self.uploads), 4, self.gaps())
        self.assertTrue(self.mailbox_emptied)
        self.assertEqual(self.exit_status, 0)

    def test_first_cycle_comes_15_s_after_start(self):
        self.assertGap(self.gaps()[0], 15)

    def test_backlog_of_three_is_worked_off_at_5_s(self):
        gaps = self.gaps()
        self.assertGreaterEqual(len(gaps), 3, gaps)
        self.assertGap(gaps[1], 5)
        self.assertGap(gaps[2], 5)

    def test_after_the_last_of_the_backlog_the_interval_is_15_s(self):
        gaps = self.gaps()
        self.assertEqual(len(gaps), 4, gaps)
        self.assertGap(gaps[3], 15)


if __name__ == "__main__":
    unittest.main()
