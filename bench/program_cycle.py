#!/usr/bin/env python3
"""The whole program against local servers (run by scripts/bench-program, which starts
dovecot and vsftpd under VDL_BINARY_DIR/servers):

  cycle    time from a poll cycle's start (the program connects to the mailbox) to the page
           stored on the FTP server (the server's 226 after the store), for mails of three
           items looked up on the local mall; curl doing the same network work (retrieve
           and delete the mail, the same mall requests, store the same page) takes its
           turn after each of the program's cycles, so both meet the same machine load;
  idle     the program's CPU time (utime + stime from /proc) over 60 s with an empty mailbox;
  memory   its peak resident set (VmHWM) after the cycles and the idle minute.

The mailbox and FTP connections go through small relays that note when the program
connects and when the FTP server confirms the store; curl goes through the same relays.

With --windows EXE, Vendlume.exe under Wine joins the run (bench/program_wine.py): its
start to the tray icon, its CPU time over the same idle minute as the Linux program's (both
idle at once, polling the same empty mailbox), then its own cycles once the Linux program
has ended, and its peak resident memory."""

import argparse
import json
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

import expected  # noqa: E402
import harness  # noqa: E402

# A mail of three items: found by code with reviews, found by name with reviews, found by
# code without reviews of its own.
ORDER = {
    "shop": "桜商店",
    "number": "123456-20161028-0000000009",
    "datetime": "2016-10-28 10:11:12",
    "orderer": {"name": "山田 太郎", "postal": "100-0001",
                "address": "東京都千代田区千代田1-1", "phone": "03-1234-5678"},
    "items": [
        {"name": "桜のマグカップ (白)", "code": "mug-001", "price": 1200, "quantity": 2},
        {"name": "抹茶 茶器セット", "code": "tea-set-02", "price": 15800, "quantity": 1},
        {"name": "ガラスの器\n3.5寸", "code": "glass-3.5", "price": 3500, "quantity": 1},
    ],
}


class Relay:
    """Forwards loopback connections to a server port. Notes the time of every accepted
    connection, and of every server line that starts with one of the watched prefixes."""

    def __init__(self, target_port, watch=()):
        self.target_port = target_port
        self.watch = tuple(watch)
        self.accepted, self.seen = [], []
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            self.accepted.append(time.monotonic())
            server = socket.create_connection(("127.0.0.1", self.target_port))
            for sock in (client, server):
                sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=self._pump, args=(client, server, False), daemon=True).start()
            threading.Thread(target=self._pump, args=(server, client, True), daemon=True).start()

    def _pump(self, source, sink, from_server):
        pending = b""
        try:
            while True:
                data = source.recv(65536)
                if not data:
                    break
                if from_server and self.watch:
                    now = time.monotonic()
                    pending += data
                    *lines, pending = pending.split(b"\n")
                    self.seen += [now for line in lines if line.startswith(self.watch)]
                sink.sendall(data)
        except OSError:
            pass
        finally:
            for sock in (source, sink):
                try:
                    sock.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass

    def close(self):
        self.listener.close()


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # Fields 14 and 15 of the file (utime, stime), counted after the command name's ")".
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def run_seconds(pid):
    """CPU time of all the process's threads from the scheduler (nanoseconds, finer than
    the clock ticks of /proc/PID/stat)."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
            total += int(f.read().split()[0])
    return total / 1e9


def status_kb(pid, key):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return None


def summary(times):
    ms = sorted(t * 1000 for t in times)
    return "best %7.1f ms, median %7.1f ms, worst %7.1f ms (%d runs)" % (
        ms[0], statistics.median(ms), ms[-1], len(ms))


class CurlCycle:
    """The same network work with curl: one curl process per cycle, its transfers in order,
    through relays like the program's."""

    def __init__(self, pop3, ftp, mall):
        self.pop3 = pop3
        self.pop3_relay = Relay(pop3["port"])
        self.ftp_relay = Relay(ftp["port"], watch=(b"226",))
        lookup = expected.Lookup(harness.CATALOGUE, "http://" + mall.host, mall.host)
        _, requests = expected.order_rows(ORDER, lookup)
        self.request_count = len(requests)
        self.page_file = tempfile.NamedTemporaryFile(suffix=".html")
        pop3_url = "pop3://%s:%s@127.0.0.1:%d/1" % (pop3["user"], pop3["password"], self.pop3_relay.port)
        self.command = ["curl", "-s", "-o", "/dev/null", pop3_url,
                        "--next", "-s", "-X", "DELE", "-I", pop3_url]
        for target, version in requests:
            self.command += ["--next", "-s", "-o", "/dev/null",
                             "--http1.0" if version == "HTTP/1.0" else "--http1.1",
                             "http://%s%s" % (mall.host, target)]
        self.command += ["--next", "-s", "--ftp-pasv", "-T", self.page_file.name,
                         "ftp://%s:%s@127.0.0.1:%d/bench-curl.html" % (ftp["user"], ftp["password"],
                                                                     self.ftp_relay.port)]
        self.times = []

    def run(self, mail, page):
        self.page_file.seek(0)
        self.page_file.truncate()
        self.page_file.write(page)
        self.page_file.flush()
        self.pop3["maildir"].put(mail)
        stored = len(self.ftp_relay.seen)
        started = time.monotonic()
        subprocess.run(self.command, check=True)
        harness.wait_for(lambda: len(self.ftp_relay.seen) > stored, 5, step=0.001)
        self.times.append(self.ftp_relay.seen[stored] - started)

    def close(self):
        self.pop3_relay.close()
        self.ftp_relay.close()
        self.page_file.close()


