"""Faults in the middle of a poll cycle, against the real mailbox, FTP server and the local
mall: a review page that stalls and breaks off, or review pages answering 404 or 503 (the orders are saved without their review figures), the mailbox connection cut in the middle of
a RETR, the mailbox server ended in the middle of a RETR, the FTP data connection reset
in the middle of the page's STOR, a read-only itemsl.csv, a full file system, the program
killed with SIGKILL in the middle of a cycle. After each: every order is in itemsl.csv exactly once, the published page
matches the list, and the mailbox holds nothing it should not."""

import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import threading
import time
import unittest

import expected
import harness

FIRST_CYCLE = 15
INTERVAL = 15
SLACK = 5.0
ORDER = "order-kanagawa.json"  # one item, mug-001, which has reviews: every cycle fetches one


def order_rows(mall):
    lookup = expected.Lookup(harness.CATALOGUE, "http://" + mall.host, mall.host)
    rows, _ = expected.order_rows(harness.load_json(ORDER), lookup)
    return list(reversed(rows))


class Scenario:
    """One program run with one order mail in the mailbox; each test case below injects
    its fault."""

    tag = "fault"
    mall_args = ()
    house = True

    @classmethod
    def setUpClass(cls):
        cls.helpers = []
        cls.program = cls.watcher = cls.mall = None
        cls.folder = harness.WorkFolder(cls.tag)
        try:
            cls.pop3, cls.ftp = cls.mailbox(), harness.vsftpd()
            cls.maildir = cls.pop3["maildir"]
            cls.maildir.clear()
            cls.target = "e2e-%s-%d" % (cls.tag, os.getpid())
            cls.remote = os.path.join(cls.ftp["home"], cls.target + ".html")
            if os.path.exists(cls.remote):
                os.remove(cls.remote)
            cls.mall = harness.Mall(cls.folder.path, extra_args=cls.mall_args)
            cls.account = dict(cls.pop3)
            cls.ftp_account = dict(cls.ftp)
            cls.maildir.put(cls.mail())
            cls.watcher = harness.PageWatcher(cls.remote)
            cls.prepare()
            cls.folder.write("Vendlume.ini", harness.ini_text(
                harness.settings(cls.account, cls.ftp_account, cls.target, cls.mall.host)))
            cls.program = cls.start()
            cls.inject()
            cls.uploads = cls.await_uploads()
            cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, 5)
            # The stale mark stays until the upload's session has ended.
            harness.wait_for(lambda: cls.read("item.unpublished") is None, 5)
            cls.files = {name: cls.read(name)
                         for name in ("itemsl.csv", "item.html", "Vendlume.log", "item.unpublished")}
            cls.failed = cls.failed_copies()
        finally:
            cls.exit_status = cls.program.stop() if cls.program else None
            if cls.watcher:
                cls.watcher.stop()
            if cls.mall:
                cls.mall.stop()
            for helper in reversed(cls.helpers):
                helper()

    @classmethod
    def tearDownClass(cls):
        if os.path.isdir(cls.maildir.path):
            cls.maildir.clear()
        cls.folder.remove()

    # What a scenario may change.
    @classmethod
    def mailbox(cls):
        return harness.dovecot()

    @classmethod
    def mail(cls):
        return harness.mail_for(ORDER)

    @classmethod
    def prepare(cls):
        pass

    @classmethod
    def start(cls):
        return harness.Program(cls.folder.path, house=cls.house)

    @classmethod
    def inject(cls):
        pass

    @classmethod
    def deadline(cls):
        return FIRST_CYCLE + 2 * INTERVAL + 3 * SLACK

    @classmethod
    def await_uploads(cls):
        return cls.watcher.wait_uploads(1, cls.deadline())

    @classmethod
    def read(cls, name):
        return cls.program.file(name)

    @classmethod
    def failed_copies(cls):
        folder = os.path.join(cls.folder.path, "failed")
        return os.listdir(folder) if os.path.isdir(folder) else []

    @classmethod
    def expected_rows(cls):
        return order_rows(cls.mall)

    # The same outcome for every fault.
    def test_the_order_is_in_the_list_exactly_once(self):
        self.assertEqual(self.files["itemsl.csv"], expected.list_file(self.expected_rows()))

    def test_the_published_page_matches_the_list(self):
        self.assertGreaterEqual(len(self.uploads), 1, "nothing was published")
        want = expected.status_page(self.expected_rows(), self.mall.host, house=self.house)
        self.assertIsNone(expected.page_mismatch(self.uploads[-1][1], want))
        self.assertEqual(self.files["item.html"], self.uploads[-1][1])

    def test_the_mailbox_is_empty_and_nothing_was_given_up(self):
        self.assertTrue(self.mailbox_emptied, "the mail is still in the mailbox")
        self.assertEqual(self.failed, [])

    def test_the_page_is_not_marked_as_unpublished(self):
        self.assertIsNone(self.files["item.unpublished"])


