"""A kill at any file call of a cycle loses no order and takes none twice. The Linux program runs under
strace against the real mailbox and FTP server: a cycle with one order mail gives the file calls from RETR
to QUIT; a run killed at each (SIGKILL from strace), then run again until the mailbox is empty, ends with
that cycle's list."""

import concurrent.futures
import os
import re
import shutil
import signal
import subprocess
import unittest

import harness

CALLS = "openat,write,writev,fsync,fdatasync,rename,renameat,renameat2,sendto"  # libstdc++ also writes by writev
CALL = re.compile(r'^\d+\s+(\w+)\((?:\d+, "([A-Z]+))?.*=\s+(?:-?\d+|\?)')


def run(server, point=None):
    """The folder, the calls ((name, POP3/FTP command sent or None)) and the exit status of a run to the
    cycle's QUIT, or to the kill at point (name, count)."""
    folder = harness.WorkFolder("durable")
    sections = harness.settings(server.account, SHARED["ftp"], os.path.basename(folder.path), SHARED["mall"].host)
    folder.write("Vendlume.ini", harness.ini_text(sections))
    trace = os.path.join(folder.path, "trace")
    command = ["strace", "-f", "-qq", "-s", "8", "-o", trace, "-e", "trace=" + CALLS, harness.program_path()]
    command[1:1] = ["-e", "inject=%s:signal=KILL:when=%d" % point] if point else []
    process = subprocess.Popen(command, cwd=folder.path, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                               start_new_session=True)

    def calls():
        with open(trace if os.path.exists(trace) else os.devnull, encoding="utf-8", errors="replace") as f:
            return [m.group(1, 2) for m in map(CALL.match, f) if m]
    harness.wait_for(lambda: process.poll() is not None or not point and ("sendto", "QUIT") in calls(), 25)
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)  # strace waits for the program
    return folder, calls(), process.wait()


def one_order():
    server = harness.PrivateDovecot()
    server.account["maildir"].put(harness.mail_for("order-kanagawa.json"))
    return server


def killed_and_run_again(point):
    """Whether the kill came after a retrieval, the mails left and the list after a second run."""
    server = one_order()
    try:
        folder, calls, status = run(server, point)
        program = harness.Program(folder.path)
        harness.wait_for(lambda: server.account["maildir"].count() == 0, 40)
        program.stop()
        saved = harness.folder_file(folder.path, "itemsl.csv")
        folder.remove()
        return status == -9 and ("sendto", "RETR") in calls, server.account["maildir"].count(), saved
    finally:
        server.stop()


SHARED = {}


class DurableSave(unittest.TestCase):
    def test_a_kill_at_any_file_call_keeps_each_order_once(self):
        if not shutil.which("strace") or subprocess.run(["strace", "true"], capture_output=True).returncode:
            self.skipTest("strace cannot trace here")
        scratch = harness.WorkFolder("durable-mall")
        self.addCleanup(scratch.remove)
        SHARED.update(ftp=harness.vsftpd(), mall=harness.Mall(scratch.path))
        self.addCleanup(SHARED["mall"].stop)
        server = one_order()
        try:
            folder, calls, _ = run(server)
        finally:
            server.stop()
        expected = harness.folder_file(folder.path, "itemsl.csv")
        folder.remove()
        self.assertEqual(len(expected.splitlines()), 1, expected)
        counts, points, saving = {}, [], False  # strace counts a name's calls from the start
        for name, sent in calls[:calls.index(("sendto", "QUIT"))]:
            counts[name] = counts.get(name, 0) + 1
            saving = saving or sent == "RETR"
            points += [(name, counts[name])] if saving and name != "sendto" else []
        self.assertLessEqual({"writev", "fdatasync", "rename", "fsync"}, {name for name, _ in points})
        with concurrent.futures.ThreadPoolExecutor(len(points)) as pool:  # each waits for the program's first poll
            for point, outcome in zip(points, pool.map(killed_and_run_again, points)):
                self.assertEqual(outcome, (True, 0, expected), "killed at %s #%d" % point)


if __name__ == "__main__":
    unittest.main()
