#!/usr/bin/env python3
"""End to end: the poll cycle's timing, the report in the window, and the tray icon and tooltip."""
import os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("poll")
TOTAL = "8098 Players on EverQuest"
try:
    server = s.start_statusd("127.0.0.22")
    cases = [("", 3, "neutral", TOTAL),
             ("Luclin", 3, "up", "1402 Players on Luclin,\r\n" + TOTAL),
             ("Vox", 0, "down", "Vox is DOWN,\r\n" + TOTAL),
             ("Luclin", 2000, "down", ("Luclin has 1402 players, fewer than 2000,\r\n" + TOTAL)[:63])]
    for primary, minimum, mark, tip in cases:
        s.reg_clear()
        s.reg_sz("PrimaryServer", primary)
        s.reg_dword("MinPlayers", minimum)
        before = len(s.requests(server))
        p = s.start_tallowin("127.0.0.22")
        got = s.wait("tooltip", lambda: tip in s.tips(), timeout=20)
        label = "%s/%d" % (primary or "none", minimum)
        s.check("tooltip for %s" % label, got, s.tips())
        shot = Picture(s.screenshot("tray-" + label.replace("/", "-")))
        s.check("%s icon for %s" % (mark, label), tray_mark(shot) == mark, shot.tray_colours())

        if primary == "Luclin" and minimum == 3:
            # A normal start: names, status a second later, the report a second after that, then every 15 s.
            time.sleep(max(0, 18.5 - (time.monotonic() - p.launched)))
            requests = s.requests(server)[before:]
            codes = [r["code"] for r in requests]
            s.check("names, then status requests", codes[:4] == ["names", "status", "status", "status"], codes)
            g = gaps(requests)
            s.check("1 s, 1 s, then 15 s apart", len(g) >= 3 and abs(g[0] - 1) < 0.3 and abs(g[1] - 1) < 0.3
                    and abs(g[2] - 15) < 0.5, g)
            s.check("every request is 4 bytes", all(r["length"] == 4 for r in requests))

            main = show_window(s)
            time.sleep(0.5)
            shot = Picture(s.screenshot("report"))
            cx, cy, rules = report_rows(shot, main)
            s.check("two rules: below the header and above the total", len(rules) == 2 and rules[0] == 16
                    and rules[1] == 13 * 16, rules)
            s.check("green text", shot.count(TEXT_GREEN, cx, cy, cx + 400, cy + 14 * 16) > 1000)
            # The widest name (row 5, Erollisi Marr) sets the stops: the zones column ends 150 px after it.
            name_end = first_column_end(shot, cx, cy + 5 * 16, cy + 6 * 16, cx + 400)
            # (the graph column's heading follows the zones column, at least 2 px on)
            zones_end = name_end and rightmost_text(shot, cx, cy, cy + 16, name_end + 152)
            s.check("columns follow the widest name", name_end and zones_end and 146 <= zones_end - name_end <= 156,
                    (name_end, zones_end))
        code = s.close_tallowin(p)
        s.check("closes with 0 (%s)" % label, code == 0, code)
    server.terminate()
    server.wait(10)

    # A service that never answers: names requests 1 s apart for the first ten, then 5 s apart.
    s.reg_clear()
    silent = s.start_statusd("127.0.0.23", {"servers": [{"name": "A", "group": 1, "players": 1}], "silent": True},
                             tag="silent")
    p = s.start_tallowin("127.0.0.23")
    time.sleep(3)
    main = show_window(s)
    time.sleep(0.5)
    shot = Picture(s.screenshot("waiting"))
    cx, cy, rules = report_rows(shot, main)
    s.check("waiting text without rules", not rules and shot.count(TEXT_GREEN, cx, cy, cx + 300, cy + 16) > 100)
    s.check("tooltip says it waits for names", "Waiting for server names..." in s.tips(), s.tips())
    s.check("neutral icon while waiting", tray_mark(shot) == "neutral")
    time.sleep(max(0, 71 - (time.monotonic() - p.launched)))
    requests = s.requests(silent)
    g = gaps(requests)
    s.check("only names requests", {r["code"] for r in requests} == {"names"}, {r["code"] for r in requests})
    s.check("nine gaps of 1 s", len(g) >= 9 and all(abs(x - 1) < 0.35 for x in g[:9]), g[:9])
    s.check("then gaps of 5 s", len(g) >= 19 and all(abs(x - 5) < 0.5 for x in g[9:19]), g[9:19])
    s.check("still waiting for names", "Waiting for server names..." in s.tips())
    s.check("closes with 0", s.close_tallowin(p) == 0)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
