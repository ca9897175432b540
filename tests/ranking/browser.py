#!/usr/bin/env python3
"""Headless Chromium on the ranking page: types a pseudonym and a code into the form,
submits it, checks that the new row is marked on the page it lands on, and saves a
screenshot. Driven over the DevTools pipe (fds 3 and 4), standard library only.

usage: browser.py URL PSEUDO CODE SCREENSHOT.png"""
import base64
import json
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time


class Browser:
    def __init__(self):
        exe = shutil.which("chromium") or shutil.which("chromium-browser")
        if not exe:
            sys.exit("browser.py: chromium not found (scripts/install-deps installs it)")
        to_child, self.out = os.pipe()
        self.inp, from_child = os.pipe()
        self.profile = tempfile.mkdtemp(prefix="rk-chromium-")

        def wire():
            a, b = os.dup(to_child), os.dup(from_child)
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.proc = subprocess.Popen(
            [exe, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--no-first-run", "--remote-debugging-pipe", "--user-data-dir=" + self.profile,
             "about:blank"],
            preexec_fn=wire, close_fds=False,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_child)
        os.close(from_child)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.inp], [], [], left)[0]:
                raise TimeoutError("no answer from chromium")
            chunk = os.read(self.inp, 65536)
            if not chunk:
                raise RuntimeError("chromium closed the pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, timeout=30, **params):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params}
        if self.session and not method.startswith("Target."):
            message["sessionId"] = self.session
        os.write(self.out, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            m = self._read(deadline)
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise RuntimeError(f"{method}: {m['error']}")
                return m.get("result", {})
            self.events.append(m)

    def wait_event(self, method, timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            for i, m in enumerate(self.events):
                if m.get("method") == method:
                    del self.events[i]
                    return m
            self.events.append(self._read(deadline))

    def evaluate(self, expression):
        r = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return r.get("result", {}).get("value")

    def type_into(self, selector, text):
        self.evaluate(f"document.querySelector({json.dumps(selector)}).focus()")
        self.call("Input.insertText", text=text)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    url, pseudo, code, shot = sys.argv[1:]
    b = Browser()
    try:
        target = b.call("Target.createTarget", url="about:blank")["targetId"]
        b.session = b.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        b.call("Page.enable")
        b.call("Emulation.setDeviceMetricsOverride", width=900, height=640,
               deviceScaleFactor=1, mobile=False)
        b.call("Page.navigate", url=url)
        b.wait_event("Page.loadEventFired")
        b.type_into("input[name=pseudo]", pseudo)
        b.type_into("input[name=code]", code)
        b.evaluate("document.querySelector('button[type=submit]').click()")
        b.wait_event("Page.loadEventFired")
        marked = b.evaluate("(document.querySelector('tr.nouveau') || {}).textContent || ''")
        if pseudo not in marked:
            body = b.evaluate("document.body.innerText")
            sys.exit(f"browser.py: no marked row for {pseudo!r} after submitting; page:\n{body}")
        png = b.call("Page.captureScreenshot", format="png")["data"]
        with open(shot, "wb") as f:
            f.write(base64.b64decode(png))
    finally:
        b.close()


if __name__ == "__main__":
    main()
