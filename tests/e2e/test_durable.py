"""The saved list is on the disk before the mail is deleted, and survives a kill at any
point of the save. The Linux program runs under strace against the real mailbox, FTP server
and the local mall:
- one cycle with one order mail: for itemsl.csv and itemsl.mails, the new file is written,
  flushed, renamed over the old one and the folder flushed, all before "DELE" goes out;
- the same cycle with two order mails, killed (SIGKILL from strace) at each file-system
  call between the retrieval and the end of the cycle, then started again without strace
  until the mailbox is empty: every order is in itemsl.csv exactly once and the list reads
  back whole. The crash points run side by side, each with a mailbox server of its own."""

import concurrent.futures
import os
import re
import shutil
import signal
import subprocess
import unittest

import harness

# The calls that put a file on the disk: the crash points.
# (libstdc++ writes a block larger than its buffer with writev.)
FILE_CALLS = ("openat", "write", "writev", "fsync", "fdatasync", "rename", "renameat", "renameat2")
FIRST_CYCLE = 15
SLACK = 10
ORDER = "order-kanagawa.json"  # one item: one row per mail

QUANTITIES = (1, 2)  # the crash runs' two mails: two orders, one row each

CALL = re.compile(r'^(?:\[pid\s+)?(\d+)\]?\s+(?:\d\d:\d\d:\d\d\.\d+\s+)?(\w+)\((.*)\)\s+=\s+(-?\d+|\?)')


def order_mail(quantity):
    """The order mail as another order of the given quantity (its own number and Message-ID)."""
    order = harness.load_json(ORDER)
    order["number"] += "-%d" % quantity
    order["items"][0]["quantity"] = quantity
    return harness.ordermail.order_mail(order, "jis7")


def strace_refusal():
    """Why strace cannot trace the program here, None when it can."""
    if not shutil.which("strace"):
        return "strace is not installed"
    done = subprocess.run(["strace", "-f", "-e", "trace=none", "true"], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    if done.returncode != 0:
        return "ptrace is not permitted: " + done.stderr.decode("utf-8", "replace").strip()
    return None


def parse_trace(path):
    """(call, arguments, result) of every finished call in the trace, in order."""
    calls = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            match = CALL.match(line)
            if match:
                result = match.group(4)
                calls.append((match.group(2), match.group(3), int(result) if result != "?" else None))
    return calls


def sent(arguments):
    """The bytes a sendto call sent, as strace shows them."""
    match = re.match(r'\d+, "(.*?)"', arguments)
    return match.group(1) if match else ""


def start_traced(folder, trace, inject=None):
    command = ["strace", "-f", "-tt", "-qq", "-s", "256", "-o", trace,
               "-e", "trace=" + ",".join(FILE_CALLS + ("sendto",))]
    if inject:
        command += ["-e", "inject=%s:signal=KILL:when=%d" % inject]
    command.append(harness.program_path())
    with open(os.path.join(folder, "stderr.txt"), "ab") as stderr:
        return subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=stderr)


def stop(process):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(15)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


class Run:
    """One program folder with its settings, against the given mailbox account."""

    def __init__(self, tag, pop3, ftp, mall):
        self.folder = harness.WorkFolder(tag)
        self.path = self.folder.path
        self.target = "e2e-%s-%d" % (tag, os.getpid())
        self.folder.write("Vendlume.ini", harness.ini_text(
            harness.settings(pop3, ftp, self.target, mall.host)))

    def file(self, name):
        return harness.folder_file(self.path, name)


