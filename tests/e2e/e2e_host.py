#!/usr/bin/env python3
"""End to end: the status host is the user's to choose, and may be away at start."""
import os, sys, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

ID_OPTIONS, IDC_STATUS_SERVICE, IDC_STATUS_HOST = 40001, 1030, 1031
def servers(luclin):
    return {"servers": [{"name": "Test", "group": 1, "players": 10},
                        {"name": "Luclin", "group": 2, "players": luclin, "zones": 3}]}

s = Session("host")
try:
    # A host that cannot be found at start (a laptop whose network is not up at logon): no box, the
    # tooltip names the host, and it is found once it resolves. The program gets a hosts file of its
    # own, in a mount namespace of its own, to which the name is added while it runs.
    hosts = os.path.join(s.work, "hosts")
    with open("/etc/hosts") as f:
        base = f.read()
    with open(hosts, "w") as f:
        f.write(base)
    private = subprocess.run(["unshare", "-m", "sh", "-c", 'mount --bind "$1" /etc/hosts', "sh", hosts]).returncode == 0
    wrapper = ["unshare", "-m", "sh", "-c", 'mount --bind "$0" /etc/hosts && exec "$@"', hosts] if private else []
    s.reg_clear()
    s.reg_sz("StatusHost", "no..such.host")
    server = s.start_statusd("127.0.0.31", servers(20))
    p = s.start_tallowin(None, wrapper)
    s.check("it starts", s.wait("main window", s.main_window, timeout=20))
    tip = s.wait("tip", lambda: [t for t in s.tips() if t.startswith("Cannot find")], timeout=20)
    s.check("the tooltip says the service cannot be found, naming the host",
            tip and tip[0].startswith("Cannot find the status service at no..such.host"), s.tips())
    s.check("no box", not s.boxes(), s.boxes())
    s.check("a screen reader hears it", [c["name"] for c in s.probe("report-object")] == ["Server report", "Cannot find the status service at no..such.host, trying again..."])
    if private:
        with open(hosts, "a") as f:  # in place: the bind mount holds this file
            f.write("127.0.0.31 no..such.host\n")
        s.check("it reports once the host resolves",
                s.wait("report", lambda: "30 Players on EverQuest" in s.tips(), timeout=40), s.tips())
        s.check("and asked the host for its names first", [r["code"] for r in s.requests(server)][:1] == ["names"])
    else:
        print("note: no private mount namespace here (unshare -m): the host is not made to resolve later")
    s.check("closes with 0", s.close_tallowin(p) == 0)

    # A host set in the registry whose port answers nothing (errors on the socket), then one chosen in
    # Options while running, then another: names are asked of each new host at once.
    def choose_host(shown, chosen):
        s.post(WM_COMMAND, ID_OPTIONS)
        options = s.box("Tallowin Options")
        if options:
            s.probe("post", s.controls(options)[IDC_STATUS_SERVICE]["hwnd"], BM_CLICK, 0, 0)
        service = options and s.box("Status service")
        s.check("Options opens the Status service dialog, showing " + shown,
                service and s.controls(service)[IDC_STATUS_HOST]["text"] == shown)
        if service:
            s.probe("settext", service["hwnd"], IDC_STATUS_HOST, chosen)
            s.probe("post", service["hwnd"], WM_COMMAND, IDOK, 0)
            s.wait("closed", lambda: not [b for b in s.boxes() if b["caption"] == "Status service"])
        s.probe("post", options and options["hwnd"], WM_COMMAND, IDOK, 0)
        return time.monotonic()
    s.reg_clear()
    s.reg_sz("StatusHost", "127.0.0.32:24299")
    first = s.start_statusd("127.0.0.32", servers(20), tag="first")
    second = s.start_statusd("127.0.0.33", servers(45), tag="second")
    p = s.start_tallowin(None)
    s.wait("main window", s.main_window, timeout=20) and time.sleep(4)
    choose_host("127.0.0.32:24299", "127.0.0.32")
    s.check("a host chosen after one that answered nothing reports",
            s.wait("report", lambda: "30 Players on EverQuest" in s.tips(), timeout=30), s.tips())
    changed = choose_host("127.0.0.32", "127.0.0.33:24252")
    s.check("the new host reports", s.wait("new report", lambda: "55 Players on EverQuest" in s.tips(), timeout=20),
            s.tips())
    asked = s.requests(second)
    s.check("its names are asked first, at once", asked and asked[0]["code"] == "names", asked[:2])
    s.check("the old host is asked no more",
            s.wait("quiet", lambda: time.monotonic() - changed > 16) and
            not [r for r in s.requests(first) if r["unix"] > asked[0]["unix"] + 1], s.requests(first)[-2:])
    s.check("closes with 0", s.close_tallowin(p) == 0)
    s.check("the host is saved", (s.reg_values() or {}).get("StatusHost", ("", ""))[1] == "127.0.0.33:24252",
            s.reg_values())
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
s.finish()
