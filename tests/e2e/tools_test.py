#!/usr/bin/env python3
"""Loopback test of the two tools: tallowin-query against tallowin-statusd, and its exit codes."""
import argparse, json, os, re, signal, subprocess, sys, tempfile, time, urllib.request

ap = argparse.ArgumentParser()
ap.add_argument("--statusd", required=True)
ap.add_argument("--query", required=True)
ap.add_argument("--address", default="127.0.0.61")
ap.add_argument("--wrapper", nargs="+", default=[], help="runs the query tool (Wine for the Windows build)")
args = ap.parse_args()
failures = []

def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)

def serve(scenario, log):
    cmd = [args.statusd, "--address", args.address, "--log", log, "--max-seconds", "60"]
    if scenario:
        path = os.path.join(tmp, "scenario-%d.json" % time.monotonic_ns())
        with open(path, "w") as f:
            json.dump(scenario, f)
        cmd += ["--scenario", path]
    p = subprocess.Popen(cmd)
    p.scenario = cmd[-1] if scenario else None
    time.sleep(0.3)
    return p

def query(*extra):
    return subprocess.run([*args.wrapper, args.query, "--host", args.address, "--timeout", "300", *extra],
                          capture_output=True, timeout=30)

with tempfile.TemporaryDirectory() as tmp:
    log = os.path.join(tmp, "requests.log")
    server = serve(None, log)
    try:
        r = query()
        text = r.stdout.decode("utf-8")
        check("plain report exits 0", r.returncode == 0)
        check("report starts with the header", text.startswith("Servers\tPlayers\tZones\n"))
        check("report ends with the total and one line feed", text.endswith(" Players on EverQuest\n"))
        r = query("--primary", "Luclin", "--json")
        doc = json.loads(r.stdout)
        check("json primary players", doc["primary_players"] == 1402)
        check("json servers, a DOWN count null, a zone count of 0 kept", len(doc["servers"]) == 12 and
              doc["servers"][9]["players"] is None and doc["servers"][9]["zones"] == 0)
        requests = [json.loads(l) for l in open(log) if '"request"' in l]
        check("requests are names then status, 4 bytes each",
              [q["code"] for q in requests[:2]] == ["names", "status"] and all(q["length"] == 4 for q in requests))
        r = query("--sort", "name", "watch", "--count", "2", "--interval", "1", "--json")
        reports = [json.loads(l) for l in r.stdout.decode().splitlines()]
        names = [s["name"] for s in reports[-1]["servers"]]
        check("watch --sort name: two reports a line each, sorted", r.returncode == 0 and len(reports) == 2 and
              len(names) == 12 and names == sorted(names, key=str.lower))
    finally:
        server.terminate()
        server.wait(10)

    # A name that would forge a line, and one in the service's code page.
    server = serve({"servers": [{"name": "Test", "group": 1, "players": 3}, {"name": "Zed\nLuclin\t9999\t41", "group": 2,
                    "players": 5, "zones": 1}, {"name": "Caf\u00e9", "group": 2, "players": 7, "zones": 2}]}, log)
    try:
        sorted_report = "Servers\tPlayers\tZones\nCaf\u00e9\t7\t2\nTest\t3\tNA\nZed\\x0ALuclin\\x099999\\x0941\t5\t1\n15 Players on EverQuest"
        r = query("--sort", "name")
        check("--sort: hostile names escaped, sorted, in UTF-8", r.returncode == 0 and r.stdout.decode() == sorted_report + "\n")
        r = query("--sort", "name", "watch", "--count", "1")
        check("watch --sort: the same report", r.returncode == 0 and r.stdout.decode().split("\n", 1)[1] == sorted_report + "\n")
        if os.path.exists("/dev/full"):
            with open("/dev/full", "w") as full:
                r = subprocess.run([*args.wrapper, args.query, "--host", args.address], stdout=full, stderr=subprocess.PIPE)
            check("a full disk exits 2 with a message", r.returncode == 2 and b"cannot write" in r.stderr)
    finally:
        server.terminate()
        server.wait(10)

    server = serve({"servers": [{"name": "A", "group": 1, "players": 1}], "silent": True}, log)
    try:
        start = time.monotonic()
        r = query("--retries", "1")
        check("silent service times out with 3", r.returncode == 3)
        check("one retry after the timeout", time.monotonic() - start >= 0.55)
        r = query("--retries", "0", "watch", "--count", "1")
        check("watch --count against a silent service exits 3", r.returncode == 3)
        with open(server.scenario, "w") as f:
            json.dump({"servers": [{"name": "A", "group": 1, "players": 7}]}, f)
        time.sleep(0.5)
        r = query("--json")
        check("a rewritten scenario is served at once", r.returncode == 0 and json.loads(r.stdout)["total_players"] == 7)
    finally:
        server.terminate()
        server.wait(10)

    server = serve({"servers": [{"name": "A", "group": 1, "players": 1}], "names_hex": "ffff0100050041000000"}, log)
    try:
        r = query("--json")
        check("decoder message exits 1", r.returncode == 1)
        check("names rejected is reported", json.loads(r.stdout)["names_rejected"] is True)
    finally:
        server.terminate()
        server.wait(10)

    answers = os.path.join(tmp, "answers")
    os.mkdir(answers)
    subprocess.run([args.statusd, "--write-answers", answers], check=True)
    names, status = os.path.join(answers, "names.bin"), os.path.join(answers, "status.bin")
    r = subprocess.run([*args.wrapper, args.query, "decode", names, status], capture_output=True)
    check("decode of saved answers", r.returncode == 0 and b"Zek\t94\t9\n" in r.stdout)
    big = os.path.join(tmp, "big.bin")
    open(big, "wb").write(b"\xff\xff\x01\x00" + b"x" * 4093)
    for what, words in [("oversized file", ["decode", big, status]), ("missing file", ["decode", names, "/nonexistent"]),
                        ("swapped files", ["decode", status, names]), ("not a history file", ["history", big]),
                        ("missing history", ["history", "/nonexistent"]), ("an endless history", ["history", "/dev/zero"]),
                        ("an endless answer", ["decode", "/dev/zero", status]),
                        ("an option decode does not use", ["decode", names, status, "--timeout", "5"]),
                        ("--primary without --json", ["decode", names, status, "--primary", "Zek"])]:
        r = subprocess.run([*args.wrapper, args.query, *words], capture_output=True)
        check(what + " exits 2 with a message", r.returncode == 2 and r.stderr)
    for tool in ([*args.wrapper, args.query], [args.statusd]):
        r = subprocess.run([*tool, "--version"], capture_output=True)
        check("--version", r.returncode == 0 and r.stdout.startswith(b"tallowin-"))
    r = subprocess.run([*args.wrapper, args.query, "--bogus"], capture_output=True)
    check("bad usage exits 2", r.returncode == 2)
    r = subprocess.run([*args.wrapper, args.query, "--host", "no..such.host"], capture_output=True)
    check("unresolvable host exits 2", r.returncode == 2)
    exporter = subprocess.Popen([*args.wrapper, args.query, "--host", "no..such.host", "serve", "--listen",
                                 args.address + ":24254"], stderr=subprocess.DEVNULL)
    page, end = "", time.monotonic() + 20
    while time.monotonic() < end and not re.search(r'reason="unresolved"} ([3-9]|\d\d)', page):
        time.sleep(0.5)
        try:
            page = urllib.request.urlopen(f"http://{args.address}:24254/metrics", timeout=5).read().decode()
        except OSError:
            pass
    check("the exporter looks an unresolvable host up again and again, serving tallowin_up 0",
          re.search(r'reason="unresolved"} ([3-9]|\d\d)', page) and "\ntallowin_up 0\n" in page)
    exporter.send_signal(signal.SIGINT)
    check("and stops with 0", exporter.wait(10) == 0)
    r = subprocess.run([args.statusd, "--address", "10.0.0.1"], capture_output=True)
    check("simulator refuses a non-loopback address", r.returncode == 2)

sys.exit(1 if failures else 0)
