#!/usr/bin/env python3
"""Runs "--sample --capture DIR" of the app against a private Xvfb server and
checks every picture it says it wrote: the file exists, decodes as PNG and has
the size the line gives. Exits 77 (skipped) when Xvfb is not installed."""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

import xvfb_server

SKIP = 77
TIME_LIMIT = 90.0
SETTINGS_PAGES = ["spaces", "missionControl", "switchTag", "spaceHover", "shortcuts", "timeTracking", "general",
                  "about"]
# Files every run writes. Of the own-window steps, those whose surface always
# shows write at least "<step>_1.png"; the notch label, the Mission Control
# demo and the right-click menu depend on the screen and the session.
FIXED_FILES = ["menubar.png", "switcher.png", "onboarding.png", "mission_control_labels.png"] + [
    "settings_%s.png" % page for page in SETTINGS_PAGES]
OWN_WINDOW_STEPS = ["hud", "hover", "popover", "popover_edit"]
# Windows whose size is fixed, in points: the settings window and the welcome
# window. The pictures hold them at the screen's whole-number scale.
POINT_SIZES = dict([("onboarding.png", (500, 560))] + [
    ("settings_%s%s.png" % (page, end), (880, 640)) for page in SETTINGS_PAGES for end in ("", "_end")])


def png_size(path):
    """The width and height of a PNG whose chunks all check out, else None."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    offset, size, seen_end, pixels = 8, None, False, b""
    while offset + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[offset:offset + 8])
        body = data[offset + 8:offset + 8 + length]
        crc = data[offset + 8 + length:offset + 12 + length]
        if len(body) != length or len(crc) != 4 or struct.unpack(">I", crc)[0] != zlib.crc32(kind + body):
            return None
        if kind == b"IHDR":
            size = struct.unpack(">II", body[:8])
        elif kind == b"IDAT":
            pixels += body
        elif kind == b"IEND":
            seen_end = True
            break
        offset += 12 + length
    if not seen_end or size is None:
        return None
    try:
        zlib.decompress(pixels)
    except zlib.error:
        return None
    return size


def main():
    if len(sys.argv) != 2:
        print("usage: capture_under_xvfb.py <path to tessaroom>")
        return 2
    app = sys.argv[1]
    xvfb = shutil.which("Xvfb")
    if not xvfb:
        print("Xvfb is not installed: skipped")
        return SKIP
    work = tempfile.mkdtemp(prefix="tessaroom-x11-")
    deadline = time.monotonic() + TIME_LIMIT
    server, display = xvfb_server.start(xvfb, "1512x982x24", TIME_LIMIT)
    try:
        if display is None:
            print("Xvfb did not start (status %s)" % server.poll())
            return 1
        folder = os.path.join(work, "shots")
        env = dict(os.environ)
        env.update({"DISPLAY": ":%d" % display, "QT_QPA_PLATFORM": "xcb", "HOME": os.path.join(work, "home"),
                    "XDG_CONFIG_HOME": os.path.join(work, "home", ".config"),
                    "XDG_DATA_HOME": os.path.join(work, "home", ".local", "share"),
                    "XDG_STATE_HOME": os.path.join(work, "home", ".local", "state"),
                    "XDG_CACHE_HOME": os.path.join(work, "home", ".cache"),
                    "XDG_RUNTIME_DIR": os.path.join(work, "runtime")})
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        try:
            run = subprocess.run([app, "--sample", "--capture", folder], env=env, capture_output=True, text=True,
                                 timeout=max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            print("the capture did not end within %d s" % TIME_LIMIT)
            return 1
        lines = run.stdout.splitlines()
        print(run.stdout, end="")
        failures = []
        if run.returncode != 0:
            failures.append("exit status %d (stderr: %s)" % (run.returncode, run.stderr.strip()[-2000:]))
        if not lines or lines[-1] != "capture complete":
            failures.append("the last line is not \"capture complete\"")
        written = {}
        pattern = re.compile(r"^wrote (.+) \((\d+)x(\d+)\)$")
        for line in lines[:-1] if lines and lines[-1] == "capture complete" else lines:
            match = pattern.match(line)
            if not match:
                failures.append("unexpected line: %s" % line)
                continue
            written[match.group(1)] = (int(match.group(2)), int(match.group(3)))
        names = {os.path.basename(path) for path in written}
        for name in FIXED_FILES:
            if name not in names:
                failures.append("no line for %s" % name)
        for step in OWN_WINDOW_STEPS:
            if step + "_1.png" not in names:
                failures.append("no window written for the %s step" % step)
        for path, size in sorted(written.items()):
            if os.path.dirname(path) != folder:
                failures.append("%s is outside %s" % (path, folder))
            if not os.path.isfile(path):
                failures.append("%s does not exist" % path)
                continue
            real = png_size(path)
            if real is None:
                failures.append("%s does not decode as PNG" % path)
            elif real != size:
                failures.append("%s is %dx%d, the line says %dx%d" % (path, real[0], real[1], size[0], size[1]))
            points = POINT_SIZES.get(os.path.basename(path))
            if real is not None and points is not None:
                scale = real[0] // points[0]
                if scale < 1 or real != (points[0] * scale, points[1] * scale):
                    failures.append("%s is %dx%d, not %dx%d points at a whole scale" % (
                        path, real[0], real[1], points[0], points[1]))
        on_disk = set(os.listdir(folder)) if os.path.isdir(folder) else set()
        if on_disk != names:
            failures.append("files without a line: %s" % sorted(on_disk - names))
        for failure in failures:
            print("FAIL: " + failure)
        return 1 if failures else 0
    finally:
        xvfb_server.stop(server)
        if os.environ.get("TESSAROOM_KEEP_CAPTURE"):
            print("pictures kept in " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
