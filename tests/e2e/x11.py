"""Small X11 helpers for the end-to-end test: xdotool, xwininfo and xclip calls with bounded
waits, and closing a window the way a window manager does (WM_DELETE_WINDOW)."""

import ctypes
import os
import re
import subprocess
import time


class TestFailure(Exception):
    pass


def run(command, timeout=10, check=True):
    """Runs command and returns its stdout as text; raises TestFailure on error or time-out."""
    try:
        done = subprocess.run(command, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        raise TestFailure("timed out: %s" % " ".join(command))
    if check and done.returncode != 0:
        raise TestFailure("%s failed (%d): %s" % (" ".join(command), done.returncode,
                                                  done.stderr.decode(errors="replace")))
    return done.stdout.decode("utf-8", errors="replace")


def wait_until(what, probe, timeout=15.0, interval=0.05):
    """Calls probe until it returns something truthy and returns that; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TestFailure("gave up waiting for " + what)
        time.sleep(interval)


class XServer:
    """A private Xvfb on a display number it picks itself (-displayfd, so parallel runs never
    race for one), at most lifetime seconds long even if this process is killed."""

    def __init__(self, width=1280, height=1024, lifetime=300):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["timeout", str(lifetime), "Xvfb", "-displayfd", str(write_end), "-screen", "0",
             "%dx%dx24" % (width, height), "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as displayfd:
            number = displayfd.readline().strip()  # written once the server accepts clients
        if not number.isdigit():
            self.stop()
            raise TestFailure("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def visible_windows(pid):
    """Ids of the visible top-level windows of process pid."""
    out = run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], check=False)
    return [int(line) for line in out.split()]


def window_name(window):
    return run(["xdotool", "getwindowname", str(window)], check=False).strip()


def windows_named(pid, name):
    return [w for w in visible_windows(pid) if window_name(w) == name]


def geometry(window):
    """(x, y, width, height) of window's client area in root coordinates."""
    out = run(["xwininfo", "-id", str(window)])
    values = {}
    for key, label in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"),
                       ("width", "Width"), ("height", "Height")):
        match = re.search(r"^\s*%s:\s*(-?\d+)" % label, out, re.M)
        if not match:
            raise TestFailure("xwininfo gave no %s:\n%s" % (label, out))
        values[key] = int(match.group(1))
    return values["x"], values["y"], values["width"], values["height"]


def frame_extents(window):
    """(left, right, top, bottom) of the frame the window manager put around window."""
    out = run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False)
    match = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
    return tuple(int(value) for value in match.groups()) if match else None


def window_manager_running():
    out = run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
    return "window id" in out


def screen_size():
    out = run(["xwininfo", "-root"])
    width = int(re.search(r"^\s*Width:\s*(\d+)", out, re.M).group(1))
    height = int(re.search(r"^\s*Height:\s*(\d+)", out, re.M).group(1))
    return width, height


def click(window, x, y):
    """A left click at (x, y) of window's client area."""
    run(["xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1"])


def focus(window):
    run(["xdotool", "windowfocus", "--sync", str(window)])


def keys(*names):
    run(["xdotool", "key", "--delay", "20"] + list(names))


def type_text(text):
    run(["xdotool", "type", "--delay", "10", text], timeout=60)


def clipboard():
    return run(["xclip", "-o", "-selection", "clipboard"], check=False)


def screenshot(window, path):
    run(["import", "-window", str(window), path], timeout=30)


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def close_window(window):
    """Asks window to close, as a window manager's close button does (WM_DELETE_WINDOW)."""
    xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(_Event)]
    xlib.XFlush.argtypes = [ctypes.c_void_p]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = xlib.XOpenDisplay(None)
    if not display:
        raise TestFailure("cannot open the X display")
    try:
        event = _Event()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        if not xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
            raise TestFailure("XSendEvent failed")
        xlib.XFlush(display)
    finally:
        xlib.XCloseDisplay(display)
