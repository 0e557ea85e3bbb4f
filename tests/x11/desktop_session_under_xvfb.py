#!/usr/bin/env python3
"""Runs the app on a private Xvfb server (1920x1200) with openbox, a window
manager without compositing, over a plain coloured root window, and looks at
what the user would see.

  tag:   a link switches desktops; the switch tag's card is centred on the real
         screen and the pixels just outside it show the root colour (no black
         box). Started while the tag is up, xcompmgr makes the card
         translucent with its shadow; when it ends, the card is clipped again.
  hover: the session's pointer resting at the top edge (moved through XTest,
         so it reaches XInput2 like a mouse) shows the hover strip; moving
         away hides it.
  tray:  on a 1280x720 screen at scale 2 with a tray (trayer) along the top:
         the tray icon's tool tip, for a desktop named with 200 letters,
         lies inside the work area; over another program's window, the key
         the tray menu shows for the Quick Switcher, held past the key
         repeat delay, opens the switcher, which keeps the focus; a right
         click just after Escape closed it opens a menu that stays, a left
         click the popover.
  tips:  at scale 1, with the tray and another program holding the focus:
         the pointer comes to rest on the tray icon again and again, jumping
         onto the same spot or gliding there, and each time the tool tip
         shows inside the work area and goes when the pointer leaves; the
         other program keeps the focus.

Exits 77 (skipped) when Xvfb is not installed; every other missing tool is a
failure."""

import base64
import ctypes
import json
import subprocess
import sys
import time

from desktop_session import ROOT, RETURNING_USER, run_test, wait_until

WIDTH, HEIGHT = 1920, 1200
CARD = (23, 23, 28)  # the tag's fill, sRGB (0.09, 0.09, 0.11), opaque
CANVAS = (14, 17, 24)  # the hover strip's canvas, opaque


class Shot:
    """One screenshot of the root window, as rows of RGB bytes."""

    def __init__(self, env):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=env, check=True,
                              capture_output=True, timeout=30).stdout
        fields, offset = [], 0
        while len(fields) < 4:
            while data[offset:offset + 1].isspace():
                offset += 1
            end = offset
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[offset:end])
            offset = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ValueError("not an 8-bit PPM picture")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[offset + 1:]

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def rows_matching(self, colour, left, top, right, bottom, tolerance):
        """Per row of the region, one byte per pixel: 1 where the pixel is
        within tolerance of colour in every channel, else 0. Made with bytes
        operations rather than pixel by pixel, which takes a second a shot."""
        tables = [bytes(1 if abs(value - colour[c]) <= tolerance else 0 for value in range(256)) for c in range(3)]
        for y in range(top, bottom):
            row = self.pixels[(y * self.width + left) * 3:(y * self.width + right) * 3]
            mask = -1
            for c in range(3):
                mask &= int.from_bytes(row[c::3].translate(tables[c]), "big")
            yield y, mask.to_bytes(right - left, "big")

    def box_of(self, colour, left, top, right, bottom, tolerance):
        """The bounding box (left, top, right, bottom) of the pixels close to
        colour within the region, or None."""
        found = None
        for y, row in self.rows_matching(colour, left, top, right, bottom, tolerance):
            first = row.find(1)
            if first < 0:
                continue
            first, last = left + first, left + row.rfind(1)
            found = [first, y, last, y] if found is None else [min(found[0], first), found[1], max(found[2], last), y]
        return tuple(found) if found else None

    def count_not(self, colour, left, top, right, bottom):
        return sum(row.count(0) for _, row in self.rows_matching(colour, left, top, right, bottom, 0))


def compositor_owner(display):
    """Whether the selection _NET_WM_CM_S0 has an owner (a compositing manager runs)."""
    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XGetSelectionOwner.restype = ctypes.c_ulong
    xlib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    connection = xlib.XOpenDisplay((":%d" % display).encode())
    if not connection:
        return False
    try:
        return xlib.XGetSelectionOwner(connection, xlib.XInternAtom(connection, b"_NET_WM_CM_S0", 0)) != 0
    finally:
        xlib.XCloseDisplay(connection)


