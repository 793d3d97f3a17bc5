#!/usr/bin/python3
"""The desktop program on a real X display, driven as a person drives it.

Starts its own Xvfb on a free display, a window manager (openbox), an XEmbed notification area
(trayer), a session bus with the accessibility bus, and a loopback web server; runs harvestly
there; hovers and right-clicks its tray icon with xdotool, reads the tips and boxes over the
accessibility bus, and checks that the tray menu opens with its items greyed as they should be,
that its Stop stops a run, and that Esc keeps a run but quits an idle window. Everything it
started is ended at the end.

Usage: desktop_session.py PATH_TO_HARVESTLY [SCREENSHOT_FOLDER]
Exit status 0: passed; 1: failed; 77: a tool it needs is missing (bash scripts/setup.sh).
"""
import ctypes
import ctypes.util
import http.server
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

TOOLS = ["Xvfb", "openbox", "trayer", "xdotool", "dbus-daemon"]
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
# Generous limits for a loaded machine; the checks wait for events, these only bound the waits.
WAIT = 30.0


class Failure(Exception):
    pass


def wait_for(what, predicate, limit=WAIT):
    end = time.monotonic() + limit
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.05)
    raise Failure("gave up waiting for " + what)


class SlowSite(http.server.BaseHTTPRequestHandler):
    """/site/index.html trickles in until the test sets `stop`; /site/small.html is quick."""
    stop = threading.Event()

    def do_GET(self):
        if self.path == "/site/small.html":
            body = b"<html><body>small</body></html>"
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        if self.path != "/site/index.html":
            self.send_error(404)
            return
        self.send_response(200)
        # No length: the body ends when the connection closes, once the test lets it.
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        end = time.monotonic() + 120
        try:
            while not self.stop.is_set() and time.monotonic() < end:
                self.wfile.write(b"x" * 256)
                self.wfile.flush()
                time.sleep(0.02)
        except OSError:
            pass

    def log_message(self, *args):
        pass


