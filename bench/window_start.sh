#!/usr/bin/env bash
# Starts the program RUNS times on a private Xvfb and reports how long each start took until
# its main window was mapped (goal: 0.2 s). Nothing else runs; no service is needed.
#   bench/window_start.sh [PROGRAM] [RUNS]
# PROGRAM defaults to the default preset's build, RUNS to 20.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/default/src/platform/linux/gui/quorvel}
runs=${2:-20}
[[ -x $program ]] || { echo "no program at $program (build it first)" >&2; exit 1; }

exec python3 - "$program" "$runs" <<'PYTHON'
import ctypes, os, select, signal, statistics, subprocess, sys, time

program, runs = sys.argv[1], int(sys.argv[2])

# A private X server on a display number it picks itself, gone after 10 minutes at most.
read_end, write_end = os.pipe()
server = subprocess.Popen(["timeout", "600", "Xvfb", "-displayfd", str(write_end), "-screen",
                           "0", "1280x1024x24", "-nolisten", "tcp"], pass_fds=(write_end,),
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
os.close(write_end)
display_name = ":" + os.fdopen(read_end).readline().strip()

xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
for name in ("XDefaultRootWindow", "XConnectionNumber", "XPending", "XFlush"):
    getattr(xlib, name).argtypes = [ctypes.c_void_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
xlib.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
display = xlib.XOpenDisplay(display_name.encode())
xlib.XSelectInput(display, xlib.XDefaultRootWindow(display), 1 << 19)  # SubstructureNotify
xlib.XFlush(display)
connection = xlib.XConnectionNumber(display)
event = ctypes.create_string_buffer(192)


def wait_for_map(deadline):
    """Seconds on the monotonic clock when a top-level window was mapped; None on time-out."""
    while True:
        while xlib.XPending(display):
            xlib.XNextEvent(display, event)
            if ctypes.c_int.from_buffer(event).value == 19:  # MapNotify
                return time.monotonic()
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        select.select([connection], [], [], left)


env = dict(os.environ, DISPLAY=display_name, QT_QPA_PLATFORM="xcb")
env.pop("WAYLAND_DISPLAY", None)
times = []
try:
    for run in range(runs):
        started = time.monotonic()
        child = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        mapped = wait_for_map(started + 10)
        child.send_signal(signal.SIGTERM)
        child.wait(10)
        if mapped is None:
            sys.exit("run %d: no window within 10 s" % (run + 1))
        times.append(mapped - started)
finally:
    server.terminate()
    server.wait()

print("window mapped after start, %d runs: min %.3f s, median %.3f s, max %.3f s "
      "(goal 0.200 s)" % (runs, min(times), statistics.median(times), max(times)))
PYTHON
