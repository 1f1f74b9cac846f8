"""The Linux program against the real mailbox and FTP server, under strace: the list and its mail notes
are written, flushed, renamed and their folder flushed before DELE; and a kill (SIGKILL from strace) at
any file call from RETR to QUIT loses no order and takes none twice: run again after the kill, the
program ends with the list of a cycle without one."""

import concurrent.futures
import os
import re
import shutil
import signal
import subprocess
import unittest

import harness

CALLS = "openat,write,writev,fsync,fdatasync,rename,renameat,renameat2,sendto"  # libstdc++ also writes by writev
# The call's name and, for a command sent, the command; for a file opened or renamed, its path.
CALL = re.compile(r'^\d+\s+(\w+)\((?:\d+, "([A-Z]+)|(?:AT_FDCWD, )?"([^"]*)")?.*=\s+(?:-?\d+|\?)')


SHARED = {}  # the FTP account and the local mall


def cycle(point=None):
    """A program run under strace in a folder of its own, with a mailbox of its own holding one order mail:
    to the cycle's QUIT, or killed at point (name, count) and run again until the mailbox is empty. The calls
    met ((name, POP3/FTP command sent or None)), whether killed after RETR, the mails left and the list."""
    server, folder = harness.PrivateDovecot(), harness.WorkFolder("durable")
    maildir = server.account["maildir"]
    maildir.put(harness.mail_for("order-kanagawa.json"))
    try:
        sections = harness.settings(server.account, SHARED["ftp"], os.path.basename(folder.path), SHARED["mall"].host)
        folder.write("Vendlume.ini", harness.ini_text(sections))
        trace = os.path.join(folder.path, "trace")
        command = ["strace", "-f", "-qq", "-s", "64", "-o", trace, "-e", "trace=" + CALLS, harness.program_path()]
        command[1:1] = ["-e", "inject=%s:signal=KILL:when=%d" % point] if point else []
        process = subprocess.Popen(command, cwd=folder.path, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   start_new_session=True)

        def calls():
            with open(trace if os.path.exists(trace) else os.devnull, encoding="utf-8", errors="replace") as f:
                return [(m.group(1), m.group(2) or m.group(3)) for m in map(CALL.match, f) if m]
        harness.wait_for(lambda: process.poll() is not None or not point and ("sendto", "QUIT") in calls(), 25)
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)  # strace waits for the program
        killed = process.wait() == -9 and ("sendto", "RETR") in calls()
        if point:
            program = harness.Program(folder.path)
            harness.wait_for(lambda: maildir.count() == 0, 40)
            program.stop()
        return calls(), killed, maildir.count(), harness.folder_file(folder.path, "itemsl.csv")
    finally:
        folder.remove()
        server.stop()


class DurableSave(unittest.TestCase):
    def test_a_kill_at_any_file_call_keeps_each_order_once(self):
        if not shutil.which("strace") or subprocess.run(["strace", "true"], capture_output=True).returncode:
            self.skipTest("strace cannot trace here")
        scratch = harness.WorkFolder("durable-mall")
        self.addCleanup(scratch.remove)
        SHARED.update(ftp=harness.vsftpd(), mall=harness.Mall(scratch.path))
        self.addCleanup(SHARED["mall"].stop)
        calls, _, _, expected = cycle()
        self.assertEqual(len(expected.splitlines()), 1, expected)
        for name in ("itemsl.csv", "itemsl.mails"):  # written, flushed, renamed, folder flushed, then DELE
            steps, at = [], -1
            for wanted in ({"openat"}, {"write", "writev"}, {"fdatasync"}, {"rename", "renameat", "renameat2"},
                           {"fsync"}):
                at = next((i for i, (call, path) in enumerate(calls) if i > at and call in wanted and
                           (call in ("write", "writev", "fdatasync", "fsync") or (path or "").endswith(name + ".new"))),
                          len(calls))
                steps.append(at)
            self.assertLess(steps[-1], calls.index(("sendto", "DELE")), (name, steps))
        counts, points, saving = {}, [], False  # strace counts a name's calls from the start
        for name, sent in calls[:calls.index(("sendto", "QUIT"))]:
            counts[name] = counts.get(name, 0) + 1
            saving = saving or sent == "RETR"
            points += [(name, counts[name])] if saving and name != "sendto" else []
        self.assertLessEqual({"writev", "fdatasync", "rename", "fsync"}, {name for name, _ in points})
        with concurrent.futures.ThreadPoolExecutor(len(points)) as pool:  # each waits for the program's first poll
            for point, outcome in zip(points, pool.map(cycle, points)):
                self.assertEqual(outcome[1:], (True, 0, expected), "killed at %s #%d" % point)


if __name__ == "__main__":
    unittest.main()
