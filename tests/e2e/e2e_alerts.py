#!/usr/bin/env python3
"""End to end: a change reaches the alert command (a hostile name only in its environment), a local
webhook (and a webhook that stalls holds up nothing), and the tray icon carries the count."""
import http.server, json, os, re, socketserver, sys, threading, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("alerts")
EVIL, ADDRESS, HOOK_PORT = 'Evil" & del x & "', "127.0.0.27", 24280
posts, stall = [], threading.Event()


class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        posts.append({"t": time.monotonic(), "path": self.path, "type": self.headers.get("Content-Type"),
                      "body": self.rfile.read(int(self.headers.get("Content-Length", 0)))})
        if stall.is_set():
            return time.sleep(40)  # never answers in the program's time
        self.send_response(204)
        self.end_headers()

    def log_message(self, *args):
        pass


def set_scenario(players, write=True):
    scenario = {"servers": [{"name": "Alpha", "group": 1, "players": 100},
                            {"name": EVIL, "group": 2, "players": players, "zones": 5}]}
    if write:
        json.dump(scenario, open(os.path.join(s.work, "statusd.json"), "w"))
    return scenario


windows_path = lambda path: "Z:" + os.path.abspath(path).replace("/", "\\")
outlined = lambda picture: picture.tray_colours().get(BLACK, 0)  # the count's outline; the icons have no black
hook = socketserver.ThreadingTCPServer((ADDRESS, HOOK_PORT), Hook)
hook.daemon_threads = True
threading.Thread(target=hook.serve_forever, daemon=True).start()
try:
    runs = os.path.join(s.work, "runs")
    os.makedirs(runs)
    command = '"%s" record %s' % (windows_path(s.args.probe), windows_path(runs))
    escaped = lambda text: text.replace("\\", "\\\\").replace('"', '\\"')
    with open(os.path.join(s.work, "alerts.reg"), "w") as f:
        f.write('REGEDIT4\r\n\r\n[%s]\r\n"PrimaryServer"="%s"\r\n"AlertCommand"="%s"\r\n"AlertWebhook"="%s"\r\n'
                '"TrayShowsCount"=dword:00000001\r\n' % (KEY.replace("HKCU", "HKEY_CURRENT_USER"), escaped(EVIL),
                                                         escaped(command), "http://%s:%d/hook/secret-token" % (ADDRESS, HOOK_PORT)))
    s.reg_clear()
    s.wine("reg", "import", windows_path(f.name))
    server = s.start_statusd(ADDRESS, set_scenario(123, write=False))
    started = time.monotonic()
    p = s.start_tallowin(ADDRESS)
    up = s.wait("report", lambda: any(t.startswith("123 Players on Evil") for t in s.tips()), timeout=20)
    time.sleep(1)
    s.check("reporting the hostile server up, its count on the icon", up and outlined(Picture(s.screenshot("count"))) >= 10)

    set_scenario("DOWN")
    shown = s.wait("balloon", s.balloons, timeout=75, interval=0.5)
    s.check("the balloon tells of it", shown == [EVIL + " is DOWN"], shown)
    recorded = s.wait("the command's run", lambda: os.listdir(runs), timeout=10)
    run = json.load(open(os.path.join(runs, recorded[0]), encoding="latin-1")) if recorded else {}
    s.check("the command line is run as written, without a console window", run.get("command_line", "").strip() == command
            and run.get("console_window") is False, run)
    s.check("the change is in its environment only", run.get("TALLOWIN_SERVER") == EVIL and run.get("TALLOWIN_STATE") == "down"
            and run.get("TALLOWIN_PLAYERS") == "" and run.get("TALLOWIN_MINIMUM") == "3" and run.get("TALLOWIN_MESSAGE") ==
            EVIL + " is DOWN" and re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d", run.get("TALLOWIN_TIME", "")), run)
    body = json.loads(posts[0]["body"]) if len(posts) == 1 else {}
    s.check("one POST of JSON whose Discord and Slack fields carry the balloon's text", len(posts) == 1 and
            posts[0]["path"] == "/hook/secret-token" and posts[0]["type"] == "application/json" and
            body.get("content") == EVIL + " is DOWN" and body.get("text") == 'Evil" &amp; del x &amp; " is DOWN' and
            body.get("allowed_mentions") == {"parse": []}, posts)
    if posts:  # the report that confirmed the change is the status request sent as it was decoded
        confirming = [r for r in s.requests(server) if r["code"] == "status" and started + r["t"] <= posts[0]["t"]][-1]
        print("measure: from the confirming report to the webhook's arrival: %.0f ms" %
              (1000 * (posts[0]["t"] - started - confirming["t"])))
    time.sleep(1)
    shot = Picture(s.screenshot("down"))
    s.check("DOWN shows the down icon without a number", tray_mark(shot) == "down" and outlined(shot) < 4, shot.tray_colours())

    # A webhook that never answers holds up neither the reports nor the exit, and is tried once more.
    stall.set()
    set_scenario(250)
    told = s.wait("balloon up", lambda: [b for b in s.balloons() if "is up" in b], timeout=75, interval=0.5)
    set_scenario(260)
    moved = s.wait("tooltip", lambda: any(t.startswith("260 Players") for t in s.tips()), timeout=40)
    s.check("changes are told and reports go on while the webhook stalls", told and moved, (told, s.tips()))
    retried = s.wait("the retry", lambda: len(posts) >= 3, timeout=100, interval=1)
    s.check("the failed post is tried once more, a minute after it timed out",
            retried and 65 <= posts[2]["t"] - posts[1]["t"] <= 85, [round(q["t"] - started) for q in posts])
    closing = time.monotonic()
    code = s.close_tallowin(p)
    s.check("a post under way holds up the exit at most two seconds", code == 0 and time.monotonic() - closing < 6,
            (code, time.monotonic() - closing))
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
hook.shutdown()
s.finish()
