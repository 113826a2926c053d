#!/usr/bin/env python3
"""End to end (slow, about 3.5 minutes): a service that stops answering; the held report goes stale 180 s after
the last status answer, though names answers keep arriving unasked once a minute."""
import os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("stale")
try:
    s.reg_clear()
    scenario = {"servers": [{"name": "Test", "group": 1, "players": 10},
                            {"name": "Luclin", "group": 2, "players": 20, "zones": 3}]}
    answers = os.path.join(s.work, "answers")
    os.makedirs(answers)
    subprocess.run([s.args.statusd, "--write-answers", answers, "--scenario", s.write_json("plain.json", scenario)],
                   check=True)
    with open(os.path.join(answers, "names.bin"), "rb") as f:
        names = f.read().hex()
    stray = [{"after": t, "kind": "hex", "hex": names} for t in (40, 100, 160, 220)]
    server = s.start_statusd("127.0.0.27", dict(scenario, stop_after=2.5, inject=stray))
    p = s.start_tallowin("127.0.0.27")
    s.check("reporting", s.wait("report", lambda: "30 Players on EverQuest" in s.tips(), timeout=45))
    time.sleep(100)
    s.check("the held report stays while it is fresh", "30 Players on EverQuest" in s.tips(), s.tips())
    stale = s.wait("stale", lambda: "Waiting for server status..." in s.tips(), timeout=120, interval=1)
    s.check("after the limit the program waits for the status", stale, s.tips())
    time.sleep(4)
    requests = s.requests(server)
    answered = [r for r in requests if r["answered"]]
    last_answer = answered[-1]["t"]
    unanswered = [r for r in requests if not r["answered"]]
    g = gaps(unanswered)
    # Ticks stay 15 s apart until one finds the last datagram 180 s or more in the past; the back-off
    # then starts again at 1 s.
    first_short = next((i for i, x in enumerate(g) if x < 2), None)
    s.check("15 s apart while the report is held", first_short is not None and all(abs(x - 15) < 0.6 for x in g[:first_short]),
            g)
    if first_short is not None:
        stale_tick = unanswered[first_short]["t"]
        s.check("stale from 180 s after the last status answer", 180 <= stale_tick - last_answer < 196,
                stale_tick - last_answer)
        s.check("then 1 s apart", all(abs(x - 1) < 0.35 for x in g[first_short:]), g[first_short:])
    s.check("status is asked for, not names", all(r["code"] == "status" for r in unanswered))
    s.check("closes with 0", s.close_tallowin(p) == 0)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
