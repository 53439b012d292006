#!/usr/bin/python3
"""The HTML report in a real browser.

Runs mva with --format html on the fixtures, opens each page in headless
Chromium (driven over its DevTools pipe, standard library only) and checks
through the DOM that the page loads without a console
error, that every table and every picture is there, visible, of non-zero size
and inside the page, that each picture stands beside its table (below it only
when the two do not fit side by side), that no label of a picture overlaps its
plot area or leaves the picture, and that header rows stick and numbers are
right-aligned.

Usage: report_in_browser.py MVA SOURCE_DIR OUT_DIR. Exits 77 (skipped) when
Chromium is not installed.
"""
import fcntl
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
TIME_LIMIT = 100  # seconds for the whole browser part

CASES = [
    # name, arguments, pictures expected (None: one at least)
    # An example script: every picture, ten variables, species as row labels.
    ("mammalsleep", ["--data", "examples/mammalsleep.csv", "examples/mammalsleep.mva"], 6),
    # Weighted, in split groups, with a dictionary: pictures per group, and
    # the per-case pattern table's picture.
    ("weighted_split",
     ["--data", "tests/fixtures/mva/weighted_split.csv", "--dict", "tests/fixtures/mva/weighted_split.dict.json",
      "-e", "MVA a b c d /TTEST PROB PERCENT=1 /MISMATCH PERCENT=1 /TPATTERN PERCENT=1 /DPATTERN /EM."],
     None),
]

CHECKS = r"""
(() => {
  const problems = [];
  const page = document.documentElement.scrollWidth;
  const box = (e) => e.getBoundingClientRect();
  const shown = (e) => {
    const s = getComputedStyle(e);
    return s.display !== 'none' && s.visibility === 'visible' && Number(s.opacity) > 0;
  };
  const inPage = (r) => r.width > 0 && r.height > 0 && r.left >= -0.5 && r.right <= page + 0.5 && r.top + scrollY >= -0.5;
  const overlap = (a, b) => Math.min(a.right, b.right) - Math.max(a.left, b.left) > 0.5 &&
                            Math.min(a.bottom, b.bottom) - Math.max(a.top, b.top) > 0.5;
  const tables = [...document.querySelectorAll('div.table table')];
  tables.forEach((t, i) => {
    const name = 'table ' + (i + 1) + ' (' + (t.caption ? t.caption.textContent : '') + ')';
    const frame = box(t.closest('div.scroll'));
    if (!shown(t) || !(box(t).width > 0 && box(t).height > 0)) problems.push(name + ' is not visible');
    if (!inPage(frame)) problems.push(name + ' is not inside the page');
    const head = t.querySelector('thead');
    if (head && getComputedStyle(head).position !== 'sticky') problems.push(name + ': header rows do not stick');
    const num = t.querySelector('td.num');
    if (num && getComputedStyle(num).textAlign !== 'right') problems.push(name + ': numbers not right-aligned');
  });
  const pictures = [...document.querySelectorAll('figure.picture > svg')];
  pictures.forEach((svg, i) => {
    const name = 'picture ' + (i + 1) + ' (' + svg.querySelector('title').textContent + ')';
    const r = box(svg);
    if (!shown(svg) || !inPage(r)) problems.push(name + ' is not visible inside the page');
    const pair = svg.closest('div.pair');
    const table = pair && pair.querySelector('table');
    if (!table) { problems.push(name + ' stands beside no table'); return; }
    // Below its table only when the two do not fit side by side: notes under
    // the table must not widen it.
    const t = box(table);
    if (t.width + r.width + 24 <= box(pair).width && r.top >= t.bottom - 0.5)
      problems.push(name + ' stands below its table though there is room beside it');
    if (!svg.querySelector('desc') || !svg.querySelector('desc').textContent) problems.push(name + ' has no description');
    const area = svg.querySelector('.plot-area');
    if (!area) { problems.push(name + ' has no plot area'); return; }
    const a = box(area);
    if (!(a.width > 0 && a.height > 0)) problems.push(name + ': empty plot area');
    svg.querySelectorAll('text.label').forEach((t) => {
      const b = box(t);
      if (overlap(b, a)) problems.push(name + ': label "' + t.textContent + '" overlaps the plot area');
      if (b.left < r.left - 0.5 || b.right > r.right + 0.5 || b.top < r.top - 0.5 || b.bottom > r.bottom + 0.5)
        problems.push(name + ': label "' + t.textContent + '" leaves the picture');
    });
  });
  return {tables: tables.length, pictures: pictures.length, toc: document.querySelectorAll('nav.toc a').length,
          problems: problems};
})()
"""


