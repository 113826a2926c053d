#!/usr/bin/env python3
"""End to end: the release package unpacks to the program, the query tool and the README, and the
unpacked program starts and shows its tray icon."""
import glob, os, sys, time, zipfile
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("release", extra_options=("--dist",))
try:
    package, = glob.glob(os.path.join(s.args.dist, "Tallowin-%s*-%s.zip" % (s.args.version, s.args.arch)))
    with zipfile.ZipFile(package) as z:
        names = sorted(z.namelist())
        z.extractall(os.path.join(s.work, "unpacked"))
    s.check("the package holds the program, the query tool and the README",
            names == ["README.txt", "Tallowin.exe", "tallowin-query.exe"], names)
    s.args.exe = os.path.join(s.work, "unpacked", "Tallowin.exe")
    s.reg_clear()
    server = s.start_statusd("127.0.0.26")
    p = s.start_tallowin("127.0.0.26")
    mark = s.wait("tray icon", lambda: tray_mark(Picture(s.screenshot("tray"))), timeout=30, interval=0.5)
    s.check("the unpacked program shows its tray icon", mark is not None, mark)
    s.check("and reports", s.wait("report", lambda: any("Players on EverQuest" in t for t in s.tips()), timeout=20),
            s.tips())
    s.check("closes with 0", s.close_tallowin(p) == 0)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
