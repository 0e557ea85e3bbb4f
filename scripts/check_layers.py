#!/usr/bin/env python3
"""Checks that every file under src/ includes only what its layer may use.

Each folder under src/ is one library; a file may include its own folder and
the folders its library links (directly or through those). The machine the
app runs on, the simulation (platform/sim/) and this machine's pieces that
feed it (platform/linux/, which may use the simulation but not the other way
round), is included only by the app's start-up (src/main.cpp); tests,
benches and tools live outside src/ and are not checked. Qt Widgets headers
are for src/ui and the folders above it (and the machine). The simulation
includes nothing that reaches a real session (processes, the tray, sockets,
the X server) and calls none of the toolkit's questions to the real window
system (the pointer, the screens, frame margins, window moves, the window
under a point): that is platform/linux's, behind sim/SessionHooks.h.

Usage: check_layers.py SRC_DIR [--widgets-headers DIR[;DIR...]]
Prints one line per broken rule, naming the file, the include and the rule,
and exits 1; exits 0 when every include is allowed.
"""

import argparse
import os
import re
import sys

# What each library links directly; keep in step with CMakeLists.txt and the
# picture in docs/architecture.md.
LINKS = {
    "platform": [],
    "platform/sim": ["platform"],
    "platform/linux": ["platform/sim"],
    "store": ["platform"],
    "engine": ["store"],
    "switching": ["engine"],
    "ui": ["switching"],
    "update": ["store"],
    "missioncontrol": ["ui"],
    "surfaces": ["ui"],
    "menubar": ["ui", "update"],
    "settings": ["ui", "update", "surfaces"],
    "debug": ["menubar", "surfaces", "missioncontrol", "settings", "update"],
    "app": ["debug"],
}

# Folders that may not see Qt Widgets.
NO_WIDGETS = {"platform", "store", "engine", "switching"}

# The app's start-up: everything, the machine included.
STARTUP = "main.cpp"

# The machine behind the public platform headers; product code never sees it.
MACHINE = {"platform/sim", "platform/linux"}

# What only the real session's pieces may include: the simulation needs no
# other process, socket, tray or X server.
SIM = "platform/sim"
SIM_FORBIDDEN = {"QProcess", "QSystemTrayIcon", "QDesktopServices", "QLocalSocket", "QLocalServer",
                 "QCursor", "QScreen", "sys/socket.h", "sys/un.h"}
SIM_FORBIDDEN_PREFIXES = ("xcb/", "X11/")
# The toolkit's calls that ask the real window system, refused in the
# simulation wherever they appear outside comments.
SIM_FORBIDDEN_CALLS = re.compile(r"(QCursor::pos|\btopLevelAt\(|(?:->|\.)startSystem(?:Move|Resize)\("
                                 r"|(?:->|\.)frameMargins\(\)|\bscreenAt\(|(?:->|\.)availableGeometry\(\)"
                                 r"|QGuiApplication::screens|QGuiApplication::primaryScreen)")


def real_session_only(name):
    base = name.split("/", 1)[1] if name.startswith("Qt") and "/" in name else name
    return base in SIM_FORBIDDEN or name.startswith(SIM_FORBIDDEN_PREFIXES)


INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def allowed(folder):
    seen = set()
    stack = [folder]
    while stack:
        current = stack.pop()
        if current in seen:
            continue
        seen.add(current)
        stack.extend(LINKS[current])
    return seen


def folder_of(src, path):
    """The library folder a file under src belongs to, or None for start-up."""
    relative = os.path.relpath(os.path.dirname(path), src).replace(os.sep, "/")
    return None if relative == "." else relative


def resolve(src, including, name):
    """The file under src an include names, or None (Qt, std, generated)."""
    for base in (os.path.dirname(including), src):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(candidate) and os.path.commonpath([candidate, src]) == src:
            return candidate
    return None


def widgets_headers(dirs):
    names = set()
    for directory in dirs:
        if not directory or not os.path.isdir(directory):
            continue
        if os.path.basename(directory.rstrip("/")) != "QtWidgets":
            continue
        for entry in os.listdir(directory):
            names.add(entry)
            names.add("QtWidgets/" + entry)
    names.add("QtWidgets")
    return names


def check(src, widgets):
    problems = []
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for file in sorted(files):
            if not file.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, file)
            shown = os.path.relpath(path, os.path.dirname(src))
            folder = folder_of(src, path)
            if folder is None:
                if file != STARTUP:
                    problems.append(f"{shown}: only {STARTUP} sits at the top of src/; "
                                    f"move it into a library folder")
                continue
            if folder not in LINKS:
                problems.append(f"{shown}: folder src/{folder}/ is no library; give it its own line "
                                f"in CMakeLists.txt and in the layer table of scripts/check_layers.py")
                continue
            may_use = allowed(folder)
            with open(path, encoding="utf-8", errors="replace") as text:
                for number, line in enumerate(text, 1):
                    if folder == SIM:
                        call = SIM_FORBIDDEN_CALLS.search(line.split("//", 1)[0])
                        if call:
                            problems.append(f"{shown}:{number}: {call.group(1)}: src/{SIM} may not ask the real window "
                                            f"system; platform/linux answers through the hooks in sim/SessionHooks.h")
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    name = match.group(2)
                    close = ">" if match.group(1) == "<" else '"'
                    where = f"{shown}:{number}: #include {match.group(1)}{name}{close}"
                    if folder in NO_WIDGETS and name in widgets:
                        problems.append(f"{where}: src/{folder} may not use Qt Widgets "
                                        f"(Widgets start at src/ui)")
                        continue
                    if folder == SIM and real_session_only(name):
                        problems.append(f"{where}: src/{SIM} stays free of real-session code; "
                                        f"this belongs in src/platform/linux")
                        continue
                    target = resolve(src, path, name)
                    if target is None:
                        continue
                    used = folder_of(src, target)
                    if used is None:
                        problems.append(f"{where}: product code may not include the app's start-up")
                    elif used in MACHINE and folder not in MACHINE:
                        problems.append(f"{where}: product code may not include the machine "
                                        f"(src/{used}/); call the public platform headers")
                    elif used not in may_use:
                        problems.append(f"{where}: src/{folder} may not include src/{used} "
                                        f"(it may use: {', '.join(sorted(may_use))})")
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("src")
    parser.add_argument("--widgets-headers", default="")
    arguments = parser.parse_args()
    src = os.path.realpath(arguments.src)
    widgets = widgets_headers(arguments.widgets_headers.split(";"))
    problems = check(src, widgets)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} line(s) break the layers (see docs/architecture.md)")
        return 1
    print("every include follows the layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