class ReviewPageStalls(Scenario, unittest.TestCase):
    """The review page stalls and breaks off: the mall's failure, not the order's. The order
    is saved at once with the review cell "-", and the mail deleted."""

    tag = "review"
    mall_args = ("--stall-reviews", "2", "--stall-seconds", "2")

    @classmethod
    def expected_rows(cls):
        return [row[:7] + ["-"] for row in order_rows(cls.mall)]

    def test_the_failed_review_page_is_logged_once_and_not_asked_again(self):
        self.assertEqual(harness.log_events(self.files["Vendlume.log"]), ["GetCSV"])
        reviews = [r for r in self.mall.requests() if r[1].startswith("/review/")]
        self.assertEqual(len(reviews), 1)


class ReviewPagesGone(Scenario, unittest.TestCase):
    """Every review page answers 404 (503 below): the mall's failure, not the orders'. Three
    orders are saved as they come, each with the review cell "-", and the mailbox drains in
    order."""

    tag = "review404"
    mall_args = ("--review-status", "404")
    ORDERS = (ORDER, "order-tokyo.json", "order-osaka.json")

    @classmethod
    def prepare(cls):
        for name in cls.ORDERS[1:]:
            cls.maildir.put(harness.mail_for(name))

    @classmethod
    def await_uploads(cls):
        return cls.watcher.wait_uploads(len(cls.ORDERS), cls.deadline())

    @classmethod
    def expected_rows(cls):
        lookup = expected.Lookup(harness.CATALOGUE, "http://" + cls.mall.host, cls.mall.host)
        rows = [row[:7] + ["-"] for name in cls.ORDERS for row in expected.order_rows(harness.load_json(name), lookup)[0]]
        return list(reversed(rows))


class ReviewPagesUnavailable(ReviewPagesGone):
    tag = "review503"
    mall_args = ("--review-status", "503")


class HostileMallPages(Scenario, unittest.TestCase):
    """The mall's pages have been tampered with (mallserver.HOSTILE): a script link and a
    handler on the photo, a handler on the name, a data: image with a handler as the review
    stars. The order is saved with the no-picture cell and the review figures without the
    stars, and nothing of the tampering reaches the list or the page."""

    tag = "hostile"
    mall_args = ("--hostile",)

    @classmethod
    def expected_rows(cls):
        no_picture = ("<img border=0 src='http://%s/@0_mall/com/css/c/pc/img/nopicture/"
                      "nopicture.gif?_ex=48x48'>" % cls.mall.host)
        return [row[:3] + [no_picture] + row[4:7] + [row[7][row[7].index("<br>"):]]
                for row in order_rows(cls.mall)]

    def test_nothing_of_the_tampering_is_stored_or_published(self):
        for name, text in (("itemsl.csv", self.files["itemsl.csv"]), ("the page", self.uploads[-1][1])):
            lower = text.lower()
            for bad in (b"javascript:", b"data:", b"onerror", b"onmouseover", b"alert("):
                self.assertNotIn(bad, lower, name)
        self.assertIn(b"nopicture.gif", self.uploads[-1][1])


class MailboxCutMidRetr(Scenario, unittest.TestCase):
    """The mailbox connection ends in the middle of the RETR answer (as when the server
    stops): nothing is deleted, and the next cycle takes the mail."""

    tag = "retrcut"

    @classmethod
    def prepare(cls):
        cls.proxy = CuttingProxy(cls.pop3["port"])
        cls.helpers.append(cls.proxy.stop)
        cls.account["port"] = cls.proxy.port

    def test_the_first_session_was_cut_in_the_retr(self):
        self.assertGreaterEqual(self.proxy.sessions, 2)
        self.assertTrue(self.proxy.cut)


