#!/usr/bin/env python3
"""The app's own windows on a private desktop session (Xvfb, openbox), driven
with the pointer and keys through XTest:

  drag:  a quick click on the settings window's background, then pointer
         motion, leaves the window where it is; pressing, moving and releasing
         drags it, and it opens again where it was left.
  fit WIDTHxHEIGHT SCALE: the settings window, also one remembered almost off
         screen, opens within the screen's work area, title bar included,
         and so does the desktop editor of its first header tile.
  keys:  a new user's welcome window takes Ctrl+, (settings opens), the
         settings window Ctrl+W (it closes), and Ctrl+Q quits with status 0.
  editor: the desktop editor of a header tile, with the emoji palette it
         opened, goes with the settings window closed by its close box, by
         Ctrl+W or by Ctrl+Q, and the name typed in it is kept.

Exits 77 (skipped) when Xvfb is not installed; every other missing tool is a
failure."""

import base64
import json
import os
import subprocess
import sys

from desktop_session import RETURNING_USER, run_test, wait_until

SETTINGS_KEY = "NSWindow Frame Tessaroom.settings.v3"


def windows(session):
    """The app's visible ordinary windows: {id: (x, y, width, height)} of
    each client area, tray icons left out."""
    return {window: shape for window, shape in session.app_windows().items() if shape[2] > 200}


def frame_of(session, window, client):
    """The window's whole frame, title bar and border included."""
    extents = session.run("xprop", "-id", window, "_NET_FRAME_EXTENTS").decode()
    left, right, top, bottom = [int(part) for part in extents.split("=")[1].split(",")]
    x, y, width, height = client
    return (x - left, y - top, width + left + right, height + top + bottom), top


def open_settings(session, app):
    """Opens settings; answers its window and client area once the window
    manager has framed it and it stays put."""
    session.run(app, "tessaroom://settings")
    window, _ = wait_until(lambda: next(iter(windows(session).items()), None), "the settings window never showed")

    last = None

    # Framed, and where the previous poll saw it.
    def settled():
        nonlocal last
        now = windows(session).get(window)
        framed = b"=" in session.run("xprop", "-id", window, "_NET_FRAME_EXTENTS", check=False)
        previous, last = last, now
        return (window, now) if framed and now and now == previous else None
    return wait_until(settled, "the settings window never settled")


def key(session, combination):
    session.run("xdotool", "key", combination)


