#!/usr/bin/env python3
"""Opens a kov-batch report in headless Chromium and checks what a person
would: that the page asks for nothing outside itself and logs no error.

Usage: scripts/check-report.py REPORT.html [OUT_PREFIX]

Talks to Chromium over its DevTools pipe (--remote-debugging-pipe), so it
needs nothing but Python and the Debian package chromium. It lists every
request the page makes (the page itself is the only one allowed), every
console message, JavaScript exception and browser log entry of level error,
and writes OUT_PREFIX-1280.png (1280 px wide), OUT_PREFIX-section.png (the
first record's section at that width), OUT_PREFIX-phone.png (390 px, a phone)
OUT_PREFIX-comparison.png (the comparison of the records, when the page has
one) and OUT_PREFIX.pdf (printed on A4), giving the number of PDF pages.
It also checks that the comparison comes before the records' sections and
that every link of the page resolves: to an element of the page, or to a
record's page beside it (a long call's NAME-records/ folder) and an element
of that page.
Exit status 0 when the page is self-contained, silent and its links
resolve, 1 otherwise.
Not part of the test suite: the suite does not depend on a browser.
"""
import base64
import json
import os
import re
import urllib.parse
import shutil
import subprocess
import sys
import tempfile
import time


class DevTools:
    def __init__(self, chromium, profile):
        to_child_r, self.to_child = os.pipe()
        self.from_child, from_child_w = os.pipe()

        def pipes():  # Chromium reads commands on fd 3 and answers on fd 4
            os.dup2(to_child_r, 3)
            os.dup2(from_child_w, 4)
            os.set_inheritable(3, True)  # dup2 onto itself keeps close-on-exec
            os.set_inheritable(4, True)

        self.proc = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile, "about:blank"],
            preexec_fn=pipes, close_fds=False, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_child_r)
        os.close(from_child_w)
        self.next_id = 0
        self.buffer = b""
        self.events = []

    def _read(self):
        while b"\0" not in self.buffer:
            chunk = os.read(self.from_child, 1 << 16)
            if not chunk:
                raise RuntimeError("chromium closed its DevTools pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_child, json.dumps(message).encode() + b"\0")
        while True:
            m = self._read()
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise RuntimeError("%s: %s" % (method, m["error"]))
                return m.get("result", {})
            self.events.append(m)

    def wait_for(self, method, seconds):
        deadline = time.time() + seconds
        while time.time() < deadline:
            for i, m in enumerate(self.events):
                if m.get("method") == method:
                    return self.events.pop(i)
            self.events.append(self._read())
        raise RuntimeError("no %s within %s s" % (method, seconds))

    def close(self):
        try:
            self.call("Browser.close")
        except Exception:
            pass
        self.proc.wait(timeout=30)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    page = os.path.abspath(sys.argv[1])
    prefix = sys.argv[2] if len(sys.argv) > 2 else os.path.splitext(page)[0]
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        sys.exit("check-report: chromium is not installed (apt-get install chromium)")
    url = "file://" + page
    with tempfile.TemporaryDirectory() as profile:
        tools = DevTools(chromium, profile)
        try:
            target = tools.call("Target.createTarget", {"url": "about:blank"})["targetId"]
            session = tools.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
            for domain in ("Page", "Network", "Runtime", "Log"):
                tools.call(domain + ".enable", session=session)
            tools.call("Emulation.setDeviceMetricsOverride",
                       {"width": 1280, "height": 900, "deviceScaleFactor": 1, "mobile": False}, session)
            tools.call("Page.navigate", {"url": url}, session)
            tools.wait_for("Page.loadEventFired", 60)
            time.sleep(1.0)  # anything the page would fetch late

            def shot(name, width, mobile):
                tools.call("Emulation.setDeviceMetricsOverride",
                           {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": mobile}, session)
                height = tools.call("Runtime.evaluate", {"expression": "document.documentElement.scrollHeight",
                                                         "returnByValue": True}, session)["result"]["value"]
                data = tools.call("Page.captureScreenshot",
                                  {"format": "png", "captureBeyondViewport": True,
                                   "clip": {"x": 0, "y": 0, "width": width, "height": min(height, 16000),
                                            "scale": 1}}, session)["data"]
                with open(name, "wb") as f:
                    f.write(base64.b64decode(data))
                overflow = tools.call("Runtime.evaluate", {
                    "expression": "document.documentElement.scrollWidth > document.documentElement.clientWidth",
                    "returnByValue": True}, session)["result"]["value"]
                print("%s: %d x %d px%s" % (name, width, height, ", the page scrolls sideways" if overflow else ""))
                return not overflow

            wide = shot(prefix + "-1280.png", 1280, False)
            def evaluate(expression):
                return tools.call("Runtime.evaluate", {"expression": expression, "returnByValue": True},
                                  session)["result"].get("value")

            def element_shot(selector, name, what):
                box = evaluate("""(() => {
                    const r = document.querySelector('%s');
                    if (!r) return null;
                    const b = r.getBoundingClientRect();
                    return {x: b.left + scrollX, y: b.top + scrollY, width: b.width, height: b.height}; })()"""
                               % selector)
                if not box:
                    return
                margin = 12
                clip = {"x": max(box["x"] - margin, 0), "y": max(box["y"] - margin, 0),
                        "width": box["width"] + 2 * margin, "height": box["height"] + 2 * margin, "scale": 1}
                data = tools.call("Page.captureScreenshot", {"format": "png", "captureBeyondViewport": True,
                                                             "clip": clip}, session)["data"]
                with open(name, "wb") as f:
                    f.write(base64.b64decode(data))
                print("%s: %s" % (name, what))

            # The first record's section alone, as the README shows one.
            element_shot("section.record", prefix + "-section.png", "the first record's section")
            element_shot("#comparison", prefix + "-comparison.png", "the comparison")
            order = evaluate("""(() => {
                const c = document.getElementById('comparison'), r = document.querySelector('section.record');
                if (!c || !r) return 'none';
                return c.compareDocumentPosition(r) & Node.DOCUMENT_POSITION_FOLLOWING ? 'first' : 'after'; })()""")
            links = evaluate("[...document.querySelectorAll('a[href]')].map(a => a.getAttribute('href'))") or []
            narrow = shot(prefix + "-phone.png", 390, True)
            pdf = tools.call("Page.printToPDF", {"preferCSSPageSize": True, "printBackground": True}, session)["data"]
            pdf = base64.b64decode(pdf)
            with open(prefix + ".pdf", "wb") as f:
                f.write(pdf)
            print("%s.pdf: %d pages" % (prefix, pdf.count(b"/Type /Page") - pdf.count(b"/Type /Pages")))
            events = tools.events
        finally:
            tools.close()

    requests = [e["params"]["request"]["url"] for e in events if e.get("method") == "Network.requestWillBeSent"]
    outside = [u for u in requests if u != url]
    problems = []
    for e in events:
        m, p = e.get("method"), e.get("params", {})
        if m == "Runtime.consoleAPICalled":
            problems.append("console.%s: %s" % (p["type"], " ".join(str(a.get("value", a)) for a in p["args"])))
        elif m == "Runtime.exceptionThrown":
            problems.append("exception: %s" % p["exceptionDetails"].get("text"))
        elif m == "Log.entryAdded" and p["entry"]["level"] in ("error", "warning"):
            problems.append("log %s: %s" % (p["entry"]["level"], p["entry"]["text"]))
        elif m == "Network.loadingFailed":
            problems.append("failed load: %s" % p.get("errorText"))
    print("requests: %d (%s)" % (len(requests), ", ".join(requests)))
    for u in outside:
        print("REQUEST LEAVING THE PAGE: " + u)
    for p in problems:
        print("CONSOLE: " + p)
    if order == "after":
        problems.append("the comparison comes after a record's section")
    ids = {}

    def has_id(path, fragment):
        if path not in ids:
            try:
                with open(path, encoding="utf-8", errors="replace") as f:
                    ids[path] = set(re.findall(r'\bid="([^"]*)"', f.read()))
            except OSError:
                ids[path] = None
        return ids[path] is not None and (not fragment or fragment in ids[path])

    broken = 0
    for href in links:
        target, _, fragment = href.partition("#")
        path = page if not target else os.path.join(os.path.dirname(page), urllib.parse.unquote(target))
        if not has_id(path, urllib.parse.unquote(fragment)):
            broken += 1
            if broken <= 10:
                problems.append("link does not resolve: " + href)
    print("links: %d, %d resolve" % (len(links), len(links) - broken))
    ok = not outside and not problems and wide and narrow
    print("self-contained and silent" if ok else "PROBLEMS FOUND")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