class ReadOnlyList(Scenario, unittest.TestCase):
    """itemsl.csv is read-only: the mail stays on the server until the file may be written."""

    tag = "readonly"

    @classmethod
    def prepare(cls):
        cls.folder.write("itemsl.csv", b"")
        os.chmod(os.path.join(cls.folder.path, "itemsl.csv"), 0o444)

    @classmethod
    def inject(cls):
        log = os.path.join(cls.folder.path, "Vendlume.log")
        cls.refused = harness.wait_for(lambda: os.path.exists(log), FIRST_CYCLE + SLACK)
        cls.mail_kept = cls.maildir.count() == 1
        cls.list_kept = cls.program.file("itemsl.csv") == b""
        os.chmod(os.path.join(cls.folder.path, "itemsl.csv"), 0o644)

    def test_the_read_only_list_was_left_alone_and_the_mail_kept(self):
        self.assertTrue(self.refused, "the save was never refused")
        self.assertTrue(self.mail_kept)
        self.assertTrue(self.list_kept)
        self.assertEqual(harness.log_events(self.files["Vendlume.log"])[0], "GetCSV")


class KilledMidCycle(Scenario, unittest.TestCase):
    """SIGKILL while the cycle waits for a review page; the program started again takes the
    mail once."""

    tag = "kill"
    mall_args = ("--stall-reviews", "1", "--stall-seconds", "30")

    @classmethod
    def inject(cls):
        def review_asked():
            return any(r[1].startswith("/review/") for r in cls.mall.requests())
        cls.asked = harness.wait_for(review_asked, FIRST_CYCLE + SLACK)
        cls.program.process.send_signal(signal.SIGKILL)
        cls.program.process.wait()
        cls.mail_kept = cls.maildir.count() == 1
        cls.program = harness.Program(cls.folder.path, house=cls.house)

    def test_the_kill_came_mid_cycle_and_left_the_mail(self):
        self.assertTrue(self.asked)
        self.assertTrue(self.mail_kept)


class FullFileSystem(Scenario, unittest.TestCase):
    """The program's folder is a full tmpfs (in a mount namespace of its own): nothing can be
    saved, so the mail stays; once space is freed the next cycle takes it."""

    tag = "full"
    house = False  # the namespace here is for the mount only

    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0 or not shutil.which("unshare"):
            raise unittest.SkipTest("a tmpfs in a mount namespace needs root and unshare")
        super().setUpClass()

    @classmethod
    def start(cls):
        # Inside the namespace: a small tmpfs over the folder, the settings copied onto it,
        # a filler that takes the rest of the space, then the program.
        stage = os.path.join(cls.folder.path, "stage")
        os.mkdir(stage)
        shutil.move(os.path.join(cls.folder.path, "Vendlume.ini"), stage)
        script = ('ini=$(mktemp) && cp "$1/Vendlume.ini" "$ini" && mount -t tmpfs -o size=256k tmpfs "$0" && '
                  'cp "$ini" "$0/Vendlume.ini" && rm -f "$ini" && '
                  '(dd if=/dev/zero of="$0/filler" bs=4k 2>/dev/null; true) && cd "$0" && exec "$2"')
        program = harness.Program.__new__(harness.Program)
        program.folder = cls.folder.path
        program.stderr_path = os.path.join(stage, "stderr.txt")
        program.started = time.monotonic()
        with open(program.stderr_path, "wb") as stderr:
            program.process = subprocess.Popen(
                ["unshare", "-m", "--propagation", "private", "sh", "-c", script, cls.folder.path, stage,
                 harness.program_path()],
                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=stderr)
        # The program's view of its folder, from outside the namespace.
        cls.inside = "/proc/%d/cwd" % program.process.pid
        return program

    @classmethod
    def inject(cls):
        harness.wait_for(lambda: os.path.exists(os.path.join(cls.inside, "filler")), 10)
        # The cycle's lookups ran; give it time to fail its save, then free the space.
        harness.wait_for(lambda: any(r[1].startswith("/review/") for r in cls.mall.requests()),
                         FIRST_CYCLE + SLACK)
        harness.wait_for(lambda: False, 3)
        cls.mail_kept = cls.maildir.count() == 1
        cls.list_missing = not os.path.exists(os.path.join(cls.inside, "itemsl.csv"))
        os.remove(os.path.join(cls.inside, "filler"))

    @classmethod
    def read(cls, name):
        try:
            with open(os.path.join(cls.inside, name), "rb") as f:
                return f.read()
        except OSError:
            return None

    @classmethod
    def failed_copies(cls):
        folder = os.path.join(cls.inside, "failed")
        return os.listdir(folder) if os.path.isdir(folder) else []

    def test_nothing_was_saved_or_deleted_while_the_disk_was_full(self):
        self.assertTrue(self.mail_kept)
        self.assertTrue(self.list_missing)