class Session:
    def __init__(self, program, shots):
        self.program = program
        self.shots = shots
        self.shot_number = 0
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="harvestly-desktop-")
        self.env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "SESSION_MANAGER"):
            self.env.pop(name, None)
        runtime = os.path.join(self.tmp, "runtime")
        os.mkdir(runtime, 0o700)
        self.env.update({
            "HOME": self.tmp,
            "XDG_CONFIG_HOME": os.path.join(self.tmp, "config"),
            "XDG_RUNTIME_DIR": runtime,
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "NO_AT_BRIDGE": "0",
        })
        self.server = None
        self.app = None

    def start(self, argv, **kwargs):
        proc = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL, start_new_session=True,
                                **kwargs)
        self.procs.append(proc)
        return proc

    def run(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=WAIT).stdout

    def xdotool(self, *args):
        return self.run("xdotool", *args)

    def screenshot(self, name):
        if not self.shots or shutil.which("import") is None:
            return
        self.shot_number += 1
        path = os.path.join(self.shots, "%02d-%s.png" % (self.shot_number, name))
        subprocess.run(["import", "-window", "root", path], env=self.env, timeout=WAIT)

    # The desktop ------------------------------------------------------------------------------

    def start_desktop(self):
        read_end, write_end = os.pipe()
        self.start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                   pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            display = pipe.readline().strip()
        if not display:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + display

        bus = self.start(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.start([BUS_LAUNCHER, "--launch-immediately"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        self.wm_log = open(os.path.join(self.tmp, "openbox.log"), "w")
        # A window manager that dies while it starts is started once more; the checks that
        # follow are about the program, not about the desktop's own start-up.
        for attempt in (1, 2):
            wm = self.start(["openbox", "--sm-disable"], stdout=self.wm_log, stderr=self.wm_log)
            try:
                wait_for("the window manager", lambda: wm.poll() is not None or
                         "_NET_SUPPORTING_WM_CHECK" in self.run("xprop", "-root"))
            except Failure:
                if attempt == 2:
                    raise
            if wm.poll() is None:
                break
            if attempt == 2:
                raise Failure("the window manager did not start")
        self.start(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32",
                    "--SetDockType", "true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the notification area", self.tray_host_ready)

        # pyatspi finds the accessibility bus through the session bus named above.
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.env["DBUS_SESSION_BUS_ADDRESS"]
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        import pyatspi  # noqa: E402 (needs the bus address first)
        from gi.repository import Atspi
        # A window that has just closed may still be listed; asking it must not hang for the bus's
        # default 25 s.
        Atspi.set_timeout(2000, 15000)
        self.atspi = pyatspi

    def tray_host_ready(self):
        # A notification area owns the selection _NET_SYSTEM_TRAY_S0 of its screen.
        libx11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        libx11.XOpenDisplay.restype = ctypes.c_void_p
        libx11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        libx11.XInternAtom.restype = ctypes.c_ulong
        libx11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        libx11.XGetSelectionOwner.restype = ctypes.c_ulong
        libx11.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        libx11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        display = libx11.XOpenDisplay(self.env["DISPLAY"].encode())
        if not display:
            return False
        try:
            atom = libx11.XInternAtom(display, b"_NET_SYSTEM_TRAY_S0", 0)
            return libx11.XGetSelectionOwner(display, atom) != 0
        finally:
            libx11.XCloseDisplay(display)

    def start_site(self):
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), SlowSite)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return "http://127.0.0.1:%d" % self.server.server_address[1]

    def stop(self):
        SlowSite.stop.set()
        if self.server is not None:
            self.server.shutdown()
        for proc in reversed(self.procs):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        for proc in reversed(self.procs):
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # The program ------------------------------------------------------------------------------

    def start_program(self, *args):
        self.app = self.start([self.program, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = wait_for("the main window", lambda: self.visible_window("建造"))
        self.tray = wait_for("the tray icon", self.tray_window)

    def visible_window(self, name):
        found = self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid), "--name", name).split()
        return found[0] if found else None

    def tray_window(self):
        # The icon is a small window of the program's, embedded in the notification area.
        for window in self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid), "--name", "").split():
            geometry = self.geometry(window)
            if geometry and geometry[2] <= 64 and geometry[3] <= 64 and geometry[1] > 600:
                return window
        return None

    def geometry(self, window):
        values = {}
        for line in self.xdotool("getwindowgeometry", "--shell", window).splitlines():
            key, _, value = line.partition("=")
            values[key] = int(value) if value.lstrip("-").isdigit() else value
        if "X" not in values:
            return None
        return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]

    def accessible_app(self):
        desktop = self.atspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            if app is not None and app.name == "harvestly":
                return app
        return None

    def top_levels(self):
        app = self.accessible_app()
        if app is None:
            return []
        tops = []
        for index in range(app.childCount):
            try:
                top = app.getChildAtIndex(index)
                if top is not None and top.getRoleName():
                    tops.append(top)
            except Exception:  # a window gone meanwhile
                pass
        return tops

    def find(self, root, role, name=None):
        if root is None:
            return None
        if root.getRoleName() == role and (name is None or root.name == name):
            return root
        for index in range(root.childCount):
            found = self.find(root.getChildAtIndex(index), role, name)
            if found is not None:
                return found
        return None

    def tool_tip(self):
        for top in self.top_levels():
            if top.getRoleName() == "tool tip" and top.getState().contains(self.atspi.STATE_SHOWING):
                return top.name
        return None

    def dialog(self, title):
        for top in self.top_levels():
            if top.getRoleName() in ("dialog", "alert") and top.name == title:
                return top
        return None

    def label_texts(self, root):
        texts = []
        for index in range(root.childCount):
            child = root.getChildAtIndex(index)
            if child.getRoleName() == "label":
                texts.append(child.name)
            texts.extend(self.label_texts(child))
        return texts

    def main_dialog(self):
        for top in self.top_levels():
            if top.getRoleName() == "dialog" and "建造" in top.name:
                return top
        return None

    def click_control(self, role, name):
        control = wait_for(name, lambda: self.find(self.main_dialog(), role, name))
        extents = control.queryComponent().getExtents(self.atspi.DESKTOP_COORDS)
        self.xdotool("mousemove", str(extents.x + extents.width // 2), str(extents.y + extents.height // 2))
        self.xdotool("click", "1")

    def hover_tray(self):
        x, y, width, height = self.geometry(self.tray)
        # Leave first, so that the tip comes afresh.
        self.xdotool("mousemove", "10", "10")
        time.sleep(0.3)
        self.xdotool("mousemove", str(x + width // 2), str(y + height // 2))
        return x + width // 2, y + height // 2

    def open_tray_menu(self):
        before = set(self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid), "--name", "").split())
        self.hover_tray()
        self.xdotool("click", "3")

        def menu():
            now = set(self.xdotool("search", "--onlyvisible", "--pid", str(self.app.pid), "--name", "").split())
            for window in now - before:
                geometry = self.geometry(window)
                if geometry and geometry[3] > 40:
                    return window, geometry
            return None
        return wait_for("the tray menu", menu)

    def press(self, *keys):
        self.xdotool("key", "--clearmodifiers", *keys)

    def answer_box(self, title):
        box = wait_for("the box " + title, lambda: self.dialog(title))
        texts = self.label_texts(box)
        window = wait_for("the box's window", lambda: self.visible_window("^" + title + "$"))
        self.xdotool("windowactivate", "--sync", window)
        self.press("Return")
        wait_for("the box to close", lambda: self.dialog(title) is None)
        return texts


def check(condition, message):
    if not condition:
        raise Failure(message)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    missing = [tool for tool in TOOLS if shutil.which(tool) is None]
    if missing or not os.path.exists(BUS_LAUNCHER):
        print("skipped: missing %s; run bash scripts/setup.sh" % " ".join(missing or [BUS_LAUNCHER]))
        return 77
    session = Session(os.path.abspath(sys.argv[1]), sys.argv[2] if len(sys.argv) > 2 else None)
    try:
        session.start_desktop()
        site = session.start_site()
        destination = os.path.join(session.tmp, "mirror")
        session.start_program(site + "/site/index.html")
        wait_for("the window on the accessibility bus", session.main_dialog)
        version = session.main_dialog().name

        # Idle: the tip names the program; the menu offers only About.
        session.hover_tray()
        check(wait_for("the idle tip", session.tool_tip) == version, "idle tip")
        menu, geometry = session.open_tray_menu()
        session.screenshot("tray-menu-idle")
        # Down goes to the first enabled item: About, when Stealth, Skip and Stop are greyed.
        session.press("Down", "Return")
        about = wait_for("the About box", lambda: session.dialog("关于 Harvestly"))
        check(version in session.label_texts(about), "About box announces the version text")
        session.screenshot("about-box")
        session.answer_box("关于 Harvestly")
        # The mouse reaches the menu too: About is its last item.
        menu, (x, y, width, height) = session.open_tray_menu()
        session.xdotool("mousemove", str(x + width // 2), str(y + height - 10))
        session.xdotool("click", "1")
        session.answer_box("关于 Harvestly")

        # A run: the destination typed, Go clicked.
        session.xdotool("windowactivate", "--sync", session.window)
        session.click_control("text", "目标")
        session.xdotool("type", "--delay", "5", destination)
        session.click_control("push button", "连接")
        # The folder does not exist yet: the program asks, and Yes creates it.
        session.answer_box("Create directory")
        wait_for("the run to start", lambda: session.find(session.main_dialog(), "push button", "Stop"))
        session.hover_tray()
        check(wait_for("the working tip", lambda: session.tool_tip() == "Harvestly is working.", 10),
              "tip during a run")

        # Esc during the run: Exit is disabled, so nothing happens.
        session.xdotool("windowactivate", "--sync", session.window)
        session.press("Escape")
        time.sleep(1.0)
        check(session.app.poll() is None, "Esc during a run closed the program")
        check(session.visible_window("建造") is not None, "Esc during a run closed the window")
        check(session.find(session.main_dialog(), "push button", "Stop") is not None, "the run goes on")
        session.screenshot("running")

        # The tray menu's Stop, by its mnemonic, stops the run.
        session.open_tray_menu()
        session.screenshot("tray-menu-running")
        session.press("s")
        wait_for("the stop to be taken", lambda: session.find(session.main_dialog(), "push button", "Stop")
                 .getState().contains(session.atspi.STATE_ENABLED) is False)
        # A transfer under way is not interrupted: the file ends, then the run stops.
        SlowSite.stop.set()
        texts = session.answer_box("Stopped")
        check("User stop." in texts, "the stop's box says User stop., not %r" % texts)
        with open(os.path.join(destination, "error.log"), encoding="utf-8", errors="replace") as log:
            check("Processing stopped by user." in log.read(), "the log records the stop")

        # Idle again: Esc does what Exit does, and the program ends.
        session.xdotool("windowactivate", "--sync", session.window)
        started = time.monotonic()
        session.press("Escape")
        wait_for("the program to end", lambda: session.app.poll() is not None)
        print("idle quit after Esc: %.3f s" % (time.monotonic() - started))
        check(session.app.returncode == 0, "exit status %s" % session.app.returncode)
        print("desktop session: 1 passed, 0 failed")
        return 0
    except Failure as failure:
        session.screenshot("failure")
        print("FAILED: %s" % failure)
        for name in ("openbox.log",):
            path = os.path.join(session.tmp, name)
            if os.path.exists(path):
                print(name + ":", open(path).read())
        print("desktop session: 0 passed, 1 failed")
        return 1
    finally:
        session.stop()


if __name__ == "__main__":
    sys.exit(main())