class Browser:
    """Chromium driven over --remote-debugging-pipe: NUL-ended JSON messages
    on file descriptors 3 (to the browser) and 4 (from it)."""

    def __init__(self, chromium, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()

        def plumb():
            high_r = fcntl.fcntl(to_browser_r, fcntl.F_DUPFD, 20)
            high_w = fcntl.fcntl(from_browser_w, fcntl.F_DUPFD, 20)
            os.dup2(high_r, 3)
            os.dup2(high_w, 4)

        self.process = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
             "--no-first-run", "--no-default-browser-check", "--hide-scrollbars",
             "--remote-debugging-pipe", "--user-data-dir=" + profile, "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=plumb)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []

    def send(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        while True:
            reply = self.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(method + ": " + json.dumps(reply["error"]))
                return reply["result"]
            self.events.append(reply)

    def receive(self):
        while b"\0" not in self.buffer:
            if time.monotonic() > DEADLINE:
                raise TimeoutError("the browser did not answer in time")
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("the browser closed its pipe")
            self.buffer += chunk
        message, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(message)

    def wait_for(self, method, session):
        def matches(e):
            return e.get("method") == method and e.get("sessionId") == session
        while not any(matches(e) for e in self.events):
            self.events.append(self.receive())
        return self.events.pop(next(i for i, e in enumerate(self.events) if matches(e)))

    def close(self):
        try:
            self.send("Browser.close")
        except Exception:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def console_errors(events, session):
    errors = []
    for e in events:
        if e.get("sessionId") != session:
            continue
        method, params = e.get("method"), e.get("params", {})
        if method == "Runtime.exceptionThrown":
            errors.append(params["exceptionDetails"].get("text", "exception"))
        elif method == "Runtime.consoleAPICalled" and params.get("type") in ("error", "assert"):
            errors.append(" ".join(str(a.get("value", "")) for a in params.get("args", [])))
        elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
            errors.append(params["entry"].get("text", ""))
    return errors


def main():
    global DEADLINE
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    mva, source, out = sys.argv[1], sys.argv[2], sys.argv[3]
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("SKIPPED: Chromium is not installed (Debian package 'chromium'; make test installs it as root)")
        return SKIP
    os.makedirs(out, exist_ok=True)
    DEADLINE = time.monotonic() + TIME_LIMIT
    failures = []
    pages = []
    for name, args, pictures in CASES:
        page = os.path.join(out, name + ".html")
        json_run = subprocess.run([mva, "--no-progress", "--format", "json"] + args, cwd=source,
                                  capture_output=True, text=True)
        html_run = subprocess.run([mva, "--no-progress", "--format", "html", "--output", page] + args, cwd=source,
                                  capture_output=True, text=True)
        if html_run.returncode != 0 or json_run.returncode != 0:
            failures.append(name + ": mva failed: " + html_run.stderr + json_run.stderr)
            continue
        tables = []

        def walk(items):
            for item in items:
                if item["type"] == "table":
                    tables.append(item)
                elif item["type"] == "heading":
                    walk(item["items"])

        walk(json.loads(json_run.stdout)["output"])
        pages.append((name, page, len(tables), pictures))

    with tempfile.TemporaryDirectory(prefix="mva_browser_") as profile:
        browser = Browser(chromium, profile)
        try:
            target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
            session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
            for domain in ("Page", "Runtime", "Log"):
                browser.send(domain + ".enable", session=session)
            browser.send("Emulation.setDeviceMetricsOverride",
                         {"width": 1280, "height": 900, "deviceScaleFactor": 1, "mobile": False}, session)
            for name, page, tables, pictures in pages:
                browser.events = [e for e in browser.events if e.get("sessionId") != session]
                browser.send("Page.navigate", {"url": "file://" + os.path.abspath(page)}, session)
                browser.wait_for("Page.loadEventFired", session)
                result = browser.send("Runtime.evaluate", {"expression": CHECKS, "returnByValue": True}, session)
                found = result["result"]["value"]
                problems = list(found["problems"])
                problems += ["console error: " + e for e in console_errors(browser.events, session)]
                if found["tables"] != tables:
                    problems.append("%d tables shown of %d" % (found["tables"], tables))
                if pictures is not None and found["pictures"] != pictures:
                    problems.append("%d pictures shown, %d expected" % (found["pictures"], pictures))
                if found["pictures"] == 0:
                    problems.append("no picture shown")
                if found["toc"] < tables:
                    problems.append("the contents list %d entries for %d tables" % (found["toc"], tables))
                print("%s: %d tables, %d pictures, %d problems" % (name, found["tables"], found["pictures"],
                                                                  len(problems)))
                failures += [name + ": " + p for p in problems]
        finally:
            browser.close()
    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