class DovecotEndsMidRetr(Scenario, unittest.TestCase):
    """A dovecot of this test's own ends at once (as in a crash or a forced shutdown: its
    own stop would let the RETR finish) while the program retrieves a large order mail, and
    is started again: nothing was saved or deleted, and the next cycle takes the mail."""

    tag = "dovecotstop"
    MAIL_BYTES = 40 << 20  # long enough to be in the middle of it when the server ends
    QUEUED = 256 << 10     # bytes in flight that only the RETR answer reaches

    @classmethod
    def mailbox(cls):
        cls.dovecot = harness.PrivateDovecot()
        cls.helpers.append(cls.dovecot.stop)
        return cls.dovecot.account

    @classmethod
    def mail(cls):
        return large_order_mail(cls.MAIL_BYTES)

    @classmethod
    def inject(cls):
        port = cls.pop3["port"]

        def retr_in_flight():
            return max([queued for state, queued in harness.tcp_connections(port) if state == "01"] + [0]) >= cls.QUEUED
        cls.in_flight = harness.wait_for(retr_in_flight, FIRST_CYCLE + SLACK, step=0.005)
        cls.dovecot.crash()

        def session_over():
            return not [c for c in harness.tcp_connections(port) if c[0] in ("01", "08")]
        cls.session_over = harness.wait_for(session_over, 10)
        cls.mail_kept = cls.maildir.count() == 1
        cls.nothing_saved = cls.program.file("itemsl.csv") is None
        cls.dovecot.resume()

    @classmethod
    def deadline(cls):
        return INTERVAL + 3 * SLACK

    def test_the_server_ended_in_the_retr_and_nothing_was_taken(self):
        self.assertTrue(self.in_flight, "no retrieval was seen")
        self.assertTrue(self.session_over, "the program kept the session")
        self.assertTrue(self.mail_kept)
        self.assertTrue(self.nothing_saved)


class FtpDataResetMidStor(Scenario, unittest.TestCase):
    """The FTP data connection is reset in the middle of the page's STOR: the mail is taken
    once, and the next cycle, without new mail, publishes the page again."""

    tag = "storreset"

    @classmethod
    def prepare(cls):
        cls.proxy = FtpResetProxy(cls.ftp["port"])
        cls.helpers.append(cls.proxy.stop)
        cls.ftp_account["host"] = FtpResetProxy.ADDRESS
        cls.ftp_account["port"] = cls.proxy.port

    @classmethod
    def await_uploads(cls):
        # The second data connection is the retry; its page is on the server once the
        # watcher has seen a change after it.
        opened = cls.proxy.data_opened
        if harness.wait_for(lambda: len(opened) >= 2, cls.deadline()):
            harness.wait_for(lambda: any(seen > opened[1] for seen, _ in cls.watcher.snapshot()), 2 * SLACK)
        cls.emptied_at = cls.maildir_emptied_at
        return cls.watcher.wait_uploads(1, 2 * SLACK)

    @classmethod
    def inject(cls):
        cls.maildir_emptied_at = None
        if harness.wait_for(lambda: cls.maildir.count() == 0, FIRST_CYCLE + SLACK):
            cls.maildir_emptied_at = time.monotonic()

    def test_the_first_store_was_reset_and_a_cycle_without_mail_stored_the_page(self):
        self.assertEqual(self.proxy.resets, 1)
        self.assertGreater(len(self.uploads[-1][1]), FtpResetProxy.RESET_AFTER)  # reset in the middle
        self.assertGreaterEqual(len(self.proxy.data_opened), 2)
        self.assertIsNotNone(self.emptied_at)
        self.assertGreater(self.proxy.data_opened[1], self.emptied_at)  # no mail came after it

    def test_nothing_was_logged(self):
        self.assertEqual(harness.log_events(self.files["Vendlume.log"] or b""), [])


