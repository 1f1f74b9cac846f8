"""Vendlume.exe under Wine for bench/program_cycle.py, in a Wine prefix and a virtual desktop
of its own (with its taskbar) on a private Xvfb:

  start    time from launching the program (wine explorer /desktop=... Vendlume.exe) and
           from its process's start to its icon registered with the desktop's tray (the
           tray's own trace line, +systray), over several starts;
  idle     CPU time of its process while it idles beside the Linux program, and of the
           prefix's wineserver (which serves the desktop and Notepad as well);
  cycles   time from a poll cycle's start to the page stored, as for the Linux program;
  memory   its process's peak resident set (VmHWM; Wine's own libraries included).
"""

import os
import re
import signal
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "wine"))

import winedesk  # noqa: E402  (tests/wine)

DESKTOP = "bench"
# The desktop's tray notes each icon it is given; the line carries the owner's window.
ICON_ADDED = re.compile(r"systray:.*\badd_icon\b")


def boot_to_monotonic(boot_seconds):
    """A time on the boot clock (/proc's process start times) on the monotonic clock."""
    return boot_seconds - (time.clock_gettime(time.CLOCK_BOOTTIME) - time.monotonic())


def process_start(pid):
    """When the process started, on the monotonic clock (ticks of 10 ms)."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return boot_to_monotonic(int(fields[19]) / os.sysconf("SC_CLK_TCK"))


def pids_running(*names):
    """Our processes whose command line names one of the programs (Wine shows the Windows path)."""
    found = set()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.stat("/proc/" + entry).st_uid != os.getuid():
                continue
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().split(b"\0")[0]
        except OSError:
            continue
        if any(command.lower().endswith(n.lower().encode()) for n in names):
            found.add(int(entry))
    return found


def wineserver_of(prefix):
    """The wineserver of a prefix: it works in /tmp/.wine-UID/server-DEV-INODE of the prefix."""
    st = os.stat(prefix)
    folder = "server-%x-%x" % (st.st_dev, st.st_ino)
    for pid in pids_running("wineserver", "wineserver64"):
        try:
            if os.path.basename(os.readlink("/proc/%d/cwd" % pid)) == folder:
                return pid
        except OSError:
            continue
    return None


def run_seconds(pid):
    """CPU time of all the process's threads from the scheduler, in seconds."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except OSError:
            pass
    return total / 1e9


class WineBench:
    def __init__(self, exe, prefix, folder):
        self.exe = exe
        self.folder = folder
        self.prefix = prefix
        os.makedirs(prefix, exist_ok=True)
        self.desk = winedesk.WineDesktop(exe, folder, prefix=prefix)
        self.desktop = None
        self.pid = None
        self.trace = []  # (monotonic time, line) of the desktop's tray trace
        self.start_times = []  # (launch to icon, process start to icon) per start

    def open_desktop(self):
        """Xvfb, the prefix (set up on first use) and the desktop with its taskbar."""
        setup = time.monotonic()
        self.desk.start_x()  # sets the prefix up on first use
        # The prefix's wineserver and services up before the desktop is made.
        subprocess.run(["wine", "wineboot", "-i"], env=self.desk.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600, check=True)
        self.prefix_seconds = time.monotonic() - setup
        env = dict(self.desk.env, WINEDEBUG="+systray")
        # A desktop ends with the last program on it: Notepad keeps it while the program is
        # started and ended again.
        self.desktop = subprocess.Popen(["wine", "explorer", "/desktop=%s,800x600" % DESKTOP, "notepad.exe"],
                                        cwd=self.folder,
                                        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        threading.Thread(target=self._read_trace, daemon=True).start()
        time.sleep(5)  # the desktop and its taskbar come up

    def _read_trace(self):
        for raw in self.desktop.stderr:
            self.trace.append((time.monotonic(), raw.decode("utf-8", "replace")))

    def _launch(self, timeout=60):
        """Starts the program in the desktop; (launch to icon, process start to icon) and its pid."""
        before = pids_running("Vendlume.exe")
        seen = len(self.trace)
        launched = time.monotonic()
        subprocess.Popen(["wine", "explorer", "/desktop=%s,800x600" % DESKTOP, self.exe], cwd=self.folder,
                         env=self.desk.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = launched + timeout
        icon = pid = None
        while time.monotonic() < deadline and (icon is None or pid is None):
            if pid is None:
                new = pids_running("Vendlume.exe") - before
                pid = min(new) if new else None
            if icon is None:
                icon = next((t for t, line in self.trace[seen:] if ICON_ADDED.search(line)), None)
            time.sleep(0.005)
        if icon is None or pid is None:
            raise RuntimeError("Vendlume.exe did not show its icon within %d s (process %s; desktop %s; its"
                               " trace: %r)" % (timeout, pid, "running" if self.desktop.poll() is None
                                                 else "ended", [line for _, line in self.trace[-5:]]))
        return (icon - launched, icon - process_start(pid)), pid

    def measure_starts(self, starts):
        """starts-1 starts that are ended again, then one that stays for the rest."""
        for number in range(starts):
            times, pid = self._launch()
            self.start_times.append(times)
            if number + 1 < starts:
                os.kill(pid, signal.SIGKILL)
                deadline = time.monotonic() + 20
                while pid in pids_running("Vendlume.exe") and time.monotonic() < deadline:
                    time.sleep(0.05)
                time.sleep(1)
            else:
                self.pid = pid
        self.wineserver = wineserver_of(self.prefix)

    def cpu(self):
        """(program, wineserver) CPU seconds so far."""
        return run_seconds(self.pid), run_seconds(self.wineserver) if self.wineserver else 0.0

    def peak_kb(self):
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
        return None

    def running(self):
        return self.pid is not None and os.path.exists("/proc/%d" % self.pid)

    def close(self):
        if self.desktop and self.desktop.poll() is None:
            self.desktop.kill()
            self.desktop.wait()
        self.desk.stop()
