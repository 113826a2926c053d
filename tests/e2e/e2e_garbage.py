#!/usr/bin/env python3
"""End to end: garbage while reporting, a names answer the decoder rejects, and a burst of bad datagrams."""
import os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("garbage")
SERVERS = [{"name": "Test", "group": 1, "players": 10}, {"name": "Luclin", "group": 2, "players": 20, "zones": 3}]


def watch_boxes(seconds, close_after=0.8):
    """Box texts in the order they appeared; each box is closed after close_after seconds. Also the
    most boxes seen open at once."""
    seen, first, most = [], {}, 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        boxes = s.boxes()
        most = max(most, len(boxes))
        for b in boxes:
            if b["hwnd"] not in first:
                first[b["hwnd"]] = time.monotonic()
                seen.append(b["text"])
            elif time.monotonic() - first[b["hwnd"]] >= close_after:
                s.probe("close", b["hwnd"])
        time.sleep(0.1)
    return seen, most


try:
    # Short, unknown-code and oversize datagrams while reporting: a box each; the reporting goes on.
    s.reg_clear()
    server = s.start_statusd("127.0.0.24", {"servers": SERVERS, "inject": [
        {"after": 4, "kind": "short"}, {"after": 8, "kind": "unknown"}, {"after": 12, "kind": "oversize"}]})
    p = s.start_tallowin("127.0.0.24")
    s.wait("report", lambda: "30 Players on EverQuest" in s.tips(), timeout=20)
    seen, most = watch_boxes(16)
    s.check("each bad datagram shows its box",
            seen == ["Invalid response received", "Invalid response received", "Winsock read error"], seen)
    s.check("the report is still shown", "30 Players on EverQuest" in s.tips(), s.tips())
    requests = s.requests(server)
    s.check("the status requests went on every 15 s", [r["code"] for r in requests[:4]] ==
            ["names", "status", "status", "status"] and abs(gaps(requests)[2] - 15) < 0.6, gaps(requests))
    s.check("closes with 0", s.close_tallowin(p) == 0)

    # A names answer whose count does not match: the next tick asks for the names again.
    rejected = s.start_statusd("127.0.0.25", {"servers": SERVERS, "names_hex": "ffff0100 05 00 5465737400 4c75636c696e00"},
                               tag="rejected")
    p = s.start_tallowin("127.0.0.25")
    time.sleep(max(0, 19 - (time.monotonic() - p.launched)))
    codes = [r["code"] for r in s.requests(rejected)]
    s.check("names, status, status, then names again", codes[:4] == ["names", "status", "status", "names"], codes)
    s.check("the mismatch counts as reporting (15 s)", abs(gaps(s.requests(rejected))[2] - 15) < 0.6)
    s.check("closes with 0", s.close_tallowin(p) == 0)

    # A burst of 1,000 bad datagrams: boxes never pile up, and the program keeps polling.
    burst = s.start_statusd("127.0.0.26", {"servers": SERVERS, "inject": [{"after": 3, "kind": "short", "count": 1000}]},
                            tag="burst")
    p = s.start_tallowin("127.0.0.26")
    seen, most = watch_boxes(12, close_after=3)
    s.check("at most one box open at once", most == 1, most)
    s.check("the boxes are the invalid-response box", seen and set(seen) == {"Invalid response received"}, seen)
    time.sleep(max(0, 19 - (time.monotonic() - p.launched)))
    watch_boxes(1, close_after=0)
    statuses = [r for r in s.requests(burst) if r["code"] == "status"]
    s.check("polling goes on after the burst", len(statuses) >= 3 and statuses[-1]["t"] > 15, len(statuses))
    s.check("still running and closes with 0", p.poll() is None and s.close_tallowin(p) == 0)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
