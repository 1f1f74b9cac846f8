"""What the end-to-end tests drive: the built program in a folder of its own, the private
POP3 and FTP servers (started by CTest, found through VDL_BINARY_DIR), the local mall and
a small POP3 server that can stall.

Every wait here is bounded; a test that runs out of time fails with what it saw."""

import json
import os
import re
import shutil
import signal
import socket
import socketserver
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data")
SUPPORT = os.path.join(HERE, "..", "support")
sys.path.insert(0, SUPPORT)

import ordermail  # noqa: E402  (tests/support)

MALL_SERVER = os.path.join(SUPPORT, "mallserver.py")
CATALOGUE = os.path.join(DATA, "catalog.json")


def build_dir():
    folder = os.environ.get("VDL_BINARY_DIR")
    if not folder:
        raise RuntimeError("VDL_BINARY_DIR is not set: run the tests through ctest")
    return folder


def program_path():
    return os.environ.get("VDL_PROGRAM") or os.path.join(build_dir(), "vendlume")


def server_env(relative):
    """The KEY=VALUE lines a server script wrote (servers/dovecot/pop3.env, servers/ftp/ftp.env),
    in the test's own set of servers (servers/<VDL_SERVER_SET>/) when CTest gave it one."""
    path = os.path.join(build_dir(), "servers", os.environ.get("VDL_SERVER_SET", ""), relative)
    if not os.path.exists(path):
        raise RuntimeError(path + " is missing: the server fixture did not start")
    with open(path) as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


def load_json(name):
    with open(os.path.join(DATA, name), encoding="utf-8") as f:
        return json.load(f)


def wait_for(condition, timeout, step=0.05):
    """Polls until condition() is true; its last value (false on time-out)."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


def free_port():
    """A loopback port that nothing listens on (bound once, then released)."""
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Maildir:
    """The dovecot user's mailbox. New mails are numbered by the server in name order."""

    def __init__(self, path):
        self.path = path
        self._serial = 0

    def put(self, mail):
        self._serial += 1
        name = "%d.e2e%04d.%d.vdl" % (int(time.time()), self._serial, os.getpid())
        temporary = os.path.join(self.path, "tmp", name)
        with open(temporary, "wb") as f:
            f.write(mail)
        os.chmod(temporary, 0o666)
        os.replace(temporary, os.path.join(self.path, "new", name))

    def count(self):
        return sum(len(os.listdir(os.path.join(self.path, sub))) for sub in ("new", "cur"))

    def clear(self):
        # A session that has just ended may still rename files: repeat until none is left.
        for _ in range(100):
            names = [os.path.join(self.path, sub, n)
                     for sub in ("new", "cur", "tmp") for n in os.listdir(os.path.join(self.path, sub))]
            if not names:
                return
            for name in names:
                try:
                    os.remove(name)
                except FileNotFoundError:
                    pass
            time.sleep(0.01)


def dovecot():
    env = server_env("dovecot/pop3.env")
    return {"port": int(env["PORT"]), "user": env["USER"], "password": env["PASSWORD"],
            "maildir": Maildir(env["MAILDIR"])}


def vsftpd():
    env = server_env("ftp/ftp.env")
    return {"port": int(env["PORT"]), "user": env["USER"], "password": env["PASSWORD"],
            "home": env["HOME"]}


class PrivateDovecot:
    """A dovecot of the test's own (scripts/servers/dovecot), which the test may end in the
    middle of a session and start again with the same port and mailbox. account is as
    dovecot() gives it."""

    SCRIPT = os.path.join(HERE, "..", "..", "scripts", "servers", "dovecot")

    def __init__(self):
        self.state = tempfile.mkdtemp(prefix="vdl-e2e-dovecot-")
        try:
            self._run("start")
            with open(os.path.join(self.state, "pop3.env")) as f:
                env = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        except Exception:
            self.stop()
            raise
        self.account = {"port": int(env["PORT"]), "user": env["USER"], "password": env["PASSWORD"],
                        "maildir": Maildir(env["MAILDIR"])}

    def _run(self, command):
        done = subprocess.run([self.SCRIPT, command, self.state], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)
        if done.returncode != 0:
            raise RuntimeError("dovecot %s failed: %s" % (command, done.stderr.decode("utf-8", "replace")))

    def crash(self):
        self._run("crash")

    def resume(self):
        self._run("resume")

    def stop(self):
        try:
            self._run("stop")
        finally:
            shutil.rmtree(self.state, ignore_errors=True)