class DurableSave(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        refusal = strace_refusal()
        if refusal:
            print("skipped:", refusal)
            raise unittest.SkipTest(refusal)
        cls.pop3, cls.ftp = harness.dovecot(), harness.vsftpd()
        cls.maildir = cls.pop3["maildir"]
        cls.maildir.clear()
        cls.scratch = harness.WorkFolder("durable-mall")
        cls.mall = harness.Mall(cls.scratch.path)
        try:
            cls.reference_cycle()
            cls.crash_points = cls.save_calls()
            with concurrent.futures.ThreadPoolExecutor(len(cls.crash_points)) as pool:
                cls.crashes = list(pool.map(cls.crash_at, cls.crash_points))
        finally:
            cls.mall.stop()

    @classmethod
    def tearDownClass(cls):
        cls.maildir.clear()
        cls.scratch.remove()

    @classmethod
    def reference_cycle(cls):
        """One cycle with one mail under strace; its trace."""
        run = Run("durable", cls.pop3, cls.ftp, cls.mall)
        cls.maildir.put(harness.mail_for(ORDER))
        trace = os.path.join(cls.scratch.path, "reference.trace")
        process = start_traced(run.path, trace)
        try:
            cls.mailbox_emptied = harness.wait_for(lambda: cls.maildir.count() == 0, FIRST_CYCLE + SLACK)
            # The FTP session's QUIT ends the cycle: the page is uploaded.
            harness.wait_for(lambda: any(c == "sendto" and sent(a).startswith("QUIT")
                                         for c, a, _ in parse_trace(trace)), SLACK)
        finally:
            stop(process)
            cls.reference_list = run.file("itemsl.csv")
            run.folder.remove()
        cls.trace = parse_trace(trace)

    @classmethod
    def save_calls(cls):
        """(call, its number among the calls of its name) of each file call from the
        retrieval of the mail to the end of the cycle: the list saved, the mail deleted and
        the page rendered and uploaded. (The mailbox session ends with "Quit", the FTP one
        with "QUIT".)"""
        counts, points, saving = {}, [], False
        for call, arguments, _ in cls.trace:
            if call == "sendto":
                text = sent(arguments)
                saving = saving or text.startswith("RETR")
                if text.startswith("QUIT"):
                    break
                continue
            counts[call] = counts.get(call, 0) + 1
            if saving:
                points.append((call, counts[call]))
        return points

    @classmethod
    def crash_at(cls, point):
        """Two mails; the program killed at the file call, then run until the mailbox is
        empty. What was left: whether the kill came after the retrieval, whether the mailbox
        emptied (and how many mails it kept), itemsl.csv and the last run's stderr."""
        server = harness.PrivateDovecot()
        try:
            pop3 = server.account
            for quantity in QUANTITIES:
                pop3["maildir"].put(order_mail(quantity))
            run = Run("durable-%s-%d" % point, pop3, cls.ftp, cls.mall)
            trace = os.path.join(run.path, "killed.trace")
            killed = start_traced(run.path, trace, point)
            try:
                killed.wait(FIRST_CYCLE + SLACK)
            except subprocess.TimeoutExpired:
                pass
            stop(killed)
            with open(trace, encoding="utf-8", errors="replace") as f:
                text = f.read()
            killed_status = "RETR 1" in text and "+++ killed by SIGKILL" in text
            program = harness.Program(run.path)
            try:
                emptied = harness.wait_for(lambda: pop3["maildir"].count() == 0,
                                           FIRST_CYCLE + 3 * 5 + SLACK)
            finally:
                program.stop()
            result = {"killed": killed_status, "emptied": emptied, "left": pop3["maildir"].count(),
                      "list": run.file("itemsl.csv"), "stderr": program.stderr()}
            run.folder.remove()
            return result
        finally:
            server.stop()

    def test_the_list_and_its_mail_notes_are_on_the_disk_before_dele(self):
        self.assertTrue(self.mailbox_emptied, "the mail was not taken")
        calls = self.trace
        dele = next((i for i, (c, a, _) in enumerate(calls) if c == "sendto" and sent(a).startswith("DELE")),
                    None)
        self.assertIsNotNone(dele, "no DELE was sent")
        for name in ("itemsl.csv", "itemsl.mails"):
            with self.subTest(file=name):
                new = re.compile(r'AT_FDCWD, "(?:.*/)?%s\.new", O_WRONLY' % re.escape(name))
                opened = [i for i, (c, a, r) in enumerate(calls) if c == "openat" and new.match(a)]
                # The writing open (O_CREAT|O_TRUNC) and the flushing one.
                self.assertEqual(len(opened), 2, [calls[i] for i in opened])
                written, flushing = (calls[i][2] for i in opened)
                writes = [i for i, (c, a, r) in enumerate(calls) if opened[0] < i < opened[1] and
                          c in ("write", "writev") and a.startswith("%d," % written) and r and r > 0]
                self.assertTrue(writes, "the new file's data was not written before it was flushed")
                flush = next((i for i, (c, a, r) in enumerate(calls) if i > opened[1] and
                              c in ("fsync", "fdatasync") and a == str(flushing) and r == 0), None)
                self.assertIsNotNone(flush, "the new file was not flushed")
                rename = next((i for i, (c, a, r) in enumerate(calls) if c.startswith("rename") and
                               ('%s.new"' % name) in a and r == 0), None)
                self.assertIsNotNone(rename, "the new file was not renamed")
                folder_opened = next((i for i, (c, a, r) in enumerate(calls) if i > rename and
                                      c == "openat" and "O_DIRECTORY" in a), None)
                self.assertIsNotNone(folder_opened, "the folder was not opened after the rename")
                folder_flush = next((i for i, (c, a, r) in enumerate(calls) if i > folder_opened and
                                     c == "fsync" and a == str(calls[folder_opened][2]) and r == 0), None)
                self.assertIsNotNone(folder_flush, "the folder was not flushed after the rename")
                self.assertLess(max(writes), flush)
                self.assertLess(flush, rename)
                self.assertLess(rename, folder_flush)
                self.assertLess(folder_flush, dele)

    def test_the_crash_points_cover_both_files_of_the_save(self):
        self.assertGreaterEqual(len(self.crash_points), 14, self.crash_points)
        kinds = {call for call, _ in self.crash_points}
        self.assertTrue({"write", "fdatasync", "rename", "fsync"} <= kinds, kinds)

    def test_every_crash_point_keeps_each_order_exactly_once(self):
        self.assertIsNotNone(self.reference_list)
        order_lines = [line for line in self.reference_list.split(b"\r\n") if line]
        self.assertEqual(len(order_lines), 1, self.reference_list)
        for point, crash in zip(self.crash_points, self.crashes):
            with self.subTest(killed_at="%s #%d" % point):
                self.assertTrue(crash["killed"], "the program was not killed after the retrieval")
                self.assertTrue(crash["emptied"], "%d mails left" % crash["left"])
                self.assertIsNotNone(crash["list"], "no list")
                self.assertTrue(crash["list"].endswith(b"\r\n"), crash["list"][-40:])
                self.assertNotIn(b"\0", crash["list"])
                lines = crash["list"].split(b"\r\n")[:-1]
                # Each mail is one row, the reference mail's row with its own quantity; the
                # newest first.
                self.assertEqual(lines, [order_lines[0].replace(b",1200,10,", b",1200,%d," % q)
                                         for q in reversed(QUANTITIES)], crash["stderr"])


if __name__ == "__main__":
    unittest.main()