class WineSide:
    """Vendlume.exe in its own folder and Wine prefix, through relays of its own."""

    def __init__(self, args, pop3, ftp, mall):
        import program_wine
        self.pop3 = pop3
        self.pop3_relay = Relay(pop3["port"])
        self.ftp_relay = Relay(ftp["port"], watch=(b"226",))
        self.folder = harness.WorkFolder("bench-wine")
        self.folder.write("Vendlume.ini", harness.ini_text(harness.settings(
            dict(pop3, port=self.pop3_relay.port), dict(ftp, port=self.ftp_relay.port), "bench-wine", mall.host,
            html={"Review": 1})))
        self.bench = program_wine.WineBench(args.windows, args.wine_prefix, self.folder.path)
        self.starts = args.wine_starts

    def start(self):
        self.bench.open_desktop()
        self.bench.measure_starts(self.starts)
        # Idle from its first poll on, as the Linux program is.
        if not harness.wait_for(lambda: self.pop3_relay.accepted, 15 + 45, step=0.05):
            raise RuntimeError("Vendlume.exe never polled its mailbox")

    def cycles(self, count, mail):
        """count mails, one per cycle; each cycle's start to its page stored."""
        for cycle in range(count):
            stored = len(self.ftp_relay.seen)
            self.pop3["maildir"].put(mail)
            if not harness.wait_for(lambda: len(self.ftp_relay.seen) > stored, 15 + 30):
                raise RuntimeError("Vendlume.exe stored only %d of %d pages" % (cycle, count))
            if not harness.wait_for(lambda: self.pop3["maildir"].count() == 0, 10, step=0.005):
                raise RuntimeError("Vendlume.exe left its mail in the mailbox")
        # The cycle that stored page n began at the last poll before it.
        return [stored - max(t for t in self.pop3_relay.accepted if t < stored) for stored in self.ftp_relay.seen]

    def close(self):
        self.bench.close()
        self.pop3_relay.close()
        self.ftp_relay.close()
        self.folder.remove()


