"""A private Xvfb server on a display number the server picks itself, so
tests that run at the same time never share one."""

import os
import select
import signal
import subprocess
import time


def start(xvfb, size, timeout):
    """Starts Xvfb with one screen of size ("WIDTHxHEIGHTxDEPTH"). Answers
    (process, display number), or (process, None) when it did not come up
    within timeout seconds."""
    read_end, write_end = os.pipe()
    # -noreset: a server that resets when its last client leaves refuses the
    # next one for a moment (a window manager starting while a probe ends).
    process = subprocess.Popen([xvfb, "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp",
                                "-noreset"],
                               pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    answer = b""
    deadline = time.monotonic() + timeout
    try:
        # The server writes its display number and a newline once it listens.
        while not answer.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                return process, None
            chunk = os.read(read_end, 16)
            if not chunk:
                return process, None
            answer += chunk
    finally:
        os.close(read_end)
    return process, int(answer.strip())


def stop(process):
    """Ends a process the test started (the server or a client): asked to
    terminate, SIGKILL after 10 s. Popen signals only its own child and never
    one it has reaped, so no other process can be reached."""
    process.terminate()
    try:
        process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        process.send_signal(signal.SIGKILL)
        process.wait()
