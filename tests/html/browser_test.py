"""tests/html/browser_test.py

The reports of norvex diff --html and norvex merge --html as a browser shows them: the DOM
after the page's script ran holds the examples' changes and conflicts; real key presses move
to the next and previous change and open what folds it; hostile outline texts run nothing; the
page reads the same with its script off; screenshots come out.

    browser_test.py CHECK NORVEX EXAMPLES DATA WORKDIR      one check; exit 0, 1 or 77 (skipped)
    browser_test.py pictures NORVEX EXAMPLES DATA DIR       the README's two pictures into DIR
    browser_test.py measure NORVEX OLD NEW WORKDIR           page size and load time of a diff
"""

import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser  # noqa: E402


class CheckFailed(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise CheckFailed(message)


def expect_equal(actual, expected, what):
    if actual != expected:
        raise CheckFailed("%s:\n  expected %r\n  found    %r" % (what, expected, actual))


class Setup:
    def __init__(self, norvex, examples, data, work):
        self.norvex, self.examples, self.data, self.work = norvex, examples, data, work
        os.makedirs(work, exist_ok=True)
        for name in ("base.outline", "version1.outline", "version2.outline"):
            shutil.copy(os.path.join(examples, name), os.path.join(work, name))

    def run(self, *arguments, status=None):
        done = subprocess.run([self.norvex, *arguments], cwd=self.work, capture_output=True,
                              text=True, timeout=120)
        if status is not None:
            expect_equal(done.returncode, status, "exit status of norvex " + " ".join(arguments))
        return os.path.join(self.work, arguments[arguments.index("--html") + 1])

    def diff_page(self, new="version1.outline"):
        return self.run("diff", "base.outline", new, "--all", "--html", "diff-%s.html" % new,
                        status=1)

    def merge_page(self):
        return self.run("merge", "base.outline", "version1.outline", "version2.outline", "-o",
                        "merged.outline", "--all", "--html", "merge.html", status=1)


# The rows a person moves between, each as its kind and the text it shows.
STOPS = """JSON.stringify(Array.from(document.querySelectorAll('.stop')).map(function (row) {
  return [row.id, row.className.replace(/ ?(stop|current)/g, ''), row.innerText.replace(/\\s+/g, ' ').trim()];
}))"""

# The one the keys moved to: focused, highlighted, shown (its folds open) and in the window.
CURRENT = """JSON.stringify((function () {
  var row = document.activeElement;
  var box = row.getBoundingClientRect();
  var folded = 0;
  for (var at = row.parentElement; at; at = at.parentElement) {
    if (at.tagName === 'DETAILS' && !at.open) folded++;
  }
  return [row.id, row.classList.contains('current'), folded, row.getClientRects().length > 0,
          box.top >= 0 && box.bottom <= window.innerHeight,
          document.getElementById('position').textContent];
})())"""


def wait_current(tab, expected, what):
    """Waits until the first facts of CURRENT about the row the keys or a link moved to are
    the expected ones."""
    tab.wait_until(CURRENT, "%s: %r" % (what, expected),
                   lambda state: json.loads(state)[:len(expected)] == expected)


def check_diff_page(setup, chromium):
    page = setup.diff_page()
    with browser.Browser(chromium) as tab:
        tab.load(page)
        tab.wait_shown(".stop, details:not([open]) > summary")
        stops = json.loads(tab.evaluate(STOPS))
        expect_equal([stop[:2] for stop in stops],
                     [["change-1", "row only-new"], ["change-2", "row changed"],
                      ["change-3", "row only-new"], ["change-4", "row changed"],
                      ["change-5", "row only-old"], ["change-6", "row only-old"],
                      ["change-7", "row only-old"], ["change-8", "row changed"]],
                     "the changes of version 1 and their kinds")
        expect("Location" in stops[0][2], stops[0][2])
        expect("property Version: \"1.4\" \u2192 \"1.5\"" in stops[1][2], stops[1][2])
        expect("RETURN Records(Stock)" in stops[3][2], stops[3][2])
        words = json.loads(tab.evaluate("""JSON.stringify([
            Array.from(document.querySelectorAll('#change-8 del')).map(e => e.textContent),
            Array.from(document.querySelectorAll('#change-8 ins')).map(e => e.textContent)])"""))
        expect_equal(words, [["OK"], ["Save"]], "the words marked in the changed button text")
        # The inline style is the one the policy names: a change row has its colour.
        expect_equal(tab.evaluate("getComputedStyle(document.getElementById('change-4'))"
                                  ".backgroundColor"), "rgb(255, 244, 194)",
                     "the colour of a changed row")
        folded = json.loads(tab.evaluate("""JSON.stringify(Array.from(
            document.querySelectorAll('details')).filter(d => !d.open)
            .map(d => d.querySelector('summary').innerText.replace(/\\s+/g, ' ').trim()))"""))
        expect_equal(folded, ["Procedure CloseStock Procedure CloseStock"],
                     "the sections folded (the only one without a change)")

        tab.load(setup.diff_page("version2.outline"))
        notes = tab.evaluate("Array.from(document.querySelectorAll('.notes li'))"
                             ".map(e => e.textContent).join('|')")
        expect_equal(notes, "attribute 502: \"STRING(40)\" \u2192 \"STRING(60)\"|"
                            "property Caption: \"Inventory\" \u2192 \"Stock on hand\"|"
                            "DTDATA 39: 12 \u2192 16", "the content changes of version 2")


def check_merge_page(setup, chromium):
    page = setup.merge_page()
    with browser.Browser(chromium) as tab:
        tab.load(page)
        tab.wait_shown(".stop")
        stops = json.loads(tab.evaluate(STOPS))
        expect_equal([stop[:2] for stop in stops],
                     [["conflict-1", "row conflict"], ["conflict-1-2", "row conflict"],
                      ["conflict-1-3", "row conflict"]], "the conflict comments")
        for stop, text in zip(stops, ("OK button", "Save button", "Apply button")):
            expect(stop[2].startswith("Control " + text + " ! #### DIFF: Conflict 1 (C001)"), stop[2])
        listed = json.loads(tab.evaluate("""JSON.stringify(Array.from(
            document.querySelectorAll('#conflicts li')).map(function (entry) {
              return [entry.querySelector('a').getAttribute('href'),
                      entry.querySelector('.version1').textContent,
                      entry.querySelector('.version2').textContent];
            }))"""))
        expect_equal(listed, [["#conflict-1", "Save button", "Apply button"]],
                     "the list of conflicts with the versions' texts")
        # Following the list's link goes to the conflict and marks it.
        tab.evaluate("document.querySelector('#conflicts a').click()")
        wait_current(tab, ["conflict-1", True, 0], "the conflict the link leads to")


def check_keys(setup, chromium):
    page = setup.diff_page()
    # A short window, so that moving to a change must scroll.
    with browser.Browser(chromium, width=900, height=260) as tab:
        tab.load(page)
        tab.evaluate("document.querySelectorAll('details').forEach(d => { d.open = false; })")
        expected = [("n", "change-1"), ("n", "change-2"), ("j", "change-3"), ("n", "change-4"),
                    ("j", "change-5"), ("p", "change-4"), ("k", "change-3"), ("j", "change-4"),
                    ("n", "change-5"), ("n", "change-6"), ("n", "change-7"), ("n", "change-8")]
        for key, row in expected:
            tab.press(key)
            number = int(row.split("-")[1])
            wait_current(tab, [row, True, 0, True, True, "%d of 8" % number],
                         "after %s: the row, highlighted, folds above it, shown, in the window, "
                         "position" % key)
        expect_equal(tab.evaluate("document.querySelectorAll('.current').length"), 1,
                     "rows highlighted at once")
        tab.press("n")  # past the last change: back to the first
        wait_current(tab, ["change-1"], "after the last change")
        tab.press("p")
        wait_current(tab, ["change-8"], "before the first change")
        # Other keys, and n with a modifier, leave the place alone.
        tab.press("x")
        expect_equal(json.loads(tab.evaluate(CURRENT))[0], "change-8", "after another key")

        tab.load(setup.merge_page())
        tab.press("k")  # from nowhere, back: the last comment
        wait_current(tab, ["conflict-1-3", True], "the merge page's last conflict comment")


def check_hostile(setup, chromium):
    for name, target in (("hostile-base.outline", "a<b>'&.outline"),
                         ("hostile-version1.outline", "b.outline"),
                         ("hostile-version2.outline", "c.outline")):
        shutil.copy(os.path.join(setup.data, name), os.path.join(setup.work, target))
    pages = [setup.run("diff", "a<b>'&.outline", "c.outline", "--all", "--html", "d.html",
                       status=1),
             setup.run("diff", "a<b>'&.outline", "b.outline", "--html", "e.html", status=1),
             setup.run("merge", "a<b>'&.outline", "b.outline", "c.outline", "-o", "m.outline",
                       "--html", "m.html", status=1)]
    titles = ["norvex diff a<b>'&.outline c.outline", "norvex diff a<b>'&.outline b.outline",
              "norvex merge a<b>'&.outline b.outline c.outline"]
    with browser.Browser(chromium) as tab:
        for page, title in zip(pages, titles):
            tab.load(page)
            for shown in ("<script>document.title='", "<img src=x onerror=\"document.title='img'",
                          "Tom &amp; Jerry's \"quote\" </summary></details></main>",
                          "Root <u>"):
                tab.wait_until("document.body.innerText", "%s to show %r" % (page, shown),
                               lambda text: shown in text)
            # Read once the texts show, so that anything they could have run has run.
            seen = json.loads(tab.evaluate("""JSON.stringify([document.title,
                typeof window.hostile, document.querySelectorAll('script').length,
                document.querySelectorAll('img, b, i, u').length,
                document.querySelectorAll('main').length])"""))
            expect_equal(seen, [title, "undefined", 1, 0, 1],
                         page + ": title, hostile global, scripts, markup elements, main")
            # The page's own script still runs: the policy let it, and only it.
            tab.press("n")
            tab.wait_until(CURRENT, page + ": a row moved to", lambda state: json.loads(state)[1])
            expect(tab.evaluate("typeof window.hostile") == "undefined", page)


def check_no_script(setup, chromium):
    with browser.Browser(chromium) as tab:
        tab.load(setup.diff_page(), script=False)
        tab.wait_shown(".stop")
        expect_equal(tab.evaluate("document.getElementById('position').textContent"), "",
                     "the script's position text with the script off")
        stops = json.loads(tab.evaluate(STOPS))
        expect_equal(len(stops), 8, "changes shown without the script")
        expect(all(stop[2] for stop in stops), stops)
        # An anchor of the merge page's list reaches its target without any script: every
        # comment stands in open sections.
        tab.load(setup.merge_page(), fragment="#conflict-1-3", script=False)
        tab.wait_until("""JSON.stringify((function () {
            var row = document.getElementById('conflict-1-3'), box = row.getBoundingClientRect();
            return [row.getClientRects().length > 0, box.top >= 0 && box.top < window.innerHeight];
        })())""", "the anchored conflict: shown, in the window",
                       lambda shown: json.loads(shown) == [True, True])


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(24)
    expect(head[:8] == b"\x89PNG\r\n\x1a\n", path + " is not a PNG")
    return struct.unpack(">II", head[16:24])


def take_screenshots(setup, chromium, folder, width=1200, height=760):
    pictures = []
    for page, name in ((setup.diff_page(), "diff-report.png"),
                       (setup.merge_page(), "merge-report.png")):
        path = os.path.join(folder, name)
        if os.path.exists(path):
            os.remove(path)
        browser.screenshot(chromium, "file://" + os.path.abspath(page), path, width, height)
        pictures.append(path)
    return pictures


def check_screenshots(setup, chromium):
    for path in take_screenshots(setup, chromium, setup.work):
        expect(os.path.exists(path), path + " was not written")
        expect_equal(png_size(path), (1200, 760), path + ": width and height")
        # A blank page compresses to a few kilobytes; the report's text makes it far larger.
        expect(os.path.getsize(path) > 20000, "%s holds only %d bytes" % (path, os.path.getsize(path)))


CHECKS = {"diff_page": check_diff_page, "merge_page": check_merge_page, "keys": check_keys,
          "hostile": check_hostile, "no_script": check_no_script,
          "screenshots": check_screenshots}


def measure(norvex, old, new, work):
    os.makedirs(work, exist_ok=True)
    page = os.path.join(work, "measure.html")
    done = subprocess.run([norvex, "diff", old, new, "--all", "--quiet", "--html", page],
                          stdout=subprocess.DEVNULL, timeout=600)
    print("norvex exit status %d, page %d bytes" % (done.returncode, os.path.getsize(page)))
    with browser.Browser(browser.find_chromium()) as tab:
        for attempt in range(3):
            seconds = tab.load(page)
            rows = tab.evaluate("document.querySelectorAll('.row').length")
            print("load %d: %.2f s, %d rows" % (attempt + 1, seconds, rows))


def main(arguments):
    if len(arguments) == 5 and arguments[0] == "measure":
        measure(*arguments[1:])
        return 0
    if len(arguments) != 5 or (arguments[0] not in CHECKS and arguments[0] != "pictures"):
        print(__doc__, file=sys.stderr)
        return 2
    chromium = browser.find_chromium()
    if chromium is None:
        print("SKIPPED: chromium is not installed (./setup-machine installs it)")
        return browser.SKIP
    name = arguments[0]
    norvex, examples, data, work = (os.path.abspath(path) for path in arguments[1:])
    os.makedirs(work, exist_ok=True)
    # A check works in the build's folder; the pictures are made away from where they go.
    scratch = tempfile.mkdtemp(prefix="norvex-html-", dir=None if name == "pictures" else work)
    try:
        setup = Setup(norvex, examples, data, scratch)
        if name == "pictures":
            for path in take_screenshots(setup, chromium, work):
                print("wrote", path)
            return 0
        CHECKS[name](setup, chromium)
    except (CheckFailed, browser.BrowserError, subprocess.TimeoutExpired) as failure:
        print("FAILED %s: %s" % (name, failure))
        return 1
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("passed", name)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