def run_alternating(args, pop3, ftp, mall, folder, wine=None):
    """The program takes one mail per poll cycle; after each of its cycles (page stored,
    mailbox closed) curl does the same transfers once, before the program's next cycle:
    program, curl, program, curl, ... so that both meet the same machine load."""
    pop3_relay = Relay(pop3["port"])
    ftp_relay = Relay(ftp["port"], watch=(b"226",))
    account = dict(pop3, port=pop3_relay.port)
    ftp_account = dict(ftp, port=ftp_relay.port)
    folder.write("Vendlume.ini", harness.ini_text(harness.settings(
        account, ftp_account, "bench-program", mall.host, html={"Review": 1})))
    mail = harness.ordermail.order_mail(ORDER, "jis7")
    curl = CurlCycle(pop3, ftp, mall)
    pop3["maildir"].put(mail)

    program = harness.Program(folder.path)
    pid = program.process.pid
    try:
        for cycle in range(args.mails):
            # One cycle every 15 s; the first 15 s after start.
            if not harness.wait_for(lambda: len(ftp_relay.seen) > cycle, 15 + 30):
                raise RuntimeError("only %d of %d pages were stored" % (len(ftp_relay.seen), args.mails))
            # The deletion is committed when the program closes the mailbox after the upload.
            if not harness.wait_for(lambda: pop3["maildir"].count() == 0, 10, step=0.005):
                raise RuntimeError("the program left its mail in the mailbox")
            curl.run(mail, program.file("item.html"))
            if not harness.wait_for(lambda: pop3["maildir"].count() == 0, 10, step=0.005):
                raise RuntimeError("curl left its mail in the mailbox")
            if cycle + 1 < args.mails:
                pop3["maildir"].put(mail)
        busy_cpu = cpu_seconds(pid)
        if wine:
            wine.start()
            wine_polls = len(wine.pop3_relay.accepted)
            wine_cpu = wine.bench.cpu()
        idle_start, idle_cpu, idle_run = time.monotonic(), cpu_seconds(pid), run_seconds(pid)
        cycles_before = len(pop3_relay.accepted)
        time.sleep(args.idle)
        idle_wall = time.monotonic() - idle_start
        idle_used = cpu_seconds(pid) - idle_cpu
        idle_run = run_seconds(pid) - idle_run
        idle_cycles = len(pop3_relay.accepted) - cycles_before
        if wine:
            wine_after = wine.bench.cpu()
            wine.idle = {"program": wine_after[0] - wine_cpu[0], "wineserver": wine_after[1] - wine_cpu[1],
                         "polls": len(wine.pop3_relay.accepted) - wine_polls}
        peak_kb, rss_kb = status_kb(pid, "VmHWM"), status_kb(pid, "VmRSS")
    finally:
        status = program.stop()
        pop3_relay.close()
        ftp_relay.close()
        curl.close()
    if status != 0:
        raise RuntimeError("the program ended with %s: %s" % (status, program.stderr()))
    cycles = [stored - began for began, stored in zip(pop3_relay.accepted, ftp_relay.seen)]
    uploads = [stored - began for began, stored in zip(ftp_relay.accepted, ftp_relay.seen)]
    return {"cycles": cycles, "uploads": uploads, "busy_cpu": busy_cpu, "idle_cpu": idle_used, "idle_run": idle_run,
            "idle_wall": idle_wall, "idle_cycles": idle_cycles, "peak_kb": peak_kb, "rss_kb": rss_kb,
            "curl": curl.times, "request_count": curl.request_count}


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--mails", type=int, default=7, help="mails, one per cycle (at least 7 for a ratio)")
    parser.add_argument("--idle", type=float, default=60, help="seconds of idling measured")
    parser.add_argument("--windows", help="Vendlume.exe to run under Wine beside the Linux program")
    parser.add_argument("--wine-prefix", help="the Wine prefix for it (made on first use)")
    parser.add_argument("--wine-starts", type=int, default=5, help="starts of Vendlume.exe timed")
    parser.add_argument("--wine-mails", type=int, default=3, help="mails, one per cycle, for Vendlume.exe")
    args = parser.parse_args()

    pop3, ftp = harness.dovecot(), harness.vsftpd()
    pop3["maildir"].clear()
    folder = harness.WorkFolder("bench")
    mall = harness.Mall(folder.path)
    print("load average at start: %s   (cycles of each: %d, alternating)" % (load(), args.mails), flush=True)
    wine = None
    try:
        if args.windows:
            wine = WineSide(args, pop3, ftp, mall)
        program = run_alternating(args, pop3, ftp, mall, folder, wine)
        if wine:
            wine.cycle_times = wine.cycles(args.wine_mails, harness.ordermail.order_mail(ORDER, "jis7"))
            wine.peak = wine.bench.peak_kb()
            wine.still_running = wine.bench.running()
    finally:
        if wine:
            wine.close()
        mall.stop()
        pop3["maildir"].clear()
        folder.remove()

    print("Whole program against local dovecot, vsftpd and mall (mail of 3 items, %d mall requests each):"
          % program["request_count"])
    print("  cycle start to page stored  vendlume: %s" % summary(program["cycles"]))
    print("    of which the FTP upload   vendlume: %s" % summary(program["uploads"]))
    print("                              curl:     %s  (same transfers, one process)" % summary(program["curl"]))
    if args.mails >= 7:
        print("  ratio vendlume/curl                   best %.2fx, median %.2fx"
              % (min(program["cycles"]) / min(program["curl"]),
                 statistics.median(program["cycles"]) / statistics.median(program["curl"])))
    else:
        print("  ratio vendlume/curl                   (no ratio from fewer than 7 cycles)")
    tick_ms = 1000 / os.sysconf("SC_CLK_TCK")
    print("  CPU time while idle         vendlume: utime+stime %.0f ms (ticks of %.0f ms), scheduler %.2f ms,"
          " over %.1f s (%.4f%% of one core; %d empty polls)"
          % (program["idle_cpu"] * 1000, tick_ms, program["idle_run"] * 1000, program["idle_wall"],
             100 * program["idle_run"] / program["idle_wall"], program["idle_cycles"]))
    print("  CPU time up to the last page vendlume: utime+stime %.0f ms (start-up and %d cycles)"
          % (program["busy_cpu"] * 1000, args.mails))
    print("  peak resident memory        vendlume: VmHWM %d kB (VmRSS at the end %d kB)"
          % (program["peak_kb"], program["rss_kb"]))
    if wine:
        report_wine(wine, program)
    print("load average at end: %s" % load())


