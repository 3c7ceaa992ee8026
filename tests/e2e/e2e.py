#!/usr/bin/env python3
"""The real program as a person uses it: vellumin --simulate under Xvfb with a window manager,
driven with xdotool by window and position, checked on screenshots of its windows.

  e2e.py BUILT_VELLUMIN

Home screen -> each of the six pages -> HOME, the chosen row kept between visits; a full scan
and then another drive; Tab through page 4 in reading order without changing the drive; the
process alive after every step and ending with 0.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

PAGE_BACKGROUND = (1, 41, 108)
HIGHLIGHT = (2, 29, 73)


def px(x, y, w=0, h=0):
    """A rectangle in dialog units to client pixels (x * 6 / 4, y * 13 / 8, rounded)."""
    def mx(v):
        return (v * 6 + 2) // 4

    def my(v):
        return (v * 13 + 4) // 8
    return (mx(x), my(y), mx(x + w) - mx(x), my(y + h) - my(y))


# The main window (dialog 102), in client pixels.
LIST = px(17, 69, 148, 158)
PAGE_AREA = px(176, 69, 312, 157)
FEATURES = {1001: px(330, 9, 60, 27), 1002: px(330, 36, 60, 27), 1003: px(390, 9, 60, 27),
            1004: px(390, 36, 59, 27), 1005: px(450, 9, 59, 27), 1006: px(449, 36, 60, 27)}
HOME, ABOUT, REFRESH = px(12, 246, 25, 21), px(36, 246, 26, 21), px(61, 246, 28, 21)
SIDE_LABEL = px(494, 65, 31, 165)
# The scan page (dialog 144) lies at the page area's corner.
FULL_SCAN = px(176 + 89, 69 + 7, 76, 14)
SCAN_RESULT = px(176 + 7, 69 + 101, 290, 11)
SCAN_ITEMS = px(176 + 7, 69 + 58, 272, 16)
# The home screen's page bars (dialog 174).
BARS = [px(361, 65 + 24 * i, 166, 24) for i in range(6)]


def center(r):
    return (r[0] + r[2] // 2, r[1] + r[3] // 2)


def inside(point, r, margin=0):
    return (r[0] - margin <= point[0] < r[0] + r[2] + margin and
            r[1] - margin <= point[1] < r[1] + r[3] + margin)


class Failure(Exception):
    pass


class Shot:
    """A window's client pixels, from xwd."""

    def __init__(self, data):
        f = struct.unpack(">25I", data[:100])
        header, width, height = f[0], f[4], f[5]
        self.byte_order, bpp, self.stride, ncolors = f[7], f[11], f[12], f[19]
        if bpp != 32:
            raise Failure(f"xwd: {bpp} bits per pixel, 32 expected")
        self.width, self.height = width, height
        self.pixels = data[header + 12 * ncolors:]

    def rgb(self, x, y):
        i = y * self.stride + 4 * x
        b = self.pixels[i:i + 4]
        return (b[2], b[1], b[0]) if self.byte_order == 0 else (b[1], b[2], b[3])

    def region(self, r):
        return [self.rgb(x, y) for y in range(r[1], r[1] + r[3]) for x in range(r[0], r[0] + r[2])]

    def changed_box(self, other):
        """The bounding box of the pixels that differ from `other`, or None."""
        xs, ys = [], []
        for y in range(0, self.height, 1):
            a = self.pixels[y * self.stride:(y + 1) * self.stride]
            b = other.pixels[y * self.stride:(y + 1) * self.stride]
            if a == b:
                continue
            for x in range(self.width):
                if a[4 * x:4 * x + 3] != b[4 * x:4 * x + 3]:
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return (min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)


