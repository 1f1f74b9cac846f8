"""Every account over TLS: the mailbox on the dovecot that takes no password in clear
(TLS from the first byte), the page stored on the vsftpd that refuses clear logins and
transfers (AUTH TLS, PROT P, the session reused), the mall's pages over HTTPS only, the
certificates those of the private CA the tests trust. One mail in, its rows on the page with
what the lookups found, the mail gone from the mailbox."""

import os
import unittest

import expected
import harness


class EveryAccountOverTls(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        pop3_env = harness.server_env("dovecot-tls/pop3.env")
        ftp_env = harness.server_env("vsftpd-tls/ftp.env")
        cls.maildir = harness.Maildir(pop3_env["MAILDIR"])
        cls.maildir.clear()
        target = "e2e-tls-%d" % os.getpid()
        remote = os.path.join(ftp_env["HOME"], target + ".html")
        if os.path.exists(remote):
            os.remove(remote)

        cls.folder = harness.WorkFolder("tls")
        certs = os.path.dirname(os.environ["SSL_CERT_FILE"])
        cls.mall = harness.Mall(cls.folder.path, extra_args=[
            "--tls-cert", os.path.join(certs, "server.pem"),
            "--tls-key", os.path.join(certs, "server.key")])
        cls.mall_base = "https://localhost:%d" % cls.mall.port
        pop3 = {"port": int(pop3_env["TLS_PORT"]), "user": pop3_env["USER"],
                "password": pop3_env["PASSWORD"]}
        ftp = {"port": int(ftp_env["PORT"]), "user": ftp_env["USER"],
               "password": ftp_env["PASSWORD"]}
        sections = harness.settings(pop3, ftp, target, cls.mall_base)
        sections["POP3"].update({"Host": "localhost", "TLS": 1})
        sections["FTP"].update({"Host": "localhost", "TLS": 2})
        cls.folder.write("Vendlume.ini", harness.ini_text(sections))
        cls.maildir.put(harness.mail_for("order-tokyo.json"))

        cls.watcher = harness.PageWatcher(remote)
        cls.program = harness.Program(cls.folder.path)
        try:
            cls.uploads = cls.watcher.wait_uploads(1, 15 + 10)
            cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 5)
        finally:
            cls.exit_status = cls.program.stop()
            cls.watcher.stop()
            cls.mall.stop()

    @classmethod
    def tearDownClass(cls):
        cls.maildir.clear()
        cls.folder.remove()

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
