#!/usr/bin/env python3
"""End to end at 96 and 144 DPI: the report's line pitch and the tray icon grow by half again."""
import os, subprocess, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("dpi")
DISPLAY_KEYS = (r"HKCU\Control Panel\Desktop", r"HKCC\Software\Fonts")


def set_dpi(dpi):
    """Sets the prefix's resolution and restarts its Wine, with the desktop and tray, to take it."""
    for key in DISPLAY_KEYS:
        s.wine("reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
    # As the test scripts set the prefix up: the server, Wine's services and the desktop hold no pipe
    # of the test runner, which would wait for them.
    quiet = dict(env=dict(s.env, WINEPREFIX=s.args.prefix), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                 stderr=subprocess.DEVNULL)
    for step in (["-k"], ["-w"], ["-p"]):
        subprocess.run(["wineserver", *step], **quiet)
    subprocess.run([*s.loader, "reg", "query", r"HKCU\Software\Wine\Explorer"], **quiet)
    subprocess.Popen([*s.loader, "explorer", "/desktop=Tallowin,1024x768"], start_new_session=True, **quiet)
    s.wait("tray", lambda: any(w["class"] == "Shell_TrayWnd" for w in s.probe("windows")), timeout=30)


def measure(dpi):
    """The report's first rule (the line pitch) and the tray icon's width, in pixels."""
    s.reg_clear()
    s.reg_sz("PrimaryServer", "Luclin")
    p = s.start_tallowin("127.0.0.27")
    s.wait("report", lambda: any("Luclin" in t for t in s.tips()), timeout=30)
    # The icon, before the window is shown over the tray: the green disc inside its one-pixel ring.
    tray = Picture(s.screenshot("%d-dpi-tray" % dpi))
    green = [x for y in range(tray.height - 60, tray.height) for x in range(tray.width - 60, tray.width)
             if tray.at(x, y) == GREEN]
    icon = max(green) - min(green) + 3 if green else None
    main = show_window(s)
    time.sleep(1)
    shot = Picture(s.screenshot("%d-dpi" % dpi))
    # The rules lie under the header and over the total line, twelve server lines apart.
    _, _, rows = report_rows(shot, main)
    rules = [y for y in rows if y - 1 not in rows]
    s.close_tallowin(p)
    return ((rules[1] - rules[0]) // 12 if len(rules) == 2 else rules), icon


try:
    server = s.start_statusd("127.0.0.27")
    pitch96, icon96 = measure(96)
    set_dpi(144)
    try:
        pitch144, icon144 = measure(144)
    finally:
        set_dpi(96)
    s.check("96 dpi: 16 px lines and a 16 px icon", (pitch96, icon96) == (16, 16), (pitch96, icon96))
    s.check("144 dpi: both half as large again", pitch96 and icon96 and pitch144 == pitch96 * 3 // 2
            and icon144 == icon96 * 3 // 2, (pitch144, icon144))
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
