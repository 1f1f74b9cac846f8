"""The saved list is on the disk before the mail is deleted, and survives a kill at any point of the save.
The Linux program runs under strace against the real mailbox, FTP server and local mall: one cycle with one
order mail shows, for itemsl.csv and itemsl.mails, the new file written, flushed, renamed over the old one and
the folder flushed, all before "DELE"; the same cycle with two mails, killed (SIGKILL from strace) at each file
call from the retrieval to the end of the cycle and run again until the mailbox is empty, lists each order once."""

import concurrent.futures
import os
import re
import shutil
import subprocess
import unittest

import harness

# The calls that put a file on the disk (libstdc++ writes a large block with writev), and sendto.
CALLS = ("openat", "write", "writev", "fsync", "fdatasync", "rename", "renameat", "renameat2", "sendto")
CYCLE = 25  # seconds for a first cycle, with slack
ORDER = "order-kanagawa.json"  # one item: one row per mail
CALL = re.compile(r'^(?:\[pid\s+)?(\d+)\]?\s+(?:\d\d:\d\d:\d\d\.\d+\s+)?(\w+)\((.*)\)\s+=\s+(-?\d+|\?)')


def parse_trace(path):
    """(call, arguments, result) of each finished call; for sendto, the bytes sent."""
    with open(path, encoding="utf-8", errors="replace") as f:
        matches = [m.group(2, 3, 4) for m in map(CALL.match, f) if m]
    return [(c, a.split('"')[1] if c == "sendto" and '"' in a else a, None if r == "?" else int(r))
            for c, a, r in matches]


def run_traced(tag, pop3, ftp, mall, inject=()):
    """A program folder, run in under strace until the cycle's last QUIT or the kill inject names."""
    folder = harness.WorkFolder(tag)
    settings = harness.settings(pop3, ftp, os.path.basename(folder.path), mall.host)  # a target of its own
    folder.write("Vendlume.ini", harness.ini_text(settings))
    trace = os.path.join(folder.path, "trace")
    command = ["strace", "-f", "-tt", "-qq", "-s", "256", "-o", trace, "-e", "trace=" + ",".join(CALLS)]
    command += ["-e", "inject=%s:signal=KILL:when=%d" % inject] if inject else []
    process = subprocess.Popen(command + [harness.program_path()], cwd=folder.path, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    harness.wait_for(lambda: process.poll() is not None or not inject and any(
        c == "sendto" and a.startswith("QUIT") for c, a, _ in parse_trace(trace)), CYCLE)
    process.terminate()
    process.wait()
    return folder, trace


class DurableSave(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not shutil.which("strace") or subprocess.run(["strace", "true"], capture_output=True).returncode:
            raise unittest.SkipTest("strace cannot trace here")
        cls.pop3, cls.ftp = harness.dovecot(), harness.vsftpd()
        cls.pop3["maildir"].clear()
        cls.pop3["maildir"].put(harness.mail_for(ORDER))
        scratch = harness.WorkFolder("durable-mall")
        cls.mall = harness.Mall(scratch.path)
        try:
            folder, trace = run_traced("durable", cls.pop3, cls.ftp, cls.mall)
            cls.trace, cls.reference_list = parse_trace(trace), harness.folder_file(folder.path, "itemsl.csv")
            folder.remove()
            # The crash points: (call, its number among its name's) of each file call from RETR to QUIT.
            counts, cls.crash_points, saving = {}, [], False
            for call, arguments, _ in cls.trace:
                if call == "sendto" and arguments.startswith("QUIT"):
                    break
                saving = saving or call == "sendto" and arguments.startswith("RETR")
                counts[call] = counts.get(call, 0) + 1
                cls.crash_points += [(call, counts[call])] if saving and call != "sendto" else []
            with concurrent.futures.ThreadPoolExecutor(len(cls.crash_points) or 1) as pool:
                cls.crashes = list(pool.map(cls.crash_at, cls.crash_points))
        finally:
            cls.mall.stop()
            scratch.remove()

    @classmethod
    def crash_at(cls, point):
        """Two mails, a kill at the file call, runs until none is left: killed after RETR?, mails left, list."""
        server = harness.PrivateDovecot()
        maildir = server.account["maildir"]
        try:
            for quantity in (1, 2):
                order = harness.load_json(ORDER)
                order["number"] += "-%d" % quantity
                order["items"][0]["quantity"] = quantity
                maildir.put(harness.ordermail.order_mail(order, "jis7"))
            folder, trace = run_traced("durable-%s-%d" % point, server.account, cls.ftp, cls.mall, point)
            text = open(trace, encoding="utf-8", errors="replace").read()
            program = harness.Program(folder.path)
            harness.wait_for(lambda: maildir.count() == 0, CYCLE + 15)
            program.stop()
            saved = harness.folder_file(folder.path, "itemsl.csv")
            folder.remove()
            return "RETR 1" in text and "+++ killed by SIGKILL" in text, maildir.count(), saved
        finally:
            server.stop()

    def test_the_list_and_its_mail_notes_are_on_the_disk_before_dele(self):
        calls = self.trace

        def first(names, test, start=-1):
            return next((i for i, (c, a, r) in enumerate(calls) if i > start and c in names and test(a, r)), None)
        for name in ("itemsl.csv", "itemsl.mails"):
            with self.subTest(file=name):
                new = re.compile(r'AT_FDCWD, "(?:.*/)?%s\.new", O_WRONLY' % re.escape(name))
                # The writing open (O_CREAT|O_TRUNC) and the flushing one.
                opened = [i for i, (c, a, r) in enumerate(calls) if c == "openat" and new.match(a)]
                self.assertEqual(len(opened), 2, [calls[i] for i in opened])
                written, flushing = (calls[i][2] for i in opened)
                write = first(("write", "writev"), lambda a, r: a.startswith("%d," % written) and r, opened[0])
                flush = first(("fsync", "fdatasync"), lambda a, r: a == str(flushing) and r == 0, opened[1])
                rename = first(("rename", "renameat", "renameat2"), lambda a, r: '%s.new"' % name in a and r == 0)
                folder = first(("openat",), lambda a, r: "O_DIRECTORY" in a, rename or 0)
                dir_flush = first(("fsync",), lambda a, r: a == str(calls[folder or 0][2]) and r == 0, folder or 0)
                steps = [write, opened[1], flush, rename, dir_flush, first(("sendto",), lambda a, _: a[:4] == "DELE")]
                self.assertTrue(None not in steps and steps == sorted(steps), steps)

    def test_every_crash_point_keeps_each_order_exactly_once(self):
        self.assertLessEqual({"write", "fdatasync", "rename", "fsync"}, {c for c, _ in self.crash_points})
        # Each mail is one row, the reference mail's row with its own quantity; the newest first.
        row = self.reference_list.rstrip(b"\r\n")
        expected = b"".join(row.replace(b",1200,10,", b",1200,%d," % q) + b"\r\n" for q in (2, 1))
        for point, (killed, left, saved) in zip(self.crash_points, self.crashes):
            with self.subTest(killed_at="%s #%d" % point):
                self.assertTrue(killed, "the program was not killed after the retrieval")
                self.assertEqual((left, saved), (0, expected))


if __name__ == "__main__":
    unittest.main()
