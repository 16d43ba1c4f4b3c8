"""tests/html/browser.py

Headless Chromium driven over its DevTools pipe (--remote-debugging-pipe: commands in on fd 3,
answers out on fd 4, each message a JSON text ended by a NUL byte), with the standard library
only. The tests load a report from disk, read its DOM with Runtime.evaluate and press keys with
Input.dispatchKeyEvent, as a person at the keyboard does.
"""

import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time

# Generous, for a loaded two-core machine: a page of the examples loads in well under a second.
ANSWER_TIMEOUT = 60.0
SKIP = 77  # the exit status ctest reads as "skipped"


def find_chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


class BrowserError(Exception):
    pass


class Browser:
    """One headless browser with one page; use it in a with statement."""

    def __init__(self, program, width=1200, height=900):
        self._profile = tempfile.mkdtemp(prefix="norvex-chromium-")
        # The browser reads fd 3 and writes fd 4. The pipe ends are first moved above both, so
        # that placing one cannot overwrite the other, and only the two placed ones are inherited.
        def above_four(descriptor):
            moved = fcntl.fcntl(descriptor, fcntl.F_DUPFD_CLOEXEC, 10)
            os.close(descriptor)
            return moved

        to_browser_read, self._to_browser = (above_four(end) for end in os.pipe())
        self._from_browser, from_browser_write = (above_four(end) for end in os.pipe())

        def place_pipes():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        self._process = subprocess.Popen(
            [program, "--headless", "--disable-gpu", "--no-sandbox", "--no-first-run",
             "--no-default-browser-check", "--disable-extensions", "--mute-audio",
             "--remote-debugging-pipe", "--user-data-dir=" + self._profile,
             "--window-size=%d,%d" % (width, height), "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=place_pipes, close_fds=False)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self._events = []
        self.session = None
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")

    def __enter__(self):
        return self

    def __exit__(self, *unused):
        self.close()

    def close(self):
        try:
            self.session = None
            self.call("Browser.close")
        except (BrowserError, OSError):
            pass
        try:
            self._process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self._process.kill()
            self._process.wait()
        for descriptor in (self._to_browser, self._from_browser):
            try:
                os.close(descriptor)
            except OSError:
                pass
        shutil.rmtree(self._profile, ignore_errors=True)

    def _send(self, message):
        data = json.dumps(message).encode() + b"\0"
        while data:
            written = os.write(self._to_browser, data)
            data = data[written:]

    def _receive(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise BrowserError("no answer from the browser in %.0f s" % ANSWER_TIMEOUT)
            chunk = os.read(self._from_browser, 65536)
            if not chunk:
                raise BrowserError("the browser closed its pipe")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None):
        """Sends one command (to the page once attached) and answers its result."""
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if self.session and not method.startswith(("Target.", "Browser.")):
            message["sessionId"] = self.session
        self._send(message)
        deadline = time.monotonic() + ANSWER_TIMEOUT
        while True:
            answer = self._receive(deadline)
            if answer.get("id") == self._next_id:
                if "error" in answer:
                    raise BrowserError("%s: %s" % (method, answer["error"]))
                return answer.get("result", {})
            if "method" in answer:
                self._events.append(answer)

    def wait_for(self, event):
        """Waits until the page sends event (already received ones count)."""
        deadline = time.monotonic() + ANSWER_TIMEOUT
        while True:
            for k, seen in enumerate(self._events):
                if seen.get("method") == event:
                    del self._events[: k + 1]
                    return seen.get("params", {})
            self._events.append(self._receive(deadline))

    def load(self, path, fragment="", script=True):
        """Opens a file from disk and waits for its load event; answers the time it took."""
        self.call("Emulation.setScriptExecutionDisabled", {"value": not script})
        self._events = []
        started = time.monotonic()
        url = "file://" + os.path.abspath(path) + fragment
        self.call("Page.navigate", {"url": url})
        self.wait_for("Page.loadEventFired")
        # The load event may come before the first frame is drawn, and until then sections
        # laid out on demand (content-visibility: auto) show no text to innerText. Without
        # the page's script no animation frame is ever handed to a script, so there is no
        # waiting for one.
        if script:
            self.call("Runtime.evaluate", {
                "expression": "new Promise(drawn => requestAnimationFrame("
                              "() => requestAnimationFrame(drawn)))",
                "awaitPromise": True})
        return time.monotonic() - started

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (JSON-like values only)."""
        result = self.call("Runtime.evaluate",
                           {"expression": expression, "returnByValue": True})
        if "exceptionDetails" in result:
            raise BrowserError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def press(self, key):
        """A real key press of one letter: down, the character, up."""
        code = "Key" + key.upper()
        virtual = ord(key.upper())
        self.call("Input.dispatchKeyEvent", {"type": "keyDown", "key": key, "code": code,
                                             "text": key, "windowsVirtualKeyCode": virtual})
        self.call("Input.dispatchKeyEvent", {"type": "keyUp", "key": key, "code": code,
                                             "windowsVirtualKeyCode": virtual})

    def console_messages(self):
        """Console and security messages the page produced so far."""
        return [event for event in self._events
                if event.get("method") in ("Runtime.consoleAPICalled", "Log.entryAdded")]


def screenshot(program, url, path, width, height):
    """A picture of the page as the command line takes it (--screenshot)."""
    profile = tempfile.mkdtemp(prefix="norvex-chromium-")
    try:
        subprocess.run([program, "--headless", "--disable-gpu", "--no-sandbox",
                        "--no-first-run", "--user-data-dir=" + profile, "--hide-scrollbars",
                        "--screenshot=" + path, "--window-size=%d,%d" % (width, height), url],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=False)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
