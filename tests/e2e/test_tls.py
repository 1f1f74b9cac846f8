"""Every account over TLS: the mailbox on the dovecot that takes no password in clear
(TLS from the first byte), the page stored on the vsftpd that refuses clear logins and
transfers (AUTH TLS, PROT P, the session reused), the mall's pages over HTTPS only, the
certificates those of the private CA the tests trust. One mail in, its rows on the page with
what the lookups found, the mail gone from the mailbox."""

import os
import unittest

import expected
import harness


class EveryAccountOverTls(harness.ProgramRun):
    NAME = "tls"

    @classmethod
    def servers(cls):
        cls.pop3_env = harness.server_env("dovecot-tls/pop3.env")
        cls.ftp_env = harness.server_env("vsftpd-tls/ftp.env")
        certs = os.path.dirname(os.environ["SSL_CERT_FILE"])
        cls.MALL_ARGS = ["--tls-cert", os.path.join(certs, "server.pem"),
                         "--tls-key", os.path.join(certs, "server.key")]
        return harness.Maildir(cls.pop3_env["MAILDIR"]), cls.ftp_env["HOME"]

    @classmethod
    def sections(cls, target, mall):
        cls.mall_base = "https://localhost:%d" % mall.port
        pop3 = {"port": int(cls.pop3_env["TLS_PORT"]), "user": cls.pop3_env["USER"],
                "password": cls.pop3_env["PASSWORD"]}
        ftp = {"port": int(cls.ftp_env["PORT"]), "user": cls.ftp_env["USER"],
               "password": cls.ftp_env["PASSWORD"]}
        sections = harness.settings(pop3, ftp, target, cls.mall_base)
        sections["POP3"].update({"Host": "localhost", "TLS": 1})
        sections["FTP"].update({"Host": "localhost", "TLS": 2})
        return sections

    @classmethod
    def prepare(cls):
        cls.maildir.put(harness.mail_for("order-tokyo.json"))

    @classmethod
    def drive(cls):
        cls.uploads = cls.watcher.wait_uploads(1, 15 + 10)
        cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 5)

    def test_the_mail_is_taken_and_its_page_published(self):
        self.assertEqual(len(self.uploads), 1, self.program.stderr())
        page = self.uploads[0][1].decode("cp932")
        # Both items of the mail, with the buyer's prefecture.
        self.assertIn("mug-001", page)
        self.assertIn("glass-3.5", page)
        self.assertIn("東京都", page)
        self.assertTrue(self.mailbox_emptied)

    def test_the_lookups_went_to_the_mall_over_https(self):
        # The mall answers nothing in clear, so found images and reviews prove the TLS path.
        order = harness.load_json("order-tokyo.json")
        lookup = expected.Lookup(harness.CATALOGUE, self.mall_base, self.mall_base)
        rows, requests = expected.order_rows(order, lookup)
        page = self.uploads[0][1].decode("cp932")
        for row in rows:
            self.assertIn(row[3], page)
        self.assertEqual([(r[1], r[3]) for r in self.mall.requests()], requests)
        self.assertEqual(self.exit_status, 0)


if __name__ == "__main__":
    unittest.main()