def check_tag(app, env, display, procs):
    subprocess.run([app, "tessaroom://switch/2"], env=env, check=True, timeout=30)

    # The card: the dark pixels in the middle of the screen, unchanged over two shots.
    def settled_card():
        first = Shot(env).box_of(CARD, 560, 400, 1360, 800, 6)
        if not first or first[2] - first[0] < 100:
            return None
        return first if Shot(env).box_of(CARD, 560, 400, 1360, 800, 6) == first else None

    left, top, right, bottom = wait_until(settled_card, "no switch tag came up")
    shot = Shot(env)
    cx, cy = (left + right) // 2, (top + bottom) // 2
    failures = []
    print("tag card: (%d, %d) to (%d, %d)" % (left, top, right, bottom))
    if abs(cx - WIDTH // 2) > 2 or abs(cy - HEIGHT // 2) > 2:
        failures.append("the card is centred at (%d, %d), not on the %dx%d screen's middle" % (cx, cy, WIDTH, HEIGHT))
    outside = {"above": (cx, top - 4), "below": (cx, bottom + 4), "left": (left - 4, cy), "right": (right + 4, cy),
               "top-left corner": (left, top), "top-right corner": (right, top),
               "bottom-left corner": (left, bottom), "bottom-right corner": (right, bottom),
               "in the panel's padding": (left - 40, top - 40)}
    for name, (x, y) in outside.items():
        if shot.at(x, y) != ROOT:
            failures.append("just outside the card (%s, %d,%d) shows %s, not the root colour %s"
                            % (name, x, y, shot.at(x, y), ROOT))
    inside = shot.at(cx, top + 4)
    if any(abs(inside[c] - CARD[c]) > 6 for c in range(3)):
        failures.append("inside the card (%d,%d) shows %s, not the card colour %s" % (cx, top + 4, inside, CARD))
    if failures:
        return failures

    # A compositing manager starts while the tag is up: the card shows its shadow.
    procs.append(subprocess.Popen(["xcompmgr"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    wait_until(lambda: compositor_owner(display), "xcompmgr never owned _NET_WM_CM_S0")
    below = (cx, bottom + 6)

    def shadowed():
        pixel = Shot(env).at(*below)
        return sum(pixel) < sum(ROOT) - 10

    try:
        wait_until(shadowed, "with xcompmgr the card never showed its shadow")
    except TimeoutError as error:
        return [str(error) + " (%s at %d,%d)" % (Shot(env).at(*below), below[0], below[1])]

    # It ends: the card is clipped again.
    compositor = procs.pop()
    compositor.terminate()
    compositor.wait(timeout=10)
    wait_until(lambda: not compositor_owner(display), "_NET_WM_CM_S0 kept its owner")

    def clipped():
        again = Shot(env)
        return all(again.at(x, y) == ROOT for x, y in [below] + list(outside.values()))

    try:
        wait_until(clipped, "after xcompmgr ended the card was not clipped again")
    except TimeoutError as error:
        return [str(error)]
    return []


def check_hover(env):
    # Rest the pointer at the top edge's middle through a relative XTest move
    # (a warp would reach no input device).
    subprocess.run(["xdotool", "mousemove", str(WIDTH // 2), "40"], env=env, check=True, timeout=30)
    subprocess.run(["xdotool", "mousemove_relative", "--", "0", "-40"], env=env, check=True, timeout=30)
    region = (WIDTH // 2 - 300, 0, WIDTH // 2 + 300, 140)
    try:
        wait_until(lambda: Shot(env).box_of(CANVAS, *region, 3), "the hover strip never showed at the top edge")
    except TimeoutError as error:
        return [str(error)]
    box = Shot(env).box_of(CANVAS, *region, 3)
    print("hover strip: (%d, %d) to (%d, %d)" % box)
    failures = []
    if abs((box[0] + box[2]) // 2 - WIDTH // 2) > 3:
        failures.append("the strip is not centred on the real screen: %s" % (box,))
    subprocess.run(["xdotool", "mousemove_relative", "--", "0", "500"], env=env, check=True, timeout=30)
    try:
        wait_until(lambda: Shot(env).count_not(ROOT, *region) == 0, "the strip stayed after the pointer left")
    except TimeoutError as error:
        failures.append(str(error))
    return failures


class TraySession:
    """The tray, another program holding the focus and the app, whose first
    desktop has a 200-letter name; small windows of the app are its tray
    icon, large ones its tool tip, menus and panels."""

    def __init__(self, app, session):
        self.session = session
        session.start_tray()
        self.other = session.start_other_program()
        meta = {"1": {"name": "abcdefghij" * 20, "icon": "", "color": -1, "seconds": 0}}
        session.start_app(app, dict(RETURNING_USER, **{
            "Tessaroom.meta.v2": {"data": base64.b64encode(json.dumps(meta).encode()).decode()}}))
        self.icon = wait_until(lambda: next(iter(self.small().values()), None), "the tray never showed the icon")
        self.x, self.y = self.icon[0] + self.icon[2] // 2, self.icon[1] + self.icon[3] // 2

    def small(self):
        return {w: g for w, g in self.session.app_windows().items() if g[2] < 100}

    def large(self):
        return {w: g for w, g in self.session.app_windows().items() if g[2] >= 100}

    def tip_shows(self, *moves):
        """Moves the pointer onto the icon with these xdotool moves, lets it
        rest until the tool tip shows, then leaves; answers the failures."""
        self.session.run("xdotool", *moves)
        tip = wait_until(lambda: next(iter(self.large().values()), None),
                         "resting on the tray icon (%s) showed no tool tip" % " ".join(moves))
        area, failures = self.session.work_area(), []
        left, top, width, height = tip
        if left < area[0] or top < area[1] or left + width > area[0] + area[2] or top + height > area[1] + area[3]:
            failures.append("the tool tip %s leaves the work area %s" % (tip, area))
        self.session.run("xdotool", "mousemove", "300", "400")
        wait_until(lambda: not self.large(), "the tool tip stayed after the pointer left")
        return failures


def check_tips(app, session):
    tray = TraySession(app, session)
    x, y = str(tray.x), str(tray.y)
    # Jumps onto one spot, where Qt, which never saw the pointer leave it,
    # takes the pointer for unmoved; glides that end there.
    jump = ("mousemove", x, y)
    glide = ("mousemove", str(tray.x - 60), y, "mousemove_relative", "20", "0", "mousemove_relative", "20", "0",
             "mousemove_relative", "20", "0")
    failures = []
    for moves in (jump, jump, glide, jump):
        failures += tray.tip_shows(*moves)
        focus = session.run("xdotool", "getwindowfocus").decode().strip()
        if focus != tray.other:
            failures.append("after a hover the focus is in %s, not in the other program %s" % (focus, tray.other))
    return failures


def check_tray(app, session):
    tray = TraySession(app, session)
    other, x, y, large = tray.other, tray.x, tray.y, tray.large
    # The pointer comes to rest on the icon.
    failures = tray.tip_shows("mousemove", str(x - 2), str(y), "mousemove_relative", "2", "0")

    session.run("xdotool", "windowactivate", "--sync", other)
    session.run("xdotool", "mousemove", str(x), str(y), "click", "3")
    wait_until(lambda: large(), "a right click on the tray icon opened no menu")
    # Held past the delay, the key repeats: the repeats must not close it again.
    session.run("xdotool", "keydown", "ctrl", "alt", "space")
    time.sleep(1.0)
    session.run("xdotool", "keyup", "space", "alt", "ctrl")
    switcher = lambda: [w for w, g in large().items() if g[2] == int(460 * session.scale)]
    try:
        wait_until(switcher, "no switcher was open after the menu's Quick Switcher key")
        time.sleep(1.0)
        focus = session.run("xdotool", "getwindowfocus").decode().strip()
        if not switcher() or focus not in switcher():
            failures.append("a second after the key the switcher is %s and the focus in %s"
                            % ("open" if switcher() else "closed", focus))
    except TimeoutError as error:
        failures.append(str(error))

    # A click just after the switcher closes, while the app is still losing
    # the focus, opens what it opens for good: the menu, then the popover.
    opened = lambda: large() and not switcher()
    focused = lambda: switcher() and session.run("xdotool", "getwindowfocus").decode().strip() in switcher()
    for button, what in (("3", "menu"), ("1", "popover")):
        session.run("xdotool", "key", "Escape", "sleep", "0.05", "mousemove", str(x), str(y), "click", button)
        try:
            wait_until(opened, "a click just after the switcher closed opened no " + what, step=0.01)
            time.sleep(0.5)
            if not opened():
                failures.append("the %s a click opened just after the switcher closed closed by itself" % what)
            if button == "3":
                session.run("xdotool", "key", "ctrl+alt+space")
                wait_until(focused, "the menu's key gave the switcher no focus")
        except TimeoutError as error:
            failures.append(str(error))
            break
    return failures


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in ("tag", "hover", "tray", "tips"):
        print("usage: desktop_session_under_xvfb.py <path to tessaroom> tag|hover|tray|tips")
        return 2
    app, mode = sys.argv[1], sys.argv[2]
    if mode == "tray":
        return run_test(1280, 720, 2, lambda session, failures: failures.extend(check_tray(app, session)),
                        tools=["trayer", "xmessage"])
    if mode == "tips":
        return run_test(WIDTH, HEIGHT, 1, lambda session, failures: failures.extend(check_tips(app, session)),
                        tools=["trayer", "xmessage"])

    def test(session, failures):
        # A tag that stays up while the test looks at it.
        session.start_app(app, dict(RETURNING_USER, hudDuration={"double": "120"}))
        if mode == "tag":
            failures += check_tag(app, session.env, session.display, session.procs)
        else:
            failures += check_hover(session.env)

    return run_test(WIDTH, HEIGHT, 1, test)


if __name__ == "__main__":
    sys.exit(main())