class Session:
    def __init__(self, binary):
        self.binary = binary
        self.temp = tempfile.mkdtemp(prefix="vellumin-e2e-")
        self.procs = []
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24",
                                      "-nolisten", "tcp"], pass_fds=(write,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        # Xvfb writes the number and its newline apart: read both, or its second write dies of
        # a closed pipe.
        display = b""
        while not display.endswith(b"\n"):
            chunk = os.read(read, 64)
            if not chunk:
                break
            display += chunk
        os.close(read)
        display = display.decode().strip()
        if not display or self.xvfb.poll() is not None:
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + display, XDG_RUNTIME_DIR=self.temp,
                        QT_QPA_PLATFORM="xcb", NO_PROXY="*", no_proxy="*")
        self.env.pop("WAYLAND_DISPLAY", None)
        # A window manager, as on a desktop: it maps, activates and focuses the windows.
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(0.5)
        self.app = subprocess.Popen([binary, "--simulate"], env=self.env, cwd=self.temp,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def close(self):
        for p in [self.app] + self.procs + [self.xvfb]:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(self.temp, ignore_errors=True)

    def run(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, capture_output=True, text=True).stdout

    def alive(self, step):
        if self.app.poll() is not None:
            raise Failure(f"{step}: the program ended (status {self.app.returncode})")

    def windows(self):
        return [int(w) for w in self.run("search", "--onlyvisible", "--name", "^Vellumin$").split()]

    def wait(self, step, predicate, timeout=10.0):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            self.alive(step)
            value = predicate()
            if value:
                return value
            time.sleep(0.05)
        raise Failure(f"{step}: timed out")

    def wait_window(self, step, other_than=()):
        """The one visible program window, waiting until it is not one of `other_than`."""
        def one():
            shown = self.windows()
            return shown[0] if len(shown) == 1 and shown[0] not in other_than else None
        window = self.wait(step, one)
        time.sleep(0.3)  # painted
        return window

    def click(self, window, point):
        self.run("mousemove", "--window", str(window), str(point[0]), str(point[1]), "click", "1")
        time.sleep(0.15)

    def key(self, window, *keys):
        self.run("windowactivate", "--sync", str(window))
        for k in keys:
            self.run("key", "--clearmodifiers", k)
            time.sleep(0.12)

    def shot(self, window):
        data = subprocess.run(["xwd", "-silent", "-id", str(window)], env=self.env,
                              capture_output=True, check=True).stdout
        return Shot(data)

    def settled_shot(self, window):
        """A screenshot once two in a row agree (timers and repaints done)."""
        last = self.shot(window)
        for _ in range(40):
            time.sleep(0.1)
            now = self.shot(window)
            if now.pixels == last.pixels:
                return now
            last = now
        return last


def row_height(shot):
    """The height of the highlighted row at the top of the drive list."""
    x = LIST[0] + 6
    ys = [y for y in range(LIST[1], LIST[1] + LIST[3]) if shot.rgb(x, y) == HIGHLIGHT]
    if not ys:
        raise Failure("no highlighted row in the drive list")
    return ys[0], ys[-1] - ys[0] + 1


def highlighted_row(shot, top, height):
    x = LIST[0] + 6
    rows = [r for r in range(10) if shot.rgb(x, top + r * height + height // 2) == HIGHLIGHT]
    return rows[0] if len(rows) == 1 else None


def visits(s, home):
    """Each page from the home screen and back; the row chosen on the first visit is kept."""
    labels = {}
    top = height = None
    for page in range(1, 7):
        step = f"visit of page {page}"
        s.click(home, center(BARS[page - 1]))
        main = s.wait_window(step, other_than=(home,))
        shot = s.settled_shot(main)
        labels[page] = shot.region(SIDE_LABEL)
        if page == 1:
            top, height = row_height(shot)
            if highlighted_row(shot, top, height) != 0:
                raise Failure(f"{step}: row 0 is not the selected row")
            s.click(main, (LIST[0] + LIST[2] // 2, top + height // 2))
            s.key(main, "Down", "Down")
            shot = s.settled_shot(main)
        if highlighted_row(shot, top, height) != 2:
            raise Failure(f"{step}: row 2 (chosen on the first visit) is not selected")
        s.click(main, center(HOME))
        if s.wait_window(f"HOME from page {page}") != home:
            raise Failure(f"HOME from page {page}: the home screen did not come back")
    if len({bytes(b for p in v for b in p) for v in labels.values()}) != 6:
        raise Failure("the six visits did not show six different pages")
    print("e2e: six visits, HOME back to the home screen each time, row kept")
    return labels, top, height


def scan_then_other_drive(s, home, labels, top, height):
    step = "scan"
    s.click(home, center(BARS[2]))
    main = s.wait_window(step, other_than=(home,))
    if s.settled_shot(main).region(SIDE_LABEL) != labels[3]:
        raise Failure("scan: page 3 not shown")
    # Row 9 holds the lab's drive with an unreadable sector half-way.
    s.click(main, (LIST[0] + LIST[2] // 2, top + 2 * height + height // 2))
    s.key(main, *["Down"] * 7)
    s.click(main, center(FULL_SCAN))

    def result_shown():
        shot = s.shot(main)
        return any(p != PAGE_BACKGROUND for p in shot.region(SCAN_RESULT)) and shot
    shot = s.wait(step, result_shown, timeout=30)
    if all(p == PAGE_BACKGROUND for p in shot.region(SCAN_ITEMS)):
        raise Failure("scan: no position shown at its end")
    s.click(main, (LIST[0] + LIST[2] // 2, top + height // 2))  # drive 0
    shot = s.settled_shot(main)
    for name, r in (("result", SCAN_RESULT), ("position", SCAN_ITEMS)):
        if any(p != PAGE_BACKGROUND for p in shot.region(r)):
            raise Failure(f"scan: the other drive still shows the scan's {name}")
    print("e2e: full scan ended with its result; another drive cleared it")
    return main


def tab_order(s, main, home):
    step = "Tab on page 4"
    s.click(main, center(FEATURES[1004]))
    time.sleep(0.3)
    s.click(main, (LIST[0] + LIST[2] // 2, LIST[1] + 10))  # the list has the focus, no mark
    before = s.settled_shot(main)
    page_before = before.region(PAGE_AREA)
    expected = [("feature 1001", FEATURES[1001]), ("feature 1003", FEATURES[1003]),
                ("feature 1005", FEATURES[1005]), ("feature 1002", FEATURES[1002]),
                ("feature 1004", FEATURES[1004]), ("feature 1006", FEATURES[1006])]
    seen_page_controls = 0
    stops = expected + [None, ("HOME", HOME), ("ABOUT", ABOUT), ("REFRESH", REFRESH), ("list", LIST)]
    i = 0
    for _ in range(20):
        if i == len(stops):
            break
        s.key(main, "Tab")
        # Against the picture without any mark, the change is the new mark alone.
        box = s.settled_shot(main).changed_box(before)
        if box is None:
            raise Failure(f"{step}: Tab {i + 1} showed no focus mark")
        corners = [(box[0], box[1]), (box[0] + box[2] - 1, box[1] + box[3] - 1)]
        if stops[i] is None:  # the page's own controls, then on to HOME
            if all(inside(c, PAGE_AREA) for c in corners):
                seen_page_controls += 1
                continue
            if seen_page_controls == 0:
                raise Failure(f"{step}: no control of the page took the focus")
            i += 1
        name, r = stops[i]
        if not all(inside(c, r, 2) for c in corners):
            raise Failure(f"{step}: Tab {i + 1} marked {box}, expected {name} at {r}")
        i += 1
    if i != len(stops):
        raise Failure(f"{step}: the focus did not come round to the list")
    s.key(main, "space")
    after = s.settled_shot(main)
    if after.region(PAGE_AREA) != page_before:
        raise Failure(f"{step}: Tab or Space changed the page (another drive?)")
    print(f"e2e: Tab order list, features in reading order, {seen_page_controls} page "
          "control(s), HOME, ABOUT, REFRESH, list; the drive unchanged")
    s.click(main, center(HOME))
    if s.wait_window("HOME after Tab") != home:
        raise Failure("HOME after Tab: the home screen did not come back")


def main():
    binary = os.path.abspath(sys.argv[1])
    for tool in ("Xvfb", "openbox", "xdotool", "xwd"):
        if not shutil.which(tool):
            print(f"e2e: {tool} is missing (tools/deps test)", file=sys.stderr)
            return 2
    start = time.monotonic()
    try:
        s = Session(binary)
    except Failure as e:
        print(f"e2e: FAILED: {e}", file=sys.stderr)
        return 1
    try:
        home = s.wait_window("start")
        labels, top, height = visits(s, home)
        main_window = scan_then_other_drive(s, home, labels, top, height)
        s.click(main_window, center(HOME))
        if s.wait_window("HOME after the scan") != home:
            raise Failure("HOME after the scan: the home screen did not come back")
        s.click(home, center(BARS[3]))
        main_window = s.wait_window("page 4", other_than=(home,))
        tab_order(s, main_window, home)
        s.key(home, "Escape")
        try:
            status = s.app.wait(10)
        except subprocess.TimeoutExpired:
            raise Failure("Escape on the home screen did not end the program")
        if status != 0:
            raise Failure(f"the program ended with {status}")
        print(f"e2e: passed in {time.monotonic() - start:.0f} s, exit status 0")
        return 0
    except Failure as e:
        print(f"e2e: FAILED: {e}", file=sys.stderr)
        if s.app.poll() is not None and s.app.stderr:
            sys.stderr.write(s.app.stderr.read().decode(errors="replace")[-2000:])
        return 1
    finally:
        s.close()


if __name__ == "__main__":
    sys.exit(main())
