"""Order mails in every encoding the mall uses, through the real mailbox, the local mall and
the real FTP server: the published page after every mail, the kept list, the requests to
the mall, and a mail with two delivery addresses that must change nothing."""

import os
import time
import unittest

import expected
import harness

OLD_ROW = ["10/20\u300010:00", "古い品\u3000", "old-1", " ", "東京都", "500", "1"]  # no review field
COUNT = 8

# The two-destination mail comes first; every other mail adds rows.
MAILS = [
    ("order-two-destinations.json", "jis7", False),
    ("order-tokyo.json", "jis7", False),
    ("order-osaka.json", "jis-base64", False),
    ("order-kanagawa.json", "sjis-qp", False),
    ("order-tokyo.json", "euc-8bit", False),
    ("order-osaka.json", "jis7", True),
]


class OrderMails(harness.ProgramRun):
    NAME = "orders"

    @classmethod
    def sections(cls, target, mall):
        return harness.settings(cls.pop3, cls.ftp, target, mall.host, html={"Review": 1, "Count": COUNT})

    @classmethod
    def prepare(cls):
        cls.folder.write("itemsl.csv", expected.list_file([OLD_ROW]))
        for name, encoding, multipart in MAILS:
            cls.maildir.put(harness.mail_for(name, encoding, multipart))

    @classmethod
    def drive(cls):
        program = cls.program
        harness.wait_for(lambda: program.file("item.html"), 10)
        cls.startup_page = program.file("item.html")
        cls.startup_stamps = cls.stamps()

        # The first cycle takes the two-destination mail; the next one comes 5 s later.
        cls.two_destinations_taken = harness.wait_for(lambda: cls.maildir.count() == len(MAILS) - 1, 25)
        time.sleep(1.5)
        cls.after_two_destinations = (cls.stamps(), len(cls.watcher.snapshot()), cls.mall.requests())

        cls.uploads = cls.watcher.wait_uploads(len(MAILS) - 1, 60)
        cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 10)
        cls.final_list = program.file("itemsl.csv")
        cls.final_page = program.file("item.html")
        cls.requests = cls.mall.requests()

    @classmethod
    def stamps(cls):
        def stamp(name):
            path = os.path.join(cls.folder.path, name)
            return (os.stat(path).st_mtime_ns, cls.program.file(name)) if os.path.exists(path) else None
        return stamp("itemsl.csv"), stamp("item.html")

    def lookup(self):
        return expected.Lookup(harness.CATALOGUE, "http://" + self.mall.host, self.mall.host)

    def expected_lists(self):
        """The list after each mail that adds rows, and the mall requests of all of them."""
        lookup, rows, lists, requests = self.lookup(), [OLD_ROW], [], []
        for name, _, _ in MAILS[1:]:
            added, asked = expected.order_rows(harness.load_json(name), lookup)
            for row in added:
                rows = ([row] + rows)[:COUNT]
            lists.append(rows)
            requests += asked
        return lists, requests

    def page(self, rows):
        return expected.status_page(rows, self.mall.host, review=True)

    def test_program_ends_cleanly_and_silently(self):
        self.assertEqual(self.exit_status, 0)
        self.assertEqual(self.program.stderr_troubles(), [])

    def test_startup_renders_the_loaded_list_without_uploading(self):
        self.assertIsNotNone(self.startup_page)
        self.assertIsNone(expected.page_mismatch(self.startup_page, self.page([OLD_ROW])))

    def test_two_destination_mail_is_taken_and_changes_nothing(self):
        self.assertTrue(self.two_destinations_taken, "the first mail was not taken from the mailbox")
        stamps, uploads, requests = self.after_two_destinations
        self.assertEqual(stamps, self.startup_stamps, "itemsl.csv or item.html changed")
        self.assertEqual(uploads, 0, "a page was published")
        self.assertEqual(requests, [], "the mall was asked")

    def test_each_mail_publishes_the_page_of_the_list_so_far(self):
        lists, _ = self.expected_lists()
        self.assertEqual(len(self.uploads), len(lists), "number of uploads")
        for number, ((_, page), rows, mail) in enumerate(zip(self.uploads, lists, MAILS[1:]), start=1):
            with self.subTest(upload=number, mail="%s %s%s" % (mail[0], mail[1], " multipart" * mail[2])):
                self.assertIsNone(expected.page_mismatch(page, self.page(rows)))
        self.assertEqual(self.final_page, self.uploads[-1][1], "item.html is not what was published")

    def test_list_file_holds_the_newest_rows_up_to_the_cap(self):
        lists, _ = self.expected_lists()
        self.assertEqual(self.final_list.decode("cp932").split("\r\n"),
                         expected.list_file(lists[-1]).decode("cp932").split("\r\n"))

    def test_mall_sees_exactly_the_lookups_of_the_items(self):
        _, wanted = self.expected_lists()
        got = [(target, version) for _, target, _, version in self.requests]
        self.assertEqual(got, wanted)
        for method, _, host, _ in self.requests:
            self.assertEqual(method, "GET")
            self.assertTrue(host.startswith("127.0.0.1"), host)

    def test_mailbox_is_emptied(self):
        self.assertTrue(self.mailbox_emptied, "%d mails left" % self.maildir.count())


if __name__ == "__main__":
    unittest.main()
