#!/usr/bin/env python3
"""End to end: the tray and client-area menus, About, the chat banner, Launch with no path, and Options."""
import os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("menus")
# Places of the tray menu's items as the arrow keys reach them (separators are passed over). Visit Webpage
# and Email Author are never chosen here: they would hand an address to the host's browser or mailer.
OPTIONS, CHAT_BANNER, LAUNCH, ABOUT, CLOSE = 2, 3, 4, 5, 10
BANNER = "Welcome to EverQuest! Server maintenance is planned for Wednesday at 5 AM."
try:
    s.reg_clear()
    s.wine("reg", "delete", RUN_KEY, "/v", "Tallowin", "/f")
    s.reg_sz("PrimaryServer", "Luclin")
    server = s.start_statusd("127.0.0.24")
    p = s.start_tallowin("127.0.0.24")
    s.check("reporting", s.wait("report", lambda: any("Luclin" in t for t in s.tips()), timeout=20), s.tips())
    main = s.main_window()

    # A right click on the tray icon: the menu opens over the tray; About shows the file version.
    s.click_tray(3)
    tray_menu = s.menu()
    s.check("a right click on the icon opens the menu", tray_menu, tray_menu)
    s.screenshot("tray-menu")
    s.check("while the window stays hidden", not s.main_window()["visible"])
    s.choose(tray_menu, ABOUT)
    about = s.box("About Tallowin")
    text = about and [c["text"] for c in s.controls(about).values() if c["id"] == 1000]
    s.check("About shows the version line", text and text[0].split("\n")[0] == "Tallowin Version %s.0" % s.args.version, text)
    s.check("About is owned by the main window", about and about["owner"] == main["hwnd"], about)
    if about:
        s.probe("post", about["hwnd"], WM_COMMAND, IDCANCEL, 0)

    # The chat banner: a request goes out and the simulator's banner is shown when it comes back.
    s.click_tray(3)
    s.choose(s.menu(), CHAT_BANNER)
    banner = s.box("Chat Banner")
    s.check("the chat banner box shows the banner", banner and banner["text"] == BANNER, banner)
    s.check("one banner request", [r["code"] for r in s.requests(server)].count("banner") == 1)
    if banner:
        s.probe("close", banner["hwnd"])

    # Launch with no path set.
    s.click_tray(3)
    s.choose(s.menu(), LAUNCH)
    box = s.box("Error")
    s.check("Launch without a path says so", box and box["text"] == "EverQuest exe path not specified"
            and box["owner"] == main["hwnd"], box)
    if box:
        s.probe("close", box["hwnd"])

    # The client-area menu below the report: at the click, without Show, so one item shorter than
    # the tray menu (on a server's line it would offer to watch that server too).
    main = show_window(s)
    x, y = main["client_x"] + 60, main["client_y"] + 400
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "3"], env=s.env)
    client_menu = s.menu()
    s.screenshot("client-menu")
    s.check("a right click in the window opens the menu at the click", client_menu and
            (client_menu["left"], client_menu["top"]) == (x, y), client_menu)
    if client_menu and tray_menu:
        item = (tray_menu["bottom"] - tray_menu["top"]) - (client_menu["bottom"] - client_menu["top"])
        s.check("the client-area menu has one item fewer", 12 <= item <= 30, item)
        s.probe("post", client_menu["hwnd"], WM_KEYDOWN, VK_ESCAPE, 0)
        s.check("Esc closes it", s.wait("menu closed", lambda: not s.probe("menu"), timeout=5))

    # Options, from the tray menu: the stored primary is selected; a new minimum and the Run entry.
    s.post(WM_SYSCOMMAND, SC_MINIMIZE)
    s.click_tray(3)
    s.choose(s.menu(), OPTIONS)
    options = s.box("Tallowin Options")
    controls = s.controls(options) if options else {}
    s.check("Options shows the primary server and the minimum",
            controls and controls[1000]["text"] == "Luclin" and controls[1007]["text"] == "3", controls)
    if options:
        s.probe("settext", options["hwnd"], 1007, "7")
        s.probe("post", controls[1003]["hwnd"], BM_CLICK, 0, 0)
        time.sleep(0.3)
        s.probe("post", options["hwnd"], WM_COMMAND, IDOK, 0)
        s.wait("Options closed", lambda: not [b for b in s.boxes() if b["caption"] == "Tallowin Options"])
    run = (s.reg_values(RUN_KEY) or {}).get("Tallowin")
    s.check("OK writes the Run entry at once, quoted", run and run[0] == "REG_SZ" and run[1].startswith('"')
            and run[1].endswith('Tallowin.exe"'), run)
    s.check("and nothing of the settings before exit", "MinPlayers" not in (s.reg_values() or {}), s.reg_values())

    # Close from the tray menu: the settings hold the new minimum and the primary server.
    s.click_tray(3)
    s.choose(s.menu(), CLOSE)
    try:
        code = p.wait(20)
    except subprocess.TimeoutExpired:
        code = None
    s.check("Close ends the program with 0", code == 0, code)
    values = s.reg_values() or {}
    s.check("the new minimum is saved", values.get("MinPlayers", ("", ""))[1] == "0x7", values)
    s.check("the primary server is kept", values.get("PrimaryServer", ("", ""))[1] == "Luclin", values)
    s.check("RunOnStartup is saved", values.get("RunOnStartup", ("", ""))[1] == "0x1", values)
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.wine("reg", "delete", RUN_KEY, "/v", "Tallowin", "/f")
s.finish()
