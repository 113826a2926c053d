#!/usr/bin/env python3
"""End to end: a few reports with changing counts, then the query tool reads them back from history.dat."""
import csv, io, json, os, subprocess, sys
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("history")
query = os.path.join(os.path.dirname(s.args.statusd), "tallowin-query")


def scenario(beta):
    return {"servers": [{"name": "Alpha", "group": 1, "players": 100},
                        {"name": "Beta", "group": 2, "players": beta, "zones": 5},
                        {"name": "Vox", "group": 2, "players": "DOWN", "zones": 0}]}


try:
    s.reg_clear()
    s.reg_sz("PrimaryServer", "Beta")
    local = s.wine("cmd", "/c", "echo", "%LOCALAPPDATA%").stdout.decode("latin-1").strip()
    folder = os.path.join(s.args.prefix, "drive_c", *local[3:].split("\\"), "Tallowin")
    path = os.path.join(folder, "history.dat")
    if os.path.exists(path):
        os.remove(path)
    server = s.start_statusd("127.0.0.26", scenario(100))
    p = s.start_tallowin("127.0.0.26")
    for beta in (100, 300, 200):
        with open(os.path.join(s.work, "statusd.json"), "w") as f:
            json.dump(scenario(beta), f)
        shown = s.wait("Beta at %d" % beta, lambda: any(t.startswith("%d Players on Beta" % beta) for t in s.tips()),
                       timeout=40)
        s.check("reporting Beta at %d" % beta, shown, s.tips())
    s.check("closes with 0", s.close_tallowin(p) == 0)
    s.check("the history is saved at exit", os.path.exists(path) and not os.path.exists(os.path.join(folder, "history.tmp")))

    r = subprocess.run([query, "history", path, "--csv"], capture_output=True, text=True)
    rows = list(csv.DictReader(io.StringIO(r.stdout)))
    beta = [row for row in rows if row["server"] == "Beta"]
    s.check("the query tool reads the file", r.returncode == 0 and beta, (r.returncode, r.stderr, rows[:3]))
    if beta:
        s.check("Beta's last count is the last reported", beta[-1]["players"] == "200", beta)
        s.check("and its highest is kept", max(int(row["peak"]) for row in beta) == 300, beta)
    vox = [row for row in rows if row["server"] == "Vox"]
    s.check("DOWN is an empty field", vox and all(row["players"] == "" for row in vox), vox)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
