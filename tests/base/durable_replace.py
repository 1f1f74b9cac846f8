"""ReplaceFileBytes as the system sees it: the Files tests of test_base run under strace,
and every replacing rename of NAME.new over NAME must come after the new file's data was
flushed (fdatasync or fsync of NAME.new, after its last write) and be followed by a flush
of the folder (fsync of the folder NAME is in) before anything else is replaced.
    durable_replace.py TEST_BASE"""

import os
import re
import subprocess
import sys
import tempfile

CALL = re.compile(r'^(?:\[pid\s+\d+\]\s+|\d+\s+)?(\w+)\((.*)\)\s+=\s+(-?\d+)')
FD_PATH = re.compile(r'^\d+<(.*?)>')


def calls(log):
    """(name, arguments) of each system call that succeeded, in order."""
    found = []
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = CALL.match(line.strip())
            if m and int(m.group(3)) >= 0:
                found.append((m.group(1), m.group(2)))
    return found


def fd_path(arguments):
    m = FD_PATH.match(arguments)
    return m.group(1) if m else None


def problems(trace):
    """What is out of order in the trace; empty when every replace is durable."""
    found = []
    renames = 0
    for i, (name, arguments) in enumerate(trace):
        if name not in ("rename", "renameat", "renameat2"):
            continue
        paths = re.findall(r'"([^"]*)"', arguments)
        if len(paths) != 2 or paths[0] != paths[1] + ".new":
            continue
        renames += 1
        new = os.path.basename(paths[0])
        before = trace[:i]
        last_write = max((j for j, (n, a) in enumerate(before)
                          if n in ("write", "pwrite64", "writev") and (fd_path(a) or "").endswith("/" + new)),
                         default=None)
        if last_write is None:
            found.append("%s: no write of the new file seen" % new)
            continue
        folder = os.path.dirname(fd_path(before[last_write][1]))
        if not any(n in ("fsync", "fdatasync") and (fd_path(a) or "").endswith("/" + new)
                   for n, a in before[last_write + 1:]):
            found.append("%s: renamed before its data was flushed" % new)
        after = trace[i + 1:]
        following = next((k for k, (n, a) in enumerate(after)
                          if n in ("rename", "renameat", "renameat2")), len(after))
        if not any(n == "fsync" and fd_path(a) == folder for n, a in after[:following]):
            found.append("%s: no flush of its folder after the rename" % paths[1])
    if renames == 0:
        found.append("no replacing rename seen")
    return found


def main():
    test_base = sys.argv[1]
    with tempfile.TemporaryDirectory() as scratch:
        log = os.path.join(scratch, "trace")
        run = subprocess.run(["strace", "-f", "-y", "-s", "0", "-o", log,
                              "-e", "trace=openat,write,pwrite64,writev,fsync,fdatasync,rename,renameat,renameat2",
                              test_base, "--gtest_filter=Files.Replace*"],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120,
                             # LeakSanitizer cannot run under ptrace; the untraced runs look for leaks.
                             env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))
        if run.returncode != 0:
            print(run.stdout.decode("utf-8", "replace"))
            print("durable_replace: the traced tests failed")
            return 1
        found = problems(calls(log))
    for problem in found:
        print("durable_replace:", problem)
    print("durable_replace: %s" % ("FAILED" if found else "every replace flushed its data, then its folder"))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