def check_drag(session, app, failures):
    window, start = open_settings(session, app)
    x, y, width, _ = start
    # The header band's empty middle.
    spot = (x + width // 2, y + 60)
    session.run("xdotool", "mousemove", str(spot[0]), str(spot[1]), "click", "1")
    for step in range(1, 6):
        session.run("xdotool", "mousemove", str(spot[0] - 40 * step), str(spot[1] + 30 * step))
    after = windows(session).get(window)
    if after != start:
        failures.append("a click on the background, then pointer motion, moved the window from %s to %s"
                        % (start, after))
    # A drag moves it, by about as far as the pointer went once it took hold.
    session.run("xdotool", "mousemove", str(spot[0]), str(spot[1]), "mousedown", "1")
    for step in range(1, 9):
        session.run("xdotool", "mousemove", str(spot[0] - 10 * step), str(spot[1] + 10 * step))
    session.run("xdotool", "mouseup", "1")
    moved = wait_until(lambda: (lambda g: g if g and g[:2] != start[:2] else None)(windows(session).get(window)),
                       "a drag by the background did not move the window", timeout=10)
    if not (start[0] - 90 <= moved[0] <= start[0] - 40 and start[1] + 40 <= moved[1] <= start[1] + 90):
        failures.append("the drag moved the window from %s to %s, not about 80 points left and down"
                        % (start, moved))
    # Reopened, it comes back where it was left.
    key(session, "ctrl+w")
    wait_until(lambda: not windows(session), "Ctrl+W did not close the settings window")
    _, again = open_settings(session, app)
    if again[:2] != moved[:2]:
        failures.append("reopened at %s, not where it was left, %s" % (again, moved))


def check_fit(session, app, where, scale, failures):
    window, _ = open_settings(session, app)
    area = session.work_area()
    # The title bar's size comes once the window is on screen; the window
    # settles after that.
    def fits():
        current = windows(session).get(window)
        frame, top = frame_of(session, window, current)
        inside = (frame[0] >= area[0] and frame[1] >= area[1] and frame[0] + frame[2] <= area[0] + area[2]
                  and frame[1] + frame[3] <= area[1] + area[3])
        return (frame, top) if inside and top > 0 else None
    try:
        frame, top = wait_until(fits, "never fitted", timeout=10)
        print("%s: frame %s, title bar %d, work area %s" % (where, frame, top, area))
        check_editor(session, window, windows(session)[window], scale, area, where, failures)
    except TimeoutError:
        current = windows(session).get(window)
        failures.append("%s: the frame %s (title bar %d) leaves the work area %s"
                        % ((where,) + frame_of(session, window, current) + (area,)))


def check_editor(session, window, client, scale, area, where, failures):
    """Clicks the first header tile; its editor must lie within the work area."""
    x, y = client[0] + int(scale * 56.5), client[1] + int(scale * 121)
    session.run("xdotool", "mousemove", str(x), str(y), "click", "1")
    editor = wait_until(lambda: next((g for w, g in windows(session).items() if w != window), None),
                        "%s: the first header tile opened no editor" % where)
    inside = (editor[0] >= area[0] and editor[1] >= area[1] and editor[0] + editor[2] <= area[0] + area[2]
              and editor[1] + editor[3] <= area[1] + area[3])
    if not inside:
        failures.append("%s: the editor %s leaves the work area %s" % (where, editor, area))
    else:
        print("%s: editor %s" % (where, (editor,)))


def check_keys(session, process, failures):
    welcome = wait_until(lambda: next(iter(windows(session)), None), "the welcome window never showed")
    key(session, "ctrl+comma")
    settings, _ = wait_until(lambda: next(((w, g) for w, g in windows(session).items() if w != welcome), None),
                             "Ctrl+, in the welcome window did not open settings")
    key(session, "ctrl+w")
    wait_until(lambda: settings not in windows(session), "Ctrl+W did not close the settings window")
    if welcome not in windows(session):
        failures.append("Ctrl+W in the settings window closed the welcome window too")
    session.run("xdotool", "windowactivate", "--sync", welcome)
    key(session, "ctrl+q")
    try:
        status = process.wait(timeout=30)
        if status != 0:
            failures.append("Ctrl+Q ended the app with status %d" % status)
    except subprocess.TimeoutExpired:
        failures.append("Ctrl+Q did not quit the app")


def stored_names(session):
    """The desktop names in the names store as written to disk."""
    try:
        with open(os.path.join(session.home, ".config", "tessaroom", "app.tessaroom.json")) as f:
            data = json.load(f)["Tessaroom.meta.v2"]["data"]
        return [entry.get("name") for entry in json.loads(base64.b64decode(data)).values()]
    except (OSError, KeyError, ValueError):
        return []


def check_editor_goes(session, app, process, failures):
    for number, way in enumerate(["close box", "ctrl+w", "ctrl+q"]):
        window, client = open_settings(session, app)
        # The second header tile opens its editor; the editor's emoji button
        # opens the palette.
        session.run("xdotool", "mousemove", str(client[0] + 122), str(client[1] + 121), "click", "1")
        editor = wait_until(lambda: next((g for w, g in windows(session).items() if w != window), None),
                            "the header tile opened no editor")
        name = "Kept%d" % number
        key(session, "ctrl+a")
        session.run("xdotool", "type", name)
        session.run("xdotool", "mousemove", str(editor[0] + 285), str(editor[1] + 183), "click", "1")
        wait_until(lambda: len(windows(session)) == 3, "the emoji button opened no palette")
        frame, top = frame_of(session, window, client)
        if way == "close box":
            session.run("xdotool", "mousemove", str(frame[0] + frame[2] - 12), str(frame[1] + top // 2), "click", "1")
        else:
            # The title bar gives the settings window the keys; the editor stays.
            session.run("xdotool", "mousemove", str(frame[0] + frame[2] // 3), str(frame[1] + top // 2), "click", "1")
            key(session, way)
        try:
            if way == "ctrl+q":
                status = process.wait(timeout=30)
                if status != 0:
                    failures.append("Ctrl+Q with the editor open ended the app with status %d" % status)
            else:
                wait_until(lambda: not windows(session), "closed by %s, settings left %s on screen"
                           % (way, windows(session)), timeout=10)
            wait_until(lambda: name in stored_names(session), "the name typed before %s was not kept" % way,
                       timeout=10)
        except (TimeoutError, subprocess.TimeoutExpired) as error:
            failures.append(str(error))


def main():
    modes = {"drag": 3, "fit": 5, "keys": 3, "editor": 3}
    if len(sys.argv) < 3 or modes.get(sys.argv[2]) != len(sys.argv):
        print("usage: windows_under_xvfb.py <path to tessaroom> drag | fit WIDTHxHEIGHT SCALE | keys | editor")
        return 2
    app, mode = sys.argv[1], sys.argv[2]
    size, scale = (sys.argv[3], sys.argv[4]) if mode == "fit" else ("1920x1200", "1")
    width, height = [int(part) for part in size.split("x")]

    def test(session, failures):
        if mode == "keys":
            process = session.start_app(app, {"autoEnabledShortcuts": {"bool": True}})
            check_keys(session, process, failures)
        elif mode == "editor":
            check_editor_goes(session, app, session.start_app(app, RETURNING_USER), failures)
        elif mode == "fit":
            # Left almost off screen in an earlier run.
            session.start_app(app, dict(RETURNING_USER, **{SETTINGS_KEY: {"string": "1529 -486 880 640"}}))
            check_fit(session, app, "%s at scale %s" % (size, scale), float(scale), failures)
        else:
            session.start_app(app, RETURNING_USER)
            check_drag(session, app, failures)

    return run_test(width, height, float(scale), test)


if __name__ == "__main__":
    sys.exit(main())