def report_wine(wine, program):
    bench = wine.bench
    launch = [a for a, _ in bench.start_times]
    process = [b for _, b in bench.start_times]
    print("Vendlume.exe under Wine (%s), same run (Xvfb and the Wine prefix ready in %.1f s):" % (
        subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip(), bench.prefix_seconds))
    print("  start to tray icon          launch (wine explorer /desktop): %s" % summary(launch))
    print("                              its process's start:             %s" % summary(process))
    idle = wine.idle
    linux = program["idle_run"]
    print("  CPU time while idle         Vendlume.exe %.2f ms over the same %.1f s (%d empty polls); Linux program"
          " %.2f ms: %.2fx; the prefix's wineserver (desktop, Notepad and program) %.2f ms"
          % (idle["program"] * 1000, program["idle_wall"], idle["polls"], linux * 1000,
             idle["program"] / linux if linux else float("nan"), idle["wineserver"] * 1000))
    print("  cycle start to page stored  Vendlume.exe: %s" % summary(wine.cycle_times))
    print("  peak resident memory        Vendlume.exe: VmHWM %d kB after %d starts' last start, the idle minute"
          " and %d cycles (Linux program %d kB)%s"
          % (wine.peak, len(bench.start_times), len(wine.cycle_times), program["peak_kb"],
             "" if wine.still_running else "  (it had ended!)"))


if __name__ == "__main__":
    main()
