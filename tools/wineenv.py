"""The Wine side of the end-to-end tests: display, throwaway prefix, UI driver, started programs."""
import glob
import os
import select
import shutil
import socket
import subprocess
import sys
import tempfile
import time

WINE = "/usr/lib/wine/wine64"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.environ.get("VEXTOR_BUILD", os.path.join(ROOT, "build", "x86_64"))
# Pictures the demos take are kept here, for the user to open after the demo.
SCREENSHOTS = os.path.join(ROOT, "screenshots")


def wait_for(condition, timeout=10.0, what="condition", interval=0.02):
    """Polls until condition() is truthy; fails the test with `what` after the deadline."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(interval)


def free_port():
    """A TCP port that no socket of this machine holds at the moment, on any address. The bridge
    listens on every interface, so a port that a client bound to 127.0.0.2 still holds (closed, and
    waiting out its time) would refuse it, though it is free on 127.0.0.1. Nothing listens on the
    probe: it is bound and closed."""
    with socket.socket() as s:
        s.bind(("", 0))
        return s.getsockname()[1]


def hexed(text):
    return text.encode("cp1250").hex() or "-"


def unhexed(text):
    return b"" if text == "-" else bytes.fromhex(text)


class WineSession:
    """One X display and one Wine prefix for the whole test run."""

    def __init__(self, own_display=False):
        self.base = tempfile.mkdtemp(prefix="vextor-wine-")
        self.prefix = os.path.join(self.base, "prefix")
        self.xvfb = None
        self.env = dict(os.environ)
        self.env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", LC_ALL="pl_PL.UTF-8",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        if own_display or not os.environ.get("DISPLAY"):
            self._start_xvfb()
        subprocess.run([WINE, "wineboot", "-i"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=180)

    def _start_xvfb(self):
        # Xvfb picks a free display itself and writes its number once it serves: a lock file in
        # this /tmp does not see a display taken by a server in another root or container.
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                     pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read, "rb") as pipe:
            ready, _, _ = select.select([pipe], [], [], 30)
            number = pipe.readline().strip() if ready else b""
        if not number.isdigit():
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()

    def start(self, exe, cwd, extra_env=None):
        env = dict(self.env)
        env.update(extra_env or {})
        return subprocess.Popen([WINE, exe], cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)

    def screenshot(self, path, rect=None, title=None):
        """Saves what the screen shows as a PNG, trimmed to the windows or cut to rect (left, top, right,
        bottom), or the one window of that title as drawn (a window Wine gives a visual with an alpha
        channel shows black in a picture of the whole screen); the path, or None with a warning."""
        tool = imagemagick()
        if not tool:
            print("warning: no screenshot, ImageMagick's convert was not found", file=sys.stderr)
            return None
        try:
            os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
            which = ["-id", self._window_id(title)] if title else ["-root"]
            dump = subprocess.run(["xwd", *which, "-display", self.env["DISPLAY"]], capture_output=True, check=True,
                                  timeout=60)
            if rect and not title:
                left, top, right, bottom = rect
                cut = ["-crop", f"{right - left}x{bottom - top}+{left}+{top}"]
            else:
                cut = ["-trim"]
            subprocess.run([tool, "xwd:-", *cut, "+repage", path], input=dump.stdout, capture_output=True,
                           check=True, timeout=60)
            return os.path.abspath(path)
        except (OSError, subprocess.SubprocessError) as error:
            print(f"warning: no screenshot ({error})", file=sys.stderr)
            return None

    def _window_id(self, title):
        """The X window of that title; xwd's own look-up by name misses titles outside ASCII."""
        tree = subprocess.run(["xwininfo", "-root", "-tree", "-display", self.env["DISPLAY"]], capture_output=True,
                              check=True, timeout=60).stdout
        wanted = b' "' + title.encode("utf-8") + b'":'
        for line in tree.splitlines():
            if wanted in line:
                return line.split()[0].decode()
        raise OSError(f"no window titled {title}")

    def close(self):
        subprocess.run([os.path.join(os.path.dirname(WINE), "wineserver"), "-k"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(10)
        shutil.rmtree(self.base, ignore_errors=True)


def hold_new_session(session):
    """A restart of the Windows: the server and every process end, and the next Wine program starts
    the services again. Also what a new prefix needs before services are tested: its first session
    can be left with two service managers answering in turn. The server is then held, since
    service processes do not keep it alive."""
    server = os.path.join(os.path.dirname(WINE), "wineserver")
    subprocess.run([server, "-k"], env=session.env, timeout=60)
    subprocess.run([server, "-w"], env=session.env, timeout=60)
    subprocess.run([server, "-p"], env=session.env, check=True, timeout=60)


def imagemagick():
    """ImageMagick's convert, or None: a program named convert first on PATH may be another tool."""
    candidates = [shutil.which("magick")]
    candidates += [os.path.join(folder, "convert") for folder in os.environ.get("PATH", "").split(os.pathsep) if folder]
    candidates += ["/usr/bin/convert"] + sorted(glob.glob("/usr/bin/convert-im*"))
    seen = set()
    for path in candidates:
        if not path or path in seen or not os.access(path, os.X_OK):
            continue
        seen.add(path)
        try:
            answer = subprocess.run([path, "-version"], capture_output=True, text=True, timeout=20).stdout
        except (OSError, subprocess.SubprocessError):
            continue
        if "ImageMagick" in answer:
            return path
    return None


class UiDriver:
    """Talks to tools/uidriver.exe: one command line in, one answer line out."""

    def __init__(self, session):
        self.proc = subprocess.Popen([WINE, os.path.join(BUILD, "uidriver.exe")], env=session.env,
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, bufsize=1)

    def ask(self, *words):
        self.proc.stdin.write(" ".join(str(w) for w in words) + "\n")
        self.proc.stdin.flush()
        answer = self.proc.stdout.readline().strip()
        if not answer:
            raise RuntimeError("UI driver ended")
        return answer

    def ok(self, *words):
        answer = self.ask(*words)
        if not answer.startswith("ok"):
            raise AssertionError(f"{words[0]}: {answer}")
        return answer.split()[1:]

    def close(self):
        try:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.flush()
            self.proc.wait(10)
        except Exception:
            self.proc.kill()

    # Windows and controls
    def find(self, title, timeout_ms=10000):
        answer = self.ask("find", hexed(title), timeout_ms)
        return answer.split()[1] if answer.startswith("ok") else None

    def message_box(self, timeout_ms=10000):
        """(hwnd, caption, text) of a visible message box, or None."""
        answer = self.ask("msgbox", timeout_ms)
        if not answer.startswith("ok"):
            return None
        hwnd, caption, text = answer.split()[1:4]
        return hwnd, unhexed(caption).decode("cp1250"), unhexed(text).decode("cp1250")

    def text(self, hwnd, control):
        return unhexed(self.ok("gettext", hwnd, control)[0]).decode("cp1250")

    def set_text(self, hwnd, control, text):
        self.ok("settext", hwnd, control, hexed(text))

    def click(self, hwnd, control):
        """A click handled to its end; False when it fell on a disabled or hidden control."""
        return self.ok("click", hwnd, control) != ["ignored"]

    def post_click(self, hwnd, control):
        """A click for a handler that opens a modal box: returns at once."""
        return self.ok("postclick", hwnd, control) != ["ignored"]

    def enabled(self, hwnd, control):
        return self.ok("enabled", hwnd, control)[0] == "1"

    def checked(self, hwnd, control):
        return int(self.ok("checked", hwnd, control)[0])

    def selection(self, hwnd, control):
        return int(self.ok("getsel", hwnd, control)[0])

    def item_text(self, hwnd, control, index):
        return unhexed(self.ok("itemtext", hwnd, control, index)[0]).decode("cp1250")

    def select(self, hwnd, control, index):
        self.ok("select", hwnd, control, index)

    def key(self, hwnd, control, vk):
        self.ok("key", hwnd, control, vk)

    def control_visible(self, hwnd, control):
        return self.ok("ctlvisible", hwnd, control)[0] == "1"

    def find_with_control(self, control, timeout_ms=10000):
        """A visible dialog holding the control: for windows without a title."""
        answer = self.ask("findctl", control, timeout_ms)
        return answer.split()[1] if answer.startswith("ok") else None

    def visible(self, hwnd):
        return self.ok("visible", hwnd)[0] == "1"

    def rect(self, hwnd):
        """The window's rectangle on the screen: left, top, right, bottom."""
        return tuple(int(n) for n in self.ok("rect", hwnd))

    def focus(self, hwnd):
        control, start, end = self.ok("focus", hwnd)
        return int(control), int(start), int(end)

    def post(self, hwnd, msg, wparam=0, lparam=0):
        self.ok("post", hwnd, msg, wparam, lparam)

    def send(self, hwnd, msg, wparam=0, lparam=0):
        return int(self.ok("send", hwnd, msg, wparam, lparam)[0])

    def responds(self, hwnd, timeout_ms=2000):
        return self.ask("responds", hwnd, timeout_ms) == "ok"

    # Named pipes, as a reader or a squatter would see them.
    def pipe_sddl(self, name):
        """The pipe's access list as SDDL, read back through a reader's handle."""
        return unhexed(self.ok("pipesddl", hexed(name))[0]).decode("ascii")

    def canonical_sddl(self, text):
        """The text through the system's own parser and back, as a read-back would print it."""
        return unhexed(self.ok("sddl", hexed(text))[0]).decode("ascii")

    def hold_pipe(self, name):
        """A reader that never reads."""
        return int(self.ok("pipehold", hexed(name))[0])

    def peek_pipe(self, reader):
        """Bytes waiting for a held reader; None once its server dropped it."""
        answer = self.ok("pipepeek", reader)[0]
        return None if answer == "broken" else int(answer)

    def squat_pipe(self, name, frame):
        """Makes the pipe's name first, with one instance that tells every client `frame`."""
        return int(self.ok("pipesquat", hexed(name), frame.hex() or "-")[0])

    def release_pipe(self, reader):
        self.ok("piperelease", reader)

    def start_limited(self, exe, folder):
        """Starts a Windows program as a user who is not an administrator; its Windows process id."""
        return int(self.ok("startlimited", hexed(exe), hexed(folder))[0])

    def end_process(self, pid):
        self.ok("endprocess", pid)

    def control_service(self, name, code):
        """A control code sent to a service (Wine's sc has no "control"); the error's number, 0 when taken."""
        answer = self.ask("svccontrol", hexed(name), code)
        return 0 if answer == "ok" else int(answer.split()[1])

    def tray_icon_exists(self, hwnd, icon_id):
        return self.ok("trayexists", hwnd, icon_id)[0] == "1"

    def forget_tray_icon(self, hwnd, icon_id):
        """Removes the icon from the shell as a restarting shell loses it; True when it was there."""
        return self.ok("traydelete", hwnd, icon_id)[0] == "1"

    def registered_message(self, name):
        return int(self.ok("register", hexed(name))[0])

    def foreground(self):
        return self.ok("foreground")[0]

    # Registry of the current user; a path that begins with "HKLM\\" is the machine's
    def registry(self, path):
        """{name: (type, bytes)} of the key's values, or None when the key is missing."""
        answer = self.ask("regdump", hexed(path))
        if answer == "err nokey":
            return None
        values = {}
        for item in answer.split()[1:]:
            name, kind, data = item.split(":")
            values[unhexed(name).decode("cp1250")] = (int(kind), unhexed(data))
        return values

    def set_value(self, path, name, kind, data):
        self.ok("regset", hexed(path), hexed(name), kind, data.hex() or "-")

    def delete_key(self, path):
        self.ok("regdeltree", hexed(path))

    def delete_value(self, path, name):
        self.ok("regdelvalue", hexed(path), hexed(name))

    def handles(self, hwnd):
        """The kernel handles the window's process holds."""
        return int(self.ok("handles", hwnd)[0])

    def draw_frames(self):
        """Wine draws the windows' frames and title bars itself, for a display with no window manager.
        Takes effect for programs started afterwards."""
        self.set_value("Software\\Wine\\X11 Driver", "Decorated", 1, b"N\0")
