#!/usr/bin/env python3
"""End to end: two watched servers go down in the same report, and one balloon names both."""
import json, os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("notify")


def scenario(beta, gamma):
    return {"servers": [{"name": "Alpha", "group": 1, "players": 100},
                        {"name": "Beta", "group": 2, "players": beta, "zones": 5},
                        {"name": "Gamma", "group": 2, "players": gamma, "zones": 6}]}


try:
    s.reg_clear()
    s.reg_sz("PrimaryServer", "Beta")
    s.wine("reg", "add", KEY, "/v", "WatchedServers", "/t", "REG_MULTI_SZ", "/d", "Gamma", "/f")
    server = s.start_statusd("127.0.0.25", scenario(123, 40))
    p = s.start_tallowin("127.0.0.25")
    up = s.wait("report", lambda: "123 Players on Beta,\r\n263 Players on EverQuest" in s.tips(), timeout=20)
    s.check("reporting Beta up", up, s.tips())
    # The shell shows a balloon about two seconds after it is asked to; give it longer.
    quiet = all(not s.balloons() and time.sleep(0.5) is None for _ in range(10))
    s.check("no balloon at the first report", quiet)

    # Both go down at once: told together once the second report confirms it.
    with open(os.path.join(s.work, "statusd.json"), "w") as f:
        json.dump(scenario("DOWN", "DOWN"), f)
    shown = s.wait("balloon", s.balloons, timeout=75, interval=0.5)
    s.check("one balloon names both", shown == ["Beta and Gamma are DOWN"], shown)
    s.screenshot("balloon")
    s.check("the tooltip agrees", any(t.startswith("Beta is DOWN,") for t in s.tips()), s.tips())
    s.check("closes with 0", s.close_tallowin(p) == 0)
    watched = (s.reg_values() or {}).get("WatchedServers")
    s.check("the watch list is saved", watched and watched[0] == "REG_MULTI_SZ" and watched[1] == "Gamma", watched)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