def tcp_connections(port):
    """(state, queued bytes) of each loopback TCP socket with port at either end, from
    /proc/net/tcp: state "01" is established, "08" closing (the peer has closed); queued
    bytes are those sent and not yet acknowledged plus those received and not yet read."""
    found = []
    with open("/proc/net/tcp") as f:
        next(f)
        for line in f:
            fields = line.split()
            ends = {int(fields[1].rsplit(":", 1)[1], 16), int(fields[2].rsplit(":", 1)[1], 16)}
            if port in ends:
                sent, received = (int(x, 16) for x in fields[4].split(":"))
                found.append((fields[3], sent + received))
    return found


def mail_for(order_name, encoding="jis7", multipart=False):
    return ordermail.order_mail(load_json(order_name), encoding, multipart)


class Mall:
    """tests/support/mallserver.py on a free port, with its request log."""

    def __init__(self, folder, catalogue=CATALOGUE, extra_args=()):
        self.log = os.path.join(folder, "mall-requests.log")
        port_file = os.path.join(folder, "mall-port")
        with open(os.path.join(folder, "mall-stderr"), "wb") as stderr:
            self.process = subprocess.Popen(
                [sys.executable, MALL_SERVER, "--port", "0", "--catalog", catalogue,
                 "--log", self.log, "--port-file", port_file] + list(extra_args),
                stdout=subprocess.DEVNULL, stderr=stderr)
        if not wait_for(lambda: os.path.exists(port_file) or self.process.poll() is not None, 20):
            self.stop()
            raise RuntimeError("the mall did not start")
        with open(port_file) as f:
            self.port = int(f.read())
        self.host = "127.0.0.1:%d" % self.port

    def requests(self):
        """(method, target, host, version) of every request so far, in order."""
        if not os.path.exists(self.log):
            return []
        with open(self.log, encoding="utf-8") as f:
            return [tuple(line.split()) for line in f if line.strip()]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class PageWatcher:
    """Watches the FTP home for the uploaded page and notes every upload: when it was first
    seen (time.monotonic()) and its bytes once the store had finished."""

    SETTLE = 1.0  # changes closer together than this belong to one store

    def __init__(self, path):
        self.path = path
        self.uploads = []  # [seen_at, bytes]
        self._last = self._stamp()
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)
        self._thread.start()

    def _stamp(self):
        try:
            st = os.stat(self.path)
            return st.st_mtime_ns, st.st_size, st.st_ino
        except FileNotFoundError:
            return None

    def _run(self):
        while not self._stop.wait(0.05):
            stamp = self._stamp()
            if stamp == self._last or stamp is None:
                continue
            self._last = stamp
            now = time.monotonic()
            try:
                with open(self.path, "rb") as f:
                    data = f.read()
            except FileNotFoundError:
                continue
            with self._lock:
                if self.uploads and now - self.uploads[-1][0] < self.SETTLE:
                    self.uploads[-1][1] = data
                else:
                    self.uploads.append([now, data])

    def snapshot(self):
        with self._lock:
            return [(t, d) for t, d in self.uploads]

    def wait_uploads(self, count, timeout):
        """The uploads once there are count of them and the last has settled."""
        def done():
            shots = self.snapshot()
            return len(shots) >= count and time.monotonic() - shots[-1][0] > self.SETTLE
        wait_for(done, timeout)
        return self.snapshot()

    def stop(self):
        self._stop.set()
        self._thread.join()


def ini_text(sections):
    """Vendlume.ini bytes: sections as {name: {key: value}}, Shift-JIS, CR LF."""
    lines = []
    for name, keys in sections.items():
        lines.append("[%s]" % name)
        lines += ["%s=%s" % (k, v) for k, v in keys.items()]
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def settings(pop3, ftp, target, mall_host, search_host=None, html=None):
    """The sections of a Vendlume.ini for the given servers; html: extra [HTML] keys."""
    return {
        "POP3": {"Host": "127.0.0.1", "User": pop3["user"], "Pass": pop3["password"],
                 "Port": pop3["port"]},
        "FTP": {"Host": ftp.get("host", "127.0.0.1"), "User": ftp["user"], "Pass": ftp["password"],
                "Port": ftp["port"], "Target": target},
        "HTML": dict(html or {}),
        "Mall": {"SearchHost": search_host or mall_host, "ThumbnailHost": mall_host,
                 "ScriptHost": mall_host},
    }


