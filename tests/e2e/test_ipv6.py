"""The program against a mailbox, an FTP server and a mall that listen on the IPv6 loopback
only (their own dovecot, vsftpd and nginx, started here with VDL_LISTEN_ADDRESS=::1; nginx
serves the local mall's pages for this order as files): the order is looked up, taken and
its page uploaded over IPv6, with the hosts written as "::1" and "[::1]". Skipped, with the
reason, on a machine without ::1."""

import os
import shutil
import socket
import subprocess
import tempfile
import unittest
import urllib.parse

import expected
import harness
import mallserver

SCRIPTS = os.path.join(harness.HERE, "..", "..", "scripts", "servers")
ORDER = "order-tokyo.json"


def ipv6_loopback_missing():
    """Why ::1 cannot be used here, or None."""
    if not socket.has_ipv6:
        return "Python has no IPv6"
    try:
        with socket.socket(socket.AF_INET6) as s:
            s.bind(("::1", 0))
    except OSError as e:
        return "this machine has no ::1 (%s)" % e
    return None


def serve_mall_pages(docroot, base, order):
    """Writes into nginx's docroot the local mall's answer to every page the order makes the
    program ask for, at the file nginx serves for its address (its path decoded, the query
    left off, index.html for the folder the path names)."""
    catalogue = mallserver.Catalogue(harness.CATALOGUE)
    _, requests = expected.order_rows(order, expected.Lookup(harness.CATALOGUE, base, None))
    for target, _ in requests:
        path = urllib.parse.urlsplit(target).path
        status, body, _ = mallserver.answer(catalogue, path, base)
        assert status == 200, target
        folder = os.path.join(docroot, urllib.parse.unquote(path).strip("/"))
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "index.html"), "wb") as f:
            f.write(body)


class ServerOnIPv6:
    """A server script's private instance listening on ::1; env is what it wrote to file."""

    def __init__(self, script, env_file):
        self.script = os.path.join(SCRIPTS, script)
        self.state = tempfile.mkdtemp(prefix="vdl-e2e-ipv6-%s-" % script)
        try:
            self._run("start")
            with open(os.path.join(self.state, env_file)) as f:
                self.env = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        except Exception:
            self.stop()
            raise

    def _run(self, command):
        env = dict(os.environ, VDL_LISTEN_ADDRESS="::1")
        done = subprocess.run([self.script, command, self.state], env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)
        if done.returncode != 0:
            raise RuntimeError("%s %s failed: %s" % (self.script, command,
                                                     done.stderr.decode("utf-8", "replace")))

    def stop(self):
        try:
            self._run("stop")
        finally:
            shutil.rmtree(self.state, ignore_errors=True)


class OrderOverIPv6(unittest.TestCase):
    """The Linux program."""

    @classmethod
    def start(cls, folder):
        return harness.Program(folder)

    @classmethod
    def setUpClass(cls):
        missing = ipv6_loopback_missing()
        if missing:
            print("skipped: " + missing)
            raise unittest.SkipTest(missing)
        cls.servers = []
        try:
            for script, env_file in (("dovecot", "pop3.env"), ("vsftpd", "ftp.env"), ("nginx", "http.env")):
                cls.servers.append(ServerOnIPv6(script, env_file))
        except Exception:
            cls.stop_servers()
            raise
        cls.dovecot, cls.vsftpd, cls.nginx = cls.servers
        pop3 = {"port": int(cls.dovecot.env["PORT"]), "user": cls.dovecot.env["USER"],
                "password": cls.dovecot.env["PASSWORD"]}
        ftp = {"host": "[::1]", "port": int(cls.vsftpd.env["PORT"]), "user": cls.vsftpd.env["USER"],
               "password": cls.vsftpd.env["PASSWORD"]}
        cls.ftp_log = cls.vsftpd.env["LOG"]
        maildir = harness.Maildir(cls.dovecot.env["MAILDIR"])
        target = "e2e-ipv6-%d" % os.getpid()
        remote = os.path.join(cls.vsftpd.env["HOME"], target + ".html")

        cls.folder = harness.WorkFolder("ipv6")
        cls.mall_host = "[::1]:" + cls.nginx.env["PORT"]
        serve_mall_pages(cls.nginx.env["DOCROOT"], "http://" + cls.mall_host, harness.load_json(ORDER))
        sections = harness.settings(pop3, ftp, target, cls.mall_host)
        sections["POP3"]["Host"] = "::1"
        cls.folder.write("Vendlume.ini", harness.ini_text(sections))
        maildir.put(harness.mail_for(ORDER))

        cls.watcher = harness.PageWatcher(remote)
        cls.program = None
        try:
            cls.program = cls.start(cls.folder.path)
            # Wine takes longer to start, the more so on a prefix it has yet to set up.
            cls.uploads = cls.watcher.wait_uploads(1, 150)
            cls.mailbox_emptied = harness.wait_for(lambda: maildir.count() == 0, 10)
        finally:
            cls.exit_status = cls.program.stop() if cls.program else None
            cls.watcher.stop()

    @classmethod
    def stop_servers(cls):
        for server in reversed(cls.servers):
            server.stop()

    @classmethod
    def tearDownClass(cls):
        cls.stop_servers()
        cls.folder.remove()

    def test_order_taken_and_page_uploaded_over_ipv6(self):
        self.assertTrue(self.mailbox_emptied, "the mail was not taken")
        self.assertEqual(len(self.uploads), 1)
        lookup = expected.Lookup(harness.CATALOGUE, "http://" + self.mall_host, self.mall_host)
        rows, _ = expected.order_rows(harness.load_json(ORDER), lookup)
        rows.reverse()  # newest first
        # The lookups reached the mall: a picture cell for every item.
        self.assertTrue(all(row[3].startswith("<a href='http://[::1]:") for row in rows), rows)
        self.assertEqual(self.program.file("itemsl.csv"), expected.list_file(rows))
        self.assertIsNone(expected.page_mismatch(
            self.uploads[0][1], expected.status_page(rows, self.mall_host)))

    def test_ftp_session_used_epsv_and_ended_with_quit(self):
        with open(self.ftp_log, encoding="utf-8", errors="replace") as f:
            commands = [line.rsplit(', "', 1)[1].rstrip('"\n') for line in f if "FTP command:" in line]
        self.assertIn("EPSV", commands)
        self.assertNotIn("PASV", commands)
        self.assertEqual(commands[-1], "QUIT")

    def test_program_ends_cleanly(self):
        self.assertEqual(self.exit_status, 0)


class WindowsOrderOverIPv6(OrderOverIPv6):
    """Vendlume.exe under Wine, when the Windows build names it."""

    @classmethod
    def start(cls, folder):
        return harness.WineProgram(folder)

    @classmethod
    def setUpClass(cls):
        if not os.environ.get("VDL_WINDOWS_PROGRAM"):
            print("skipped: VDL_WINDOWS_PROGRAM is not set (the Windows build runs this one)")
            raise unittest.SkipTest("VDL_WINDOWS_PROGRAM is not set")
        super().setUpClass()

    def test_program_ends_cleanly(self):
        # stop() tells whether the program was still running: it never ended by itself.
        self.assertTrue(self.exit_status)


if __name__ == "__main__":
    unittest.main()