def large_order_mail(size):
    """The order mail with a photo attached, size bytes long or a little more."""
    boundary = harness.ordermail.BOUNDARY.encode("ascii")
    mail = harness.mail_for(ORDER, multipart=True)
    end = b"\r\n--" + boundary + b"--\r\n"
    assert mail.endswith(end)
    line = b"/9j/" * 19 + b"\r\n"
    photo = (b"\r\n--" + boundary + b"\r\nContent-Type: image/jpeg; name=photo.jpg\r\n"
             b"Content-Transfer-Encoding: base64\r\n\r\n" + line * (size // len(line) + 1))
    return mail[:-len(end)] + photo + end


class FtpResetProxy:
    """An FTP server in front of the real one, on a loopback address of its own. The client
    takes only the port from a PASV reply and connects to the address of its control
    connection, so on each 227 reply the proxy listens on that port on its own address and
    forwards the data connection to the real server. The first data connection is reset on
    both sides (SO_LINGER 0) after RESET_AFTER bytes from the client."""

    ADDRESS = "127.0.0.3"
    RESET_AFTER = 300
    PASV = re.compile(rb"^227 .*\((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)")

    def __init__(self, target_port):
        self.target_port = target_port
        self.listener = socket.socket()
        self.listener.bind((self.ADDRESS, 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.data_opened = []  # time.monotonic() of each data connection
        self.resets = 0
        self.closing = False
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._control, args=(client,), daemon=True).start()

    def _control(self, client):
        server = socket.create_connection(("127.0.0.1", self.target_port))
        threading.Thread(target=_pipe, args=(client, server), daemon=True).start()
        pending = b""
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                pending += data
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    match = self.PASV.match(line)
                    if match:
                        port = int(match.group(5)) * 256 + int(match.group(6))
                        self._listen_for_data(port)
                    client.sendall(line + b"\n")
        except OSError:
            pass
        finally:
            _close(client, server)

    def _listen_for_data(self, port):
        # Before the reply goes on: the client connects as soon as it has it.
        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((self.ADDRESS, port))
        listener.listen(1)
        listener.settimeout(30)
        threading.Thread(target=self._data, args=(listener, port), daemon=True).start()

    def _data(self, listener, port):
        try:
            client, _ = listener.accept()
        except OSError:
            return
        finally:
            listener.close()
        self.data_opened.append(time.monotonic())
        reset = len(self.data_opened) == 1
        server = socket.create_connection(("127.0.0.1", port))
        if not reset:
            threading.Thread(target=_pipe, args=(server, client), daemon=True).start()
            _pipe(client, server)
            return
        # Nothing comes back on the data connection of a STOR, and no other thread may wait
        # on these sockets: a socket that a blocked recv still holds is not reset by close.
        sent = 0
        try:
            while sent < self.RESET_AFTER:
                data = client.recv(self.RESET_AFTER - sent)
                if not data:
                    break
                server.sendall(data)
                sent += len(data)
        except OSError:
            pass
        for sock in (client, server):
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            sock.close()
        self.resets += 1

    def stop(self):
        self.closing = True
        self.listener.close()


def _pipe(source, destination):
    """Forwards bytes until the source ends, then ends the destination's sending side."""
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            destination.sendall(data)
    except OSError:
        pass
    try:
        destination.shutdown(socket.SHUT_WR)
    except OSError:
        pass


def _close(*sockets):
    for sock in sockets:
        try:
            sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        sock.close()


class CuttingProxy:
    """Forwards POP3 connections to the real server; in the first session it ends the
    connection to the client after 100 bytes of the RETR answer."""

    def __init__(self, target_port):
        self.target_port = target_port
        self.listener = socket.socket()
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(8)
        self.port = self.listener.getsockname()[1]
        self.sessions = 0
        self.cut = False
        self.closing = False
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        while not self.closing:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            self.sessions += 1
            threading.Thread(target=self._session, args=(client, self.sessions == 1), daemon=True).start()

    def _session(self, client, cut_this_one):
        server = socket.create_connection(("127.0.0.1", self.target_port))
        retr = threading.Event()

        def upstream():
            try:
                while True:
                    data = client.recv(65536)
                    if not data:
                        break
                    if b"RETR" in data.upper():
                        retr.set()
                    server.sendall(data)
            except OSError:
                pass
            finally:
                try:
                    server.shutdown(socket.SHUT_WR)
                except OSError:
                    pass

        threading.Thread(target=upstream, daemon=True).start()
        sent_after_retr = 0
        try:
            while True:
                data = server.recv(65536)
                if not data:
                    break
                if cut_this_one and retr.is_set():
                    client.sendall(data[:max(0, 100 - sent_after_retr)])
                    self.cut = True
                    break
                client.sendall(data)
        except OSError:
            pass
        finally:
            # shutdown, not only close: the other thread's recv keeps the socket alive.
            for sock in (client, server):
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
                sock.close()

    def stop(self):
        self.closing = True
        self.listener.close()


if __name__ == "__main__":
    unittest.main()
