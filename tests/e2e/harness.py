"""Runs the real Tallowin.exe under Wine against tallowin-statusd and looks at what a user sees."""
import argparse, glob, json, os, shutil, subprocess, sys, time

WM_CLOSE, WM_SYSCOMMAND, SC_MINIMIZE, WM_TRAYNOTIFY, WM_LBUTTONUP = 0x10, 0x112, 0xF020, 0x8064, 0x202
WM_KEYDOWN, WM_COMMAND, VK_RETURN, VK_ESCAPE, VK_DOWN, VK_UP = 0x100, 0x111, 0x0D, 0x1B, 0x28, 0x26
IDOK, IDCANCEL, BM_CLICK = 1, 2, 0xF5
KEY = r"HKCU\Software\Varnok Solutions\Tallowin"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
TASKBAR_HEIGHT = 20


EMULATOR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake", "wine-emulator.sh")


class Session:
    def __init__(self, name, extra_options=()):
        ap = argparse.ArgumentParser()
        for option in ("--exe", "--probe", "--statusd", "--prefix", "--work"):
            ap.add_argument(option, required=True)
        ap.add_argument("--arch", choices=("win32", "win64"), default="win32")
        for option in extra_options:
            ap.add_argument(option)
        self.args = ap.parse_args()
        for option in ("exe", "probe", "statusd", "prefix", "work"):
            setattr(self.args, option, os.path.abspath(getattr(self.args, option)))
        self.name = name
        self.work = os.path.join(self.args.work, name)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        # The tree's own launcher picks the Wine loader for the prefix's width.
        self.loader = [EMULATOR, self.args.prefix, self.args.arch]
        self.env = dict(os.environ, WINEDEBUG="-all")
        self.env.pop("TALLOWIN_STATUS_HOST", None)
        if not self.env.get("DISPLAY"):
            raise SystemExit("the end-to-end tests need an X display (DISPLAY)")
        # Each test starts without the history earlier tests left in the prefix.
        for old in glob.glob(os.path.join(self.args.prefix, "drive_c", "users", "*", "AppData", "Local", "Tallowin",
                                          "history.*")):
            os.remove(old)
        self.started = []
        self.failures = 0
        self.checks = 0
        self.shots = 0

    # --- reporting ---------------------------------------------------------------------------
    def check(self, what, ok, detail=""):
        self.checks += 1
        print(("ok   " if ok else "FAIL ") + what + ("" if ok or not detail else ": " + str(detail)), flush=True)
        if not ok:
            self.failures += 1
        return ok

    def finish(self):
        self.stop_all()
        print("%s: %d checks, %d failed" % (self.name, self.checks, self.failures))
        sys.exit(1 if self.failures else 0)

    # --- Wine and the probe ---------------------------------------------------------------------
    def wine(self, *args, timeout=60, env=None):
        return subprocess.run([*self.loader, *args], env=env or self.env, capture_output=True, timeout=timeout)

    def probe(self, *args):
        """The probe's JSON lines; none when it does not answer in time (the callers poll again)."""
        try:
            r = self.wine(self.args.probe, *[str(a) for a in args], timeout=10)
        except subprocess.TimeoutExpired:
            print("note: tallowin-probe %s did not answer in time" % " ".join(map(str, args)), flush=True)
            return []
        return [json.loads(line) for line in r.stdout.decode("latin-1").splitlines() if line.startswith("{")]

    def main_window(self):
        found = self.probe("main")
        return found[0] if found and found[0].get("found") else None

    def wait_main(self, visible, timeout=10):
        """The main window once it is shown (visible True) or hidden (False), or None after timeout."""
        def ready():
            m = self.main_window()
            return m if m and m["visible"] == visible else None
        return self.wait("main window", ready, timeout=timeout)

    def post(self, message, wparam=0, lparam=0):
        self.probe("post", "main", message, wparam, lparam)

    def boxes(self):
        return self.probe("boxes")

    def tips(self):
        """Tooltip texts of the icons in the tray now. Explorer keeps the tooltip of a removed icon,
        with an empty rectangle; a live icon's tool covers its slot on the taskbar."""
        return [t["text"] for t in self.probe("tips") if t["right"] > t["left"]]

    def menu(self, timeout=5):
        """The open pop-up menu window (hwnd and rectangle), or None."""
        found = self.wait("menu", lambda: self.probe("menu"), timeout=timeout)
        return found[0] if found else None

    def choose(self, menu, position):
        """Chooses the position-th item (1 = first, separators not counted) of an open menu with the arrow keys."""
        for _ in range(position):
            self.probe("post", menu["hwnd"], WM_KEYDOWN, VK_DOWN, 0)
        self.probe("post", menu["hwnd"], WM_KEYDOWN, VK_RETURN, 0)

    def box(self, caption, timeout=10):
        """The first box or dialog shown with this caption, or None."""
        found = self.wait(caption, lambda: [b for b in self.boxes() if b["caption"] == caption], timeout=timeout)
        return found[0] if found else None

    def controls(self, dialog):
        return {c["id"]: c for c in self.probe("controls", dialog["hwnd"])}

    def click_tray(self, button):
        """Clicks the program's tray icon (1 left, 3 right) with the X pointer."""
        left, top, right, bottom = Picture(self.screenshot("tray")).tray_slot()
        subprocess.run(["xdotool", "mousemove", str(left + 8), str(top + 8), "click", str(button)], env=self.env)

    def balloons(self):
        """Texts of the balloons showing now: Explorer's balloon is a shown tooltip window whose one tool
        tracks a point rather than covering a rectangle."""
        return [t["text"] for t in self.probe("tips") if t["visible"] and t["right"] == t["left"]]

    def main_windows(self):
        return [w for w in self.probe("windows") if w["class"] == "TallowinDisplayClass"]

    # --- registry -------------------------------------------------------------------------------
    def reg_clear(self):
        self.wine("reg", "delete", KEY, "/f")

    def reg_dword(self, name, value):
        self.wine("reg", "add", KEY, "/v", name, "/t", "REG_DWORD", "/d", str(value & 0xFFFFFFFF), "/f")

    def reg_sz(self, name, value):
        self.wine("reg", "add", KEY, "/v", name, "/t", "REG_SZ", "/d", value, "/f")

    def reg_values(self, key=KEY):
        """The key's values as {name: (type, text)}, or None when the key is missing."""
        r = self.wine("reg", "query", key)
        if r.returncode != 0:
            return None
        values = {}
        for line in r.stdout.decode("latin-1").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    # --- processes ------------------------------------------------------------------------------
    def write_json(self, name, value):
        path = os.path.join(self.work, name)
        with open(path, "w") as f:
            json.dump(value, f)
        return path

    def start_statusd(self, address, scenario=None, tag="statusd"):
        log = os.path.join(self.work, tag + ".log")
        cmd = [self.args.statusd, "--address", address, "--log", log, "--max-seconds", "1200"]
        if scenario is not None:
            cmd += ["--scenario", self.write_json(tag + ".json", scenario)]
        p = subprocess.Popen(cmd)
        self.started.append(p)
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline and not (os.path.exists(log) and os.path.getsize(log) > 0):
            time.sleep(0.05)
        p.log = log
        return p

    def requests(self, statusd):
        with open(statusd.log) as f:
            entries = [json.loads(line) for line in f if line.strip()]
        return [e for e in entries if e["event"] == "request"]

    def start_tallowin(self, host, wrapper=()):
        """Starts the program asking `host` (None: as its settings say), under a wrapper command if given."""
        env = dict(self.env, TALLOWIN_STATUS_HOST=host) if host is not None else self.env
        p = subprocess.Popen([*wrapper, *self.loader, self.args.exe], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        p.launched = time.monotonic()
        self.started.append(p)
        return p

    def wait(self, what, condition, timeout=15, interval=0.2):
        deadline = time.monotonic() + timeout
        while True:
            value = condition()
            if value or time.monotonic() > deadline:
                return value
            time.sleep(interval)

    def close_tallowin(self, p, timeout=20):
        self.post(WM_CLOSE)
        try:
            return p.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop_all(self):
        for p in reversed(self.started):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
        self.started = []

    # --- the screen -----------------------------------------------------------------------------
    def screenshot(self, label):
        self.shots += 1
        path = os.path.join(self.work, "%02d-%s.png" % (self.shots, label))
        subprocess.run(["import", "-display", self.env["DISPLAY"], "-window", "root", path], check=True)
        return path


class Picture:
    """An RGB picture read through ImageMagick's binary PPM output."""

    def __init__(self, path):
        data = subprocess.run(["convert", path, "ppm:-"], capture_output=True, check=True).stdout
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def count(self, colour, left, top, right, bottom):
        return sum(1 for y in range(top, bottom) for x in range(left, right) if self.at(x, y) == colour)

    def runs(self, colour, y, left, right):
        """Lengths of the runs of exactly this colour along row y."""
        runs, length = [], 0
        for x in range(left, right):
            if self.at(x, y) == colour:
                length += 1
            elif length:
                runs.append(length)
                length = 0
        if length:
            runs.append(length)
        return runs

    def tray_slot(self, slot=0):
        """The 16 x 16 square of the slot-th tray icon from the right."""
        right = self.width - 6 - 20 * slot
        top = self.height - TASKBAR_HEIGHT + 2
        return (right - 16, top, right, top + 16)

    def tray_colours(self, slot=0):
        left, top, right, bottom = self.tray_slot(slot)
        counts = {}
        for y in range(top, bottom):
            for x in range(left, right):
                c = self.at(x, y)
                counts[c] = counts.get(c, 0) + 1
        return counts


BLACK, GREEN, RED = (0, 0, 0), (0, 128, 0), (255, 0, 0)
TEXT_GREEN = (0, 192, 0)


def tray_mark(picture, slot=0):
    """Which mark the tray slot shows: 'up', 'down', 'neutral' or None."""
    counts = picture.tray_colours(slot)
    for name, colour in (("up", GREEN), ("down", RED), ("neutral", BLACK)):
        if counts.get(colour, 0) >= 40:
            return name
    return None


def gaps(requests):
    """Seconds between consecutive requests."""
    return [b["t"] - a["t"] for a, b in zip(requests, requests[1:])]


def show_window(s):
    s.post(WM_TRAYNOTIFY, 0, WM_LBUTTONUP)
    return s.wait_main(visible=True)


def report_rows(picture, main, line_height=16):
    """The report picture's rows of text (as y ranges) and its rule rows, inside the client area."""
    cx, cy = main["client_x"] + 4, main["client_y"] + 4
    rules = [y - cy for y in range(cy, cy + 600) if any(r > 40 for r in picture.runs(GREEN, y, cx, cx + 500))]
    return cx, cy, rules


def first_column_end(picture, x0, y0, y1, right):
    """Where a row's first column ends: the last text pixel before a black gap of 15 px or more."""
    last, gap = None, 0
    for x in range(x0, right):
        if any(picture.at(x, y) == TEXT_GREEN for y in range(y0, y1)):
            if last is not None and gap >= 15:
                return last
            last, gap = x, 0
        elif last is not None:
            gap += 1
    return last


def rightmost_text(picture, x0, y0, y1, right):
    found = None
    for x in range(x0, right):
        if any(picture.at(x, y) == TEXT_GREEN for y in range(y0, y1)):
            found = x
    return found
