#!/usr/bin/env python3
"""End to end: a change reaches a batch file (a hostile name only in its environment, as one word), a local webhook
(one that stalls holds up nothing, a redirect is not followed), the tray icon; Browse loads no planted comdlg32.dll."""
import http.server, json, os, re, shutil, socketserver, sys, threading, time
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

s = Session("alerts")
EVIL, ADDRESS, HOOK_PORT = 'defined PATH mkdir p1 & mkdir p2 "& mkdir p3 %OS% !OS!', "127.0.0.27", 24280
WORD = "defined_PATH_mkdir_p1___mkdir_p2____mkdir_p3__OS___OS_"  # all but - . ' ` _ letters and digits is _
posts, stall, redirect = [], threading.Event(), threading.Event()


class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        posts.append({"t": time.monotonic(), "path": self.path, "type": self.headers.get("Content-Type"),
                      "body": self.rfile.read(int(self.headers.get("Content-Length", 0)))})
        if stall.is_set():
            return time.sleep(40)  # never answers in the program's time
        self.send_response(301 if redirect.is_set() else 204)
        self.send_header("Location", "http://%s:%d/landing/secret" % (ADDRESS, HOOK_PORT))
        self.end_headers()
    do_GET = do_POST  # a 301 followed becomes a GET

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
    runs, app = os.path.join(s.work, "runs"), os.path.join(s.work, "app")
    os.makedirs(runs)
    with open(os.path.join(s.work, "alert.bat"), "w", newline="\r\n") as f:
        f.write('@echo off\ncd /d "%%~dp0"\necho %%TALLOWIN_SERVER%%>>seen\necho "%%TALLOWIN_SERVER%%">>seen\n'
                'echo %%TALLOWIN_MESSAGE%%>>seen\nif %%TALLOWIN_SERVER%%==x echo same>>seen\nsetlocal enabledelayedexpansion\n'
                'echo !TALLOWIN_SERVER!>>seen\n"%s" record %s\n' % (windows_path(s.args.probe), windows_path(runs)))
    command = '"%s"' % windows_path(f.name)
    s.args.exe = shutil.copy(s.args.exe, shutil.copytree(os.path.join(os.path.dirname(s.args.probe), "planted"), app))
    s.env["WINEDLLOVERRIDES"] = s.env.get("WINEDLLOVERRIDES", "") + ";comdlg32=n,b"
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
    up = s.wait("report", lambda: any(t.startswith("123 Players on defined") for t in s.tips()), timeout=20)
    time.sleep(1)
    s.check("reporting the hostile server up, its count on the icon", up and outlined(Picture(s.screenshot("count"))) >= 10)

    set_scenario("DOWN")
    shown = s.wait("balloon", s.balloons, timeout=75, interval=0.5)
    s.check("the balloon tells of it", shown == [EVIL + " is DOWN"], shown)
    recorded = s.wait("the command's run", lambda: os.listdir(runs), timeout=10)
    run = json.load(open(os.path.join(runs, recorded[0]), encoding="latin-1")) if recorded else {}
    seen = open(os.path.join(s.work, "seen")).read() if recorded else ""
    s.check("the batch file saw the name as one word, plain, quoted or not, and ran nothing of it", seen == "%s\n\"%s\"\n%s is "
            "DOWN\n%s\n" % (WORD, WORD, WORD, WORD) and not {"p1", "p2", "p3"} & set(os.listdir(s.work)), seen)
    s.check("the change is in its environment only, without a console window", run.get("TALLOWIN_SERVER") == WORD and run.get(
            "TALLOWIN_STATE") == "down" and run.get("console_window") is False and run.get("TALLOWIN_PLAYERS") == "" and
            run.get("TALLOWIN_MINIMUM") == "3" and run.get("TALLOWIN_MESSAGE") == WORD + " is DOWN" and
            re.fullmatch(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d", run.get("TALLOWIN_TIME", "")), run)
    body = json.loads(posts[0]["body"]) if len(posts) == 1 else {}
    s.check("one POST of JSON whose Discord and Slack fields carry the balloon's text", len(posts) == 1 and
            posts[0]["path"] == "/hook/secret-token" and posts[0]["type"] == "application/json" and
            body.get("content") == EVIL + " is DOWN" and body.get("text") == EVIL.replace("&", "&amp;") + " is DOWN" and
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
    # Options, Alerts: Test a webhook that redirects; Browse, beside a comdlg32.dll planted with the program.
    stall.clear()
    redirect.set()
    dialogs = [s.post(WM_COMMAND, 40001) or s.box("Tallowin Options")]
    for button, caption in ((1010, "Tallowin Alerts"), (1016, None), (1013, "Select the Program to Run")):
        s.probe("post", dialogs[-1] and dialogs[-1]["hwnd"], WM_COMMAND, button, 0)
        dialogs += [s.box(caption)] if caption else []
    s.check("a redirect fails, is not followed, and is tried again", s.wait("the retry", lambda: len(posts) >= 5, timeout=80)
            and not [q for q in posts if q["path"].startswith("/landing")], [q["path"] for q in posts])
    s.check("Browse opens the file dialog, and comdlg32.dll beside the program is not loaded",
            dialogs[-1] and "comdlg32.dll.loaded" not in os.listdir(app), (dialogs, os.listdir(app)))
    for dialog in reversed(dialogs):
        s.probe("post", dialog and dialog["hwnd"], WM_COMMAND, IDCANCEL, 0)
        time.sleep(1)
    closing = time.monotonic()
    code = s.close_tallowin(p)
    s.check("a post under way holds up the exit at most two seconds", code == 0 and time.monotonic() - closing < 6,
            (code, time.monotonic() - closing))
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
hook.shutdown()
s.finish()
