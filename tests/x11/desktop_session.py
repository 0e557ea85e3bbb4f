"""The app on a private desktop session: Xvfb (on a display it picks itself),
openbox, a plain coloured root window and a fresh home folder."""

import json
import os
import shutil
import subprocess
import tempfile
import time

import xvfb_server

SKIP = 77
ROOT = (46, 139, 87)  # xsetroot -solid "#2e8b57"
# Generous: the machine may be busy building.
WAIT = 30.0
TOOLS = ["openbox", "xsetroot", "xprop", "import", "xcompmgr", "xdotool", "xwininfo"]


def wait_until(condition, what, timeout=WAIT, step=0.05):
    """Polls condition until it answers something true; raises after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        answer = condition()
        if answer:
            return answer
        if time.monotonic() > deadline:
            raise TimeoutError(what)
        time.sleep(step)


class Session:
    """Start with start(); end with stop(), which ends every process it started.
    env is the environment of the session's clients."""

    def __init__(self, width, height, scale=1):
        self.width, self.height, self.scale = width, height, scale
        self.work = tempfile.mkdtemp(prefix="tessaroom-session-")
        self.procs = []
        self.display = None
        home = os.path.join(self.work, "home")
        self.home = home
        self.env = dict(os.environ)
        self.env.update({"QT_QPA_PLATFORM": "xcb", "HOME": home,
                         "XDG_CONFIG_HOME": os.path.join(home, ".config"),
                         "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
                         "XDG_STATE_HOME": os.path.join(home, ".local", "state"),
                         "XDG_CACHE_HOME": os.path.join(home, ".cache"),
                         "XDG_RUNTIME_DIR": os.path.join(self.work, "runtime")})
        self.env.pop("TESSAROOM_SIM_WORLD", None)
        self.env.pop("QT_SCALE_FACTOR", None)
        if scale != 1:
            self.env["QT_SCALE_FACTOR"] = str(scale)

    @staticmethod
    def missing(tools=()):
        """Why the session cannot run: "skip" without Xvfb, a failure text
        for another missing tool (TOOLS and tools), else None."""
        if not shutil.which("Xvfb"):
            return "skip"
        absent = [tool for tool in TOOLS + list(tools) if not shutil.which(tool)]
        if absent:
            return "missing %s (scripts/install-deps.sh installs them)" % ", ".join(absent)
        return None

    def start(self):
        """Xvfb and openbox over the root colour; raises on failure."""
        server, self.display = xvfb_server.start(shutil.which("Xvfb"), "%dx%dx24" % (self.width, self.height), WAIT)
        self.procs.append(server)
        if self.display is None:
            raise TimeoutError("Xvfb did not start (status %s)" % server.poll())
        self.env["DISPLAY"] = ":%d" % self.display
        log = open(os.path.join(self.work, "openbox.log"), "w")
        wm = subprocess.Popen(["openbox"], env=self.env, stdout=log, stderr=subprocess.STDOUT)
        self.procs.append(wm)
        wait_until(lambda: wm.poll() is not None or b"window id" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], env=self.env, capture_output=True).stdout,
            "openbox did not start", timeout=60)
        if wm.poll() is not None:
            with open(os.path.join(self.work, "openbox.log")) as f:
                raise TimeoutError("openbox ended with status %d: %s" % (wm.returncode, f.read()[-2000:]))
        subprocess.run(["xsetroot", "-solid", "#%02x%02x%02x" % ROOT], env=self.env, check=True, timeout=30)

    def start_tray(self):
        """A tray along the top edge (trayer); returns once it has reserved
        its strip of the screen."""
        height = str(int(24 * self.scale))
        log_path = os.path.join(self.work, "trayer.log")
        with open(log_path, "w") as log:
            tray = subprocess.Popen(
                ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", height,
                 "--SetDockType", "true", "--SetPartialStrut", "true"],
                env=self.env, stdout=log, stderr=subprocess.STDOUT)
        self.procs.append(tray)

        def reserved():
            values = self.run("xprop", "-root", "_NET_WORKAREA", check=False).decode().partition("=")[2].split(",")
            return len(values) > 1 and int(values[1]) > 0
        try:
            wait_until(reserved, "trayer never reserved its strip")
        except TimeoutError:
            with open(log_path) as log:
                said = log.read()[-1000:]
            raise TimeoutError("trayer never reserved its strip (trayer %s; work area %s; it said: %r)" % (
                "ended with status %s" % tray.poll() if tray.poll() is not None else "runs",
                self.run("xprop", "-root", "_NET_WORKAREA", check=False).decode().strip(), said))

    def start_other_program(self):
        """Another program's window (xmessage), holding the focus."""
        self.procs.append(subprocess.Popen(["xmessage", "-geometry", "+40+200", "another program"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        window = wait_until(lambda: self.run("xdotool", "search", "--onlyvisible", "--class", "xmessage",
                                             check=False).split(), "xmessage never showed")[0].decode()
        self.run("xdotool", "windowactivate", "--sync", window)
        return window

    def start_app(self, app, preferences):
        """The app with these stored preferences ({key: {"bool": true}, ...}),
        up once it listens on its link socket; answers its process."""
        os.makedirs(os.path.join(self.home, ".config", "tessaroom"), exist_ok=True)
        os.makedirs(self.env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        with open(os.path.join(self.home, ".config", "tessaroom", "app.tessaroom.json"), "w") as f:
            json.dump(preferences, f)
        log = open(os.path.join(self.work, "app.log"), "w")
        process = subprocess.Popen([app], env=self.env, stdout=log, stderr=subprocess.STDOUT)
        self.procs.append(process)
        socket = os.path.join(self.env["XDG_RUNTIME_DIR"], "tessaroom", "links")
        wait_until(lambda: os.path.exists(socket) or process.poll() is not None,
                   "the app never opened its link socket")
        if process.poll() is not None:
            raise TimeoutError("the app ended with status %d" % process.returncode)
        return process

    def run(self, *command, check=True):
        """A client command on the session; answers its standard output."""
        return subprocess.run(list(command), env=self.env, check=check, capture_output=True, timeout=30).stdout

    def app_windows(self):
        """The app's visible windows, tray icon and menus included: {id: (x,
        y, width, height)} of each client area."""
        found = {}
        # No match is status 1.
        for line in self.run("xdotool", "search", "--onlyvisible", "--class", "tessaroom", check=False).split():
            info = self.run("xwininfo", "-id", line.decode(), check=False).decode()
            value = {}
            for row in info.splitlines():
                name, _, number = row.strip().partition(":")
                if name in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                    value[name] = int(number)
            if len(value) == 4:
                found[line.decode()] = (value["Absolute upper-left X"], value["Absolute upper-left Y"],
                                        value["Width"], value["Height"])
        return found

    def work_area(self):
        values = self.run("xprop", "-root", "_NET_WORKAREA").decode().split("=")[1].split(",")
        return tuple(int(part) for part in values[:4])

    def stop(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                xvfb_server.stop(proc)
        if os.environ.get("TESSAROOM_KEEP_CAPTURE"):
            print("files kept in " + self.work)
        else:
            shutil.rmtree(self.work, ignore_errors=True)


# A returning user: no welcome window, no first-launch toast.
RETURNING_USER = {"onboardingDismissed": {"bool": True}, "autoEnabledShortcuts": {"bool": True}}


def run_test(width, height, scale, test, tools=()):
    """Runs test(session, failures) on a fresh session, which it then ends,
    and prints the failures. Answers the exit status: 77 (skipped) without
    Xvfb, 1 after a failure (a missing tool, of TOOLS or tools, or a timeout
    included), else 0."""
    missing = Session.missing(tools)
    if missing == "skip":
        print("Xvfb is not installed: skipped")
        return SKIP
    failures = [missing] if missing else []
    session = Session(width, height, scale)
    try:
        if not failures:
            session.start()
            test(session, failures)
    except TimeoutError as error:
        failures.append(str(error))
    finally:
        session.stop()
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0
