#!/usr/bin/env python3
"""End to end: a screen reader in another process reads the report, and hears of the keyboard's line alone."""
import os, sys, threading, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *
s = Session("access")
heard = []  # (when, (event, child, name)), as the probe's hook prints them
since = lambda start: [e for t, e in heard if t >= start]
plan = lambda test, beta: {"servers": [dict(name=n, group=g, players=p, zones=z) for n, g, p, z in (
    ("Test", 1, test, 0), ("Beta", 2, beta, 10), ("Vox", 2, "DOWN", 0), ("Xegony", 2, 1256, 40))]}


def reported(test, beta, total):
    start = time.monotonic()
    json.dump(plan(test, beta), open(os.path.join(s.work, "statusd.json"), "w"))
    s.check("reported: %d" % total, s.wait("report", lambda: "%d Players on EverQuest" % total in s.tips(), timeout=40))
    return start


try:
    s.reg_clear()
    server = s.start_statusd("127.0.0.41", plan(187, 123))
    s.start_tallowin("127.0.0.41")
    reported(187, 123, 1566)
    main, tree = show_window(s), s.probe("report-object")
    s.check("a list, Server report, of a list item a line read as a sentence, then the total",
            [(c["name"], c["role"]) for c in tree] == [("Server report", 0x21), ("Test, 187 players", 0x22),
            ("Beta, 123 players, 10 zones", 0x22), ("Vox, DOWN", 0x22), ("Xegony, 1256 players, 40 zones", 0x22),
            ("1566 Players on EverQuest", 0x22)] and tree[0]["listed"] == 5, tree)
    s.check("the lines lie in the window one below the other, each found at its place, next to next; the first the keyboard's",
            [c["state"] & 6 for c in tree[1:]] == [6, 0, 0, 0, 0] and all(  # selected and focused
                main["client_x"] <= c["x"] < c["x"] + c["w"] <= main["client_x"] + main["client_w"] and c["hit"] == c["id"] and
                main["client_y"] <= c["y"] < c["y"] + c["h"] <= main["client_y"] + main["client_h"] and c["next"] ==
                {5: -1}.get(c["id"], c["id"] + 1) and c["y"] == main["client_y"] + 4 + c["id"] * c["h"] for c in tree[1:]), tree)
    listener = subprocess.Popen([*s.loader, s.args.probe, "report-events", "200000"], env=s.env, stdout=subprocess.PIPE)
    s.started.append(listener)
    threading.Thread(target=lambda: heard.extend((time.monotonic(), tuple(json.loads(l).values())) for l in listener.stdout),
                     daemon=True).start()
    s.wait("hook", lambda: heard, timeout=20)
    start = reported(190, 124, 1570)  # the keyboard's line and another change
    time.sleep(16)  # and a report with nothing new
    shown = since(start)
    s.check("shown: a name change for the keyboard's line alone", shown == [(0x800C, 1, "Test, 190 players")], shown)
    s.post(WM_SYSCOMMAND, SC_MINIMIZE)
    start = reported(200, 130, 1586)  # hidden
    show_window(s)  # then the keyboard walks the lines; from the first, Down twice and the context-menu key
    subprocess.run(["xdotool", "key", "End", "Up", "Home", "Down", "Down", "Menu"], env=s.env)
    s.choose(s.menu(), 2)  # Watch Vox, then Minimum for Vox...
    s.check("Down twice and the context-menu key: the third line's menu", s.box("Minimum for Vox"), s.boxes())
    s.probe("post", s.box("Minimum for Vox")["hwnd"], WM_COMMAND, IDCANCEL, 0)
    then = sorted(since(start))  # sorted: the hook is called again while it asks for a name
    names = {1: "Test, 200 players", 2: "Beta, 130 players, 10 zones", 3: "Vox, DOWN", 4: "Xegony, 1256 players, 40 zones"}
    s.check("hidden: nothing; shown: the keyboard's line; then each line it moves to",
            then == [(event, line, names[line]) for event in (0x8005, 0x8006) for line in (1, 1, 2, 3, 3, 4)], then)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