def folder_file(folder, name):
    """The bytes of a file in a program's folder, None when there is none."""
    path = os.path.join(folder, name)
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read()


class Program:
    """The built program running in its own folder. house: on a computer named QVZTEST (a
    private UTS namespace), which makes it a house machine."""

    def __init__(self, folder, house=False):
        self.folder = folder
        binary = program_path()
        if not os.access(binary, os.X_OK):
            raise RuntimeError(binary + " is missing: build the program first")
        command = [binary]
        if house:
            command = ["unshare", "--uts", "sh", "-c", 'hostname QVZTEST && exec "$0"', binary]
        self.stderr_path = os.path.join(folder, "stderr.txt")
        self.started = time.monotonic()
        with open(self.stderr_path, "wb") as stderr:
            self.process = subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.DEVNULL, stderr=stderr)

    def stop(self):
        """Ends the program with SIGTERM; its exit status."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
                return "did not end on SIGTERM"
        return self.process.returncode

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode("utf-8", "replace")

    def stderr_troubles(self):
        """The stderr lines other than "order taken" and "page uploaded"."""
        calm = re.compile(r"^Vendlume: \d{4}/\d\d/\d\d \d\d:\d\d:\d\d "
                          r"(注文を受け付けました \(今日 \d+ 件目\)|\[FTP\] ページを公開しました)$")
        return [line for line in self.stderr().splitlines() if not calm.match(line)]

    def file(self, name):
        return folder_file(self.folder, name)


class WineProgram:
    """Vendlume.exe under Wine in a virtual desktop with its taskbar (tests/wine/winedesk.py),
    on a private Xvfb, in its own folder. The Windows program is ended by the shop owner's
    menu only; here stop() ends Wine's processes of the prefix and tells whether the program
    was still running until then."""

    def __init__(self, folder, exe=None):
        sys.path.insert(0, os.path.join(HERE, "..", "wine"))
        import winedesk  # noqa: E402  (tests/wine)

        self.folder = folder
        exe = exe or os.environ.get("VDL_WINDOWS_PROGRAM")
        if not exe or not os.path.exists(exe):
            raise RuntimeError("%s is missing: build the Windows program first" % (exe or "VDL_WINDOWS_PROGRAM"))
        self.desk = winedesk.WineDesktop(exe, folder)
        self.started = time.monotonic()
        try:
            self.desk.start_x()
            self.desk.start_program("vdle2e")
        except BaseException:
            self.desk.stop()
            raise

    def stop(self):
        """True when the program was still running when it was stopped."""
        running = self.desk.program_running()
        self.desk.stop()
        return running

    def file(self, name):
        return folder_file(self.folder, name)


class WorkFolder:
    """A fresh folder for one program run, removed afterwards (kept when E2E_KEEP is set)."""

    def __init__(self, tag):
        self.path = tempfile.mkdtemp(prefix="vdl-e2e-%s-" % tag)

    def write(self, name, data):
        with open(os.path.join(self.path, name), "wb") as f:
            f.write(data)

    def remove(self):
        if os.environ.get("E2E_KEEP"):
            print("kept", self.path, file=sys.stderr)
        else:
            shutil.rmtree(self.path, ignore_errors=True)


class ProgramRun(unittest.TestCase):
    """One run of the program in setUpClass. A subclass sets NAME and defines sections(target, mall),
    prepare() (files and mails before the start) and drive() (which sets the findings); servers() and
    MALL_ARGS are optional."""

    NAME = None
    MALL_ARGS = ()

    @classmethod
    def setUpClass(cls):
        cls.maildir, ftp_home = cls.servers()
        cls.maildir.clear()
        target = "e2e-%s-%d" % (cls.NAME, os.getpid())
        remote = os.path.join(ftp_home, target + ".html")
        if os.path.exists(remote):
            os.remove(remote)
        cls.folder = WorkFolder(cls.NAME)
        cls.mall = Mall(cls.folder.path, extra_args=cls.MALL_ARGS)
        cls.folder.write("Vendlume.ini", ini_text(cls.sections(target, cls.mall)))
        cls.prepare()
        cls.watcher = PageWatcher(remote)
        cls.program = Program(cls.folder.path)
        try:
            cls.drive()
        finally:
            cls.exit_status = cls.program.stop()
            cls.watcher.stop()
            cls.mall.stop()

    @classmethod
    def tearDownClass(cls):
        cls.maildir.clear()
        cls.folder.remove()

    @classmethod
    def servers(cls):
        pop3, ftp = dovecot(), vsftpd()
        cls.pop3, cls.ftp = pop3, ftp
        return pop3["maildir"], ftp["home"]


LOG_LINE = re.compile(rb"(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d) - ([A-Za-z0-9]*)\r\n")


def log_events(data):
    """The event texts of Vendlume.log bytes; raises on a line of another form."""
    events, at = [], 0
    while at < len(data):
        match = LOG_LINE.match(data, at)
        if not match:
            raise AssertionError("malformed log line at byte %d: %r" % (at, data[at:at + 60]))
        events.append(match.group(6).decode("ascii"))
        at = match.end()
    return events


class Pop3Stub(socketserver.ThreadingTCPServer):
    """A POP3 server on loopback that stalls its first session after the greeting (reads
    whatever comes and never answers) and serves its mails normally in every later one.
    sessions notes (start, end) monotonic times of each connection."""

    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, mails, user, password):
        super().__init__(("127.0.0.1", 0), _Pop3Session)
        self.port = self.server_address[1]
        self.mails = list(mails)
        self.user, self.password = user, password
        self.sessions = []
        self.lock = threading.Lock()
        self.closing = threading.Event()
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()

    def stop(self):
        self.closing.set()
        self.shutdown()
        self.server_close()


class _Pop3Session(socketserver.StreamRequestHandler):
    def handle(self):
        server = self.server
        with server.lock:
            index = len(server.sessions)
            server.sessions.append([time.monotonic(), None])
        try:
            self.wfile.write(b"+OK stub ready\r\n")
            if index == 0:
                self._stall()
            else:
                self._serve()
        except OSError:
            pass
        finally:
            server.sessions[index][1] = time.monotonic()

    def _stall(self):
        self.request.settimeout(0.2)
        while not self.server.closing.is_set():
            try:
                if not self.request.recv(1024):
                    return  # the client gave up and closed
            except socket.timeout:
                continue

    def _reply(self, text):
        self.wfile.write(text + b"\r\n")

    def _serve(self):
        server = self.server
        deleted = set()
        user = None
        logged_in = False
        for raw in self.rfile:
            words = raw.rstrip(b"\r\n").split(b" ", 1)
            command = words[0].upper()
            argument = words[1] if len(words) > 1 else b""
            if command == b"QUIT":
                with server.lock:
                    server.mails = [m for i, m in enumerate(server.mails) if i not in deleted]
                self._reply(b"+OK bye")
                return
            if command == b"USER":
                user = argument.decode()
                self._reply(b"+OK")
            elif command == b"PASS":
                logged_in = user == server.user and argument.decode() == server.password
                self._reply(b"+OK logged in" if logged_in else b"-ERR wrong")
            elif not logged_in:
                self._reply(b"-ERR log in first")
            elif command == b"STAT":
                live = [m for i, m in enumerate(server.mails) if i not in deleted]
                self._reply(b"+OK %d %d" % (len(live), sum(len(m) for m in live)))
            elif command == b"RETR":
                number = int(argument) - 1
                if number in deleted or not 0 <= number < len(server.mails):
                    self._reply(b"-ERR no such message")
                    continue
                self._reply(b"+OK")
                lines = server.mails[number].split(b"\r\n")
                if not lines[-1]:
                    lines.pop()  # the mail's last line end
                for line in lines:
                    self.wfile.write((b"." + line if line.startswith(b".") else line) + b"\r\n")
                self._reply(b".")
            elif command == b"DELE":
                deleted.add(int(argument) - 1)
                self._reply(b"+OK deleted")
            else:
                self._reply(b"-ERR unknown command")
