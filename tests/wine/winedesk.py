"""A Wine virtual desktop with its taskbar on a private Xvfb: starts Vendlume.exe in it,
finds the tray icon on screenshots, clicks and types with xdotool. Used by the Wine tray
test and by scripts/demo-windows. Every wait is bounded."""

import os
import shutil
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
ICON_RED = (0xC8, 0x32, 0x4B)  # the tile colour of res/vendlume.xpm
WIDTH, HEIGHT = 800, 600
TASKBAR = 20  # height of the desktop's taskbar


def wine_env(display, prefix):
    env = dict(os.environ, DISPLAY=display, WINEPREFIX=prefix, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    return env


class WineDesktop:
    def __init__(self, exe, folder, prefix=None, keep_shots=False):
        self.keep_shots = keep_shots
        self.exe = exe
        self.folder = folder
        self.prefix = prefix or os.environ.get("WINEPREFIX") or os.path.join(ROOT, "build-win", "wineprefix")
        self.xvfb = None
        self.program = None
        self.display = None
        self.shots = tempfile.mkdtemp(prefix="vdl-shots-")

    # --- the X server and the desktop

    def start_x(self):
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT),
                                      "-nolisten", "tcp"], pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read)
        self.display = ":" + number.decode().strip()
        self.env = wine_env(self.display, self.prefix)
        self._prepare_prefix()

    def _prepare_prefix(self):
        # Menus and message boxes use Tahoma, which has no Japanese glyphs: link it to the
        # IPA Gothic font (Debian fonts-ipafont-gothic). A program that crashes ends with its
        # backtrace on stderr instead of waiting in Wine's crash dialog. Done once per prefix.
        marker = os.path.join(self.prefix, ".vdl-prefix-ready")
        if os.path.exists(marker):
            return
        for key, name, kind, data in (
                (r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink", "Tahoma",
                 "REG_MULTI_SZ", "ipag.ttf,IPAGothic"),
                (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0")):
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f"], env=self.env,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=True)
        open(marker, "w").close()

    def start_program(self, name="vdltest", *args, cwd=None):
        self.program = subprocess.Popen(
            ["wine", "explorer", "/desktop=%s,%dx%d" % (name, WIDTH, HEIGHT), self.exe, *args],
            cwd=cwd or self.folder, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run_second(self, timeout=60):
        """A second Vendlume.exe in the same folder; answers its message box. (exit code, shot)"""
        second = subprocess.Popen(["wine", self.exe], cwd=self.folder, env=self.env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shot = None
        deadline = time.monotonic() + timeout
        while second.poll() is None and time.monotonic() < deadline:
            found = self.xdotool("search", "--name", "^Vendlume$", check=False)
            if found.strip():
                shot = self.screenshot("second-instance.png")
                self.xdotool("key", "--window", found.split()[0], "Return", check=False)
            time.sleep(0.5)
        if second.poll() is None:
            second.kill()
            second.wait()
            return None, shot
        return second.returncode, shot

    def _run_in_desktop(self, name, command, answer, timeout):
        """Runs a command in the program's desktop; the text it writes to answer, or None."""
        subprocess.Popen(["wine", "explorer", "/desktop=%s,%dx%d" % (name, WIDTH, HEIGHT)] + command,
                         cwd=self.folder, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(answer):
                time.sleep(0.2)  # the text may still be on its way
                with open(answer, "rb") as f:
                    text = f.read().decode("ascii", "replace").strip()
                if text:
                    return text
            time.sleep(0.2)
        return None

    def query_end_session(self, helper, name="vdltest", timeout=120):
        """The program's answers to WM_QUERYENDSESSION, window by window (tests/wine/
        endsession.cpp), with nothing after it: a list of texts, None when none came."""
        answer = os.path.join(self.shots, "query-end-session.txt")
        text = self._run_in_desktop(name, [helper, "Z:" + answer.replace("/", "\\")], answer, timeout)
        return text.split() if text else None

    def end_session(self, name="vdltest", timeout=120):
        """Ends the Windows session on the program's desktop as Wine does it: wineboot sends
        WM_QUERYENDSESSION, then WM_ENDSESSION, to the windows there, and ends each process
        that agreed. "agreed" when every window agreed, "refused" when one did not, None when
        wineboot did not finish in time. wineboot runs from cmd in that desktop, which notes
        its exit status in a file."""
        answer = os.path.join(self.shots, "end-session.txt")
        windows_path = "Z:" + answer.replace("/", "\\")
        # (Wine's cmd runs both sides of "a && b || c" after b: the status is tested apart.)
        command = "wineboot --end-session & if errorlevel 1 (echo refused>%s) else (echo agreed>%s)" % (
            windows_path, windows_path)
        return self._run_in_desktop(name, ["cmd", "/c", command], answer, timeout)

    def stop(self):
        if self.program and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        subprocess.run(["wineserver", "-k"], env=getattr(self, "env", None) or dict(os.environ, WINEPREFIX=self.prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()
        if not self.keep_shots:
            shutil.rmtree(self.shots, ignore_errors=True)

    # --- looking and acting

    def xdotool(self, *args, check=True):
        r = subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True, timeout=30)
        if check and r.returncode != 0:
            raise RuntimeError("xdotool %s: %s" % (" ".join(args), r.stderr))
        return r.stdout

    def screenshot(self, name):
        path = os.path.join(self.shots, name)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=60)
        return path

    def pixels(self, path, box):
        """The RGB pixels of a region (x, y, w, h) of a screenshot, row by row."""
        x, y, w, h = box
        raw = subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (w, h, x, y), "-depth", "8", "rgb:-"],
                             capture_output=True, check=True, timeout=60).stdout
        return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]

    def tray_icon(self):
        """Where the icon is (its centre), or None: the tile's red in the taskbar's right end."""
        path = self.screenshot("tray.png")
        box = (WIDTH - 200, HEIGHT - TASKBAR, 200, TASKBAR)
        hits = [(i % box[2], i // box[2]) for i, p in enumerate(self.pixels(path, box))
                if all(abs(a - b) < 24 for a, b in zip(p, ICON_RED))]
        if len(hits) < 8:
            return None
        xs, ys = [h[0] for h in hits], [h[1] for h in hits]
        return box[0] + (min(xs) + max(xs)) // 2, box[1] + (min(ys) + max(ys)) // 2

    def wait_for_icon(self, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            at = self.tray_icon()
            if at:
                return at
            time.sleep(0.5)
        return None

    def menu_open(self, before, after):
        """Whether a menu appeared above the taskbar's right end between two screenshots."""
        box = (WIDTH - 300, HEIGHT - 220, 300, 200)
        changed = sum(1 for a, b in zip(self.pixels(before, box), self.pixels(after, box)) if a != b)
        return changed > 2000

    def program_running(self):
        return self.program is not None and self.program.poll() is None


def folder_with_settings(pop3_port=1):
    folder = tempfile.mkdtemp(prefix="vdl-wine-")
    with open(os.path.join(folder, "Vendlume.ini"), "wb") as f:
        # A mailbox on a closed port: every cycle fails quietly.
        f.write(b"[POP3]\r\nHost=127.0.0.1\r\nPort=%d\r\n" % pop3_port)
    return folder


def remove(folder):
    shutil.rmtree(folder, ignore_errors=True)


def desktop_for(test, copy_program=False):
    """A started desktop for VDL_WINDOWS_PROGRAM (else the test is skipped) in a new folder with settings,
    the program copied there with copy_program; both go with the test."""
    exe = os.environ.get("VDL_WINDOWS_PROGRAM")
    if not exe:
        test.skipTest("VDL_WINDOWS_PROGRAM is not set: run through ctest of the Windows build")
    folder = folder_with_settings()
    test.addCleanup(remove, folder)
    desk = WineDesktop(shutil.copy(exe, folder) if copy_program else exe, folder)
    test.addCleanup(desk.stop)
    desk.start_x()
    return desk
