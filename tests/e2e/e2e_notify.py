#!/usr/bin/env python3
"""End to end: a balloon when the primary server goes down, none at the first report."""
import json, os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("notify")


def scenario(beta_players):
    return {"servers": [{"name": "Alpha", "group": 1, "players": 100},
                        {"name": "Beta", "group": 2, "players": beta_players, "zones": 5}]}


try:
    s.reg_clear()
    s.reg_sz("PrimaryServer", "Beta")
    s.reg_dword("MinPlayers", 3)
    server = s.start_statusd("127.0.0.25", scenario(123))
    p = s.start_tallowin("127.0.0.25")
    up = s.wait("report", lambda: "123 Players on Beta,\r\n223 Players on EverQuest" in s.tips(), timeout=20)
    s.check("reporting Beta up", up, s.tips())
    # The shell shows a balloon about two seconds after it is asked to; give it longer.
    quiet = all(not s.balloons() and time.sleep(0.5) is None for _ in range(10))
    s.check("no balloon at the first report", quiet)

    # The service now reports Beta down: the report after next shows it, with a balloon.
    with open(os.path.join(s.work, "statusd.json"), "w") as f:
        json.dump(scenario("DOWN"), f)
    shown = s.wait("balloon", s.balloons, timeout=45, interval=0.5)
    s.check("a balloon says Beta is down", shown == ["Beta is DOWN"], shown)
    s.screenshot("balloon")
    s.check("the tooltip agrees", any(t.startswith("Beta is DOWN,") for t in s.tips()), s.tips())
    s.check("closes with 0", s.close_tallowin(p) == 0)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
