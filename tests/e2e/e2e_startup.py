#!/usr/bin/env python3
"""End to end: start-up, the tray icon, showing and hiding the window, a second start, closing."""
import os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("startup")
try:
    # A normal start at a stored placement.
    s.reg_clear()
    s.reg_dword("X", 120)
    s.reg_dword("Y", 40)
    s.reg_dword("Width", 420)
    s.reg_dword("Height", 520)
    server = s.start_statusd("127.0.0.21")
    p = s.start_tallowin("127.0.0.21")
    main = s.wait("main window", s.main_window, timeout=20)
    s.check("the main window exists", main)
    shot = Picture(s.screenshot("started"))
    s.check("the tray icon appears (neutral mark)", tray_mark(shot) == "neutral", shot.tray_colours())
    s.check("the window stays hidden", main and not main["visible"], main)
    s.wait("report", lambda: any(r["code"] == "status" for r in s.requests(server)) and time.sleep(1.5) is None)

    # A left click on the tray icon shows the window where it was stored, with its picture.
    left, top, right, bottom = shot.tray_slot()
    subprocess.run(["xdotool", "mousemove", str(left + 8), str(top + 8), "click", "1"], env=s.env)
    main = s.wait_main(visible=True)
    s.check("a tray click shows the window", main, main)
    if main:
        s.check("at the stored placement", (main["left"], main["top"], main["right"] - main["left"],
                                            main["bottom"] - main["top"]) == (120, 40, 420, 520), main)
        time.sleep(0.5)
        shot = Picture(s.screenshot("shown"))
        cx, cy = main["client_x"], main["client_y"]
        s.check("black margin left of and above the picture",
                shot.count(BLACK, cx, cy, cx + 4, cy + 200) == 4 * 200 and shot.count(BLACK, cx, cy, cx + 200, cy + 4) == 800)
        s.check("green report text in the window",
                shot.count(TEXT_GREEN, cx + 4, cy + 4, cx + 300, cy + 250) > 300)
        rules = [y for y in range(cy + 4, cy + 300) if any(r > 60 for r in shot.runs(GREEN, y, cx, cx + 400))]
        s.check("two rules drawn", len(rules) == 2, rules)

    # Minimising hides the window; the tray icon stays; a second start restores it and adds no icon.
    s.post(WM_SYSCOMMAND, SC_MINIMIZE)
    main = s.wait_main(visible=False)
    s.check("minimising hides the window", main and main["iconic"], main)
    second = s.start_tallowin("127.0.0.21")
    s.check("a second start exits 0", second.wait(30) == 0)
    main = s.wait_main(visible=True)
    s.check("the second start restores the running window", main and not main["iconic"], main)
    shot = Picture(s.screenshot("second-start"))
    s.check("still one main window", len(s.main_windows()) == 1)
    s.check("no second tray icon", tray_mark(shot, 1) is None and tray_mark(shot) is not None,
            shot.tray_colours(1))

    # Explorer restarting takes the icon away; the program puts it back.
    s.probe("tray-remove")
    time.sleep(0.5)
    s.check("removing the icon shows in the tray", tray_mark(Picture(s.screenshot("removed"))) is None)
    s.probe("taskbar-restart")
    back = s.wait("icon back", lambda: tray_mark(Picture(s.screenshot("re-added"))), timeout=5)
    s.check("the icon comes back after the taskbar is re-created", back is not None)

    # Moving the window is recorded; closing saves the values once and removes the icon.
    s.probe("move", 200, 100, 380, 460)
    time.sleep(0.3)
    code = s.close_tallowin(p)
    s.check("closing the window ends the program with 0", code == 0, code)
    s.check("the tray icon is removed", tray_mark(Picture(s.screenshot("closed"))) is None)
    values = s.reg_values() or {}
    s.check("all values saved", sorted(values) == sorted(["X", "Y", "Width", "Height", "Maximized", "PrimaryServer",
                                                           "EverquestExe", "SortOrder", "RunOnStartup", "MinPlayers",
                                                           "NotifyChanges", "AlertSound", "WatchedServers",
                                                           "ServerMinimums", "AlertCommand", "AlertWebhook",
                                                           "TrayShowsCount", "StatusHost"]),
            values)
    s.check("the last placement is saved",
            [values.get(k, ("", ""))[1] for k in ("X", "Y", "Width", "Height", "Maximized")] ==
            ["0xc8", "0x64", "0x17c", "0x1cc", "0x0"], values)
    s.check("empty texts are saved as REG_SZ", values.get("EverquestExe", ("",))[0] == "REG_SZ")
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
