#!/usr/bin/env python3
"""The real Prometheus scrapes tallowin-query serve against the simulator: it reads a server's count back, and
the change after the simulator's, and natively a rename; a silent client is closed, crowds of idle ones (beyond the descriptor limit,
natively) hold up no scrape; when the service falls silent, tallowin_up goes to 0, the servers' series go stale
and the shipped rule (its wait shortened) fires in Prometheus's alerts."""
import argparse, json, os, re, resource, shutil, signal, socket, subprocess, sys, tempfile, time, urllib.parse, urllib.request

ap = argparse.ArgumentParser()
ap.add_argument("--statusd", required=True)
ap.add_argument("--query", required=True)
ap.add_argument("--rules", required=True)
ap.add_argument("--address", default="127.0.0.74")
ap.add_argument("--wrapper", nargs="+", default=[], help="runs the query tool (Wine for the Windows build)")
args = ap.parse_args()
for tool in ("prometheus", "promtool"):
    if not shutil.which(tool):
        sys.exit(f"FAIL {tool} is missing: tools/install-deps.sh installs Debian's prometheus package")
exporter_at, prometheus_at = args.address + ":24253", args.address + ":24259"
native = not args.wrapper
failures = []

def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)

def write_scenario(path, luclin, silent=False, first="Test"):
    with open(path + ".new", "w") as f:
        json.dump({"servers": [{"name": first, "group": 1, "players": 3},
                               {"name": "Luclin", "group": 2, "players": luclin, "zones": 41}], "silent": silent,
                   "inject": [{"kind": "oversize"}]}, f)
    os.replace(path + ".new", path)

def get(url):
    with urllib.request.urlopen(url, timeout=5) as answer:
        return answer.read().decode()

def prometheus(path, **query):
    return json.loads(get(f"http://{prometheus_at}/api/v1/{path}?{urllib.parse.urlencode(query)}"))["data"]

def luclin_in_prometheus():
    result = prometheus("query", query='tallowin_server_players{server="Luclin"}')["result"]
    return int(result[0]["value"][1]) if result else None

def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            if predicate():
                return True
        except OSError:
            pass
        time.sleep(0.5)
    return False

def scraped_within_a_second():
    start = time.monotonic()
    return "tallowin_players" in get(f"http://{exporter_at}/metrics") and time.monotonic() - start < 1

def closed_by_peer(connection, seconds=2):
    connection.settimeout(seconds)
    try:
        return connection.recv(1) == b""
    except ConnectionResetError:
        return True
    except OSError:
        return False

def idle(n):
    return [socket.create_connection((args.address, 24253)) for _ in range(n)]

with tempfile.TemporaryDirectory() as tmp:
    scenario = os.path.join(tmp, "scenario.json")
    write_scenario(scenario, 1402)
    # The shipped rules, waiting seconds where they wait minutes.
    with open(args.rules) as f, open(os.path.join(tmp, "rules.yml"), "w") as out:
        out.write(re.sub(r"for: \d+m", "for: 2s", f.read()))
    with open(os.path.join(tmp, "prometheus.yml"), "w") as f:
        f.write("global: {scrape_interval: 1s, evaluation_interval: 1s}\nrule_files: [rules.yml]\nscrape_configs:\n"
                f"  - job_name: tallowin\n    static_configs: [{{targets: ['{exporter_at}']}}]\n")
    # Natively the exporter has 256 descriptors: the connections below go beyond them.
    limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (256, 256))) if native else None
    processes = [
        subprocess.Popen([args.statusd, "--address", args.address, "--scenario", scenario, "--log", os.devnull,
                          "--max-seconds", "300"]),
        subprocess.Popen([*args.wrapper, args.query, "--host", args.address, "serve", "--listen", exporter_at],
                         preexec_fn=limit),
        subprocess.Popen(["prometheus", "--config.file", os.path.join(tmp, "prometheus.yml"),
                          "--storage.tsdb.path", os.path.join(tmp, "data"), "--web.listen-address", prometheus_at],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    try:
        check("the exporter serves the simulator's count",
              wait_for(lambda: 'tallowin_server_players{server="Luclin"} 1402\n' in get(f"http://{exporter_at}/metrics"), 60))
        lint = subprocess.run(["promtool", "check", "metrics"], input=get(f"http://{exporter_at}/metrics").encode(),
                              capture_output=True)
        check("promtool check metrics reports nothing", lint.returncode == 0 and not lint.stdout and not lint.stderr)
        check("an oversize datagram is counted", 'tallowin_status_failures_total{reason="oversize"} 1\n' in
              get(f"http://{exporter_at}/metrics"))
        check("Prometheus reads the count back", wait_for(lambda: luclin_in_prometheus() == 1402, 60))
        write_scenario(scenario, 77, first="Tested")  # a rename that keeps the count of servers
        crowd = idle(300 if native else 200)
        check("a scrape is answered within a second while %d idle connections are open" % len(crowd),
              scraped_within_a_second())
        if native:
            check("the oldest idle connection made room", closed_by_peer(crowd[0]))
            resource.prlimit(processes[1].pid, resource.RLIMIT_NOFILE, (64, 64))
            crowd += idle(100)
            check("out of descriptors, a scrape is answered within a second", scraped_within_a_second())
        for connection in crowd:
            connection.close()
        silent_client, opened = socket.create_connection((args.address, 24253)), time.monotonic()
        check("a client that sends nothing is closed after five seconds",
              closed_by_peer(silent_client, 10) and 4.5 < time.monotonic() - opened < 8)
        # The next status request fetches the new count, and its answer shows at once.
        check("Prometheus reads the changed count", wait_for(lambda: luclin_in_prometheus() == 77, 30))

        if native:  # the names are asked for once a minute
            check("the renamed server is relabelled within two minutes", wait_for(
                lambda: 'tallowin_server_players{server="Tested"} 3\n' in get(f"http://{exporter_at}/metrics"), 75))
        write_scenario(scenario, 77, silent=True, first="Tested")
        check("the silent service's alert fires in Prometheus", wait_for(lambda: any(
            a["labels"]["alertname"] == "EverQuestStatusSilent" and a["state"] == "firing"
            for a in prometheus("alerts")["alerts"]), 60))
        page = get(f"http://{exporter_at}/metrics")
        check("tallowin_up 0 and no servers' series", "\ntallowin_up 0\n" in page and "tallowin_server" not in page)
        check("Prometheus marks the servers' series stale", luclin_in_prometheus() is None)
        processes[1].send_signal(signal.SIGINT)
        check("SIGINT (Ctrl+C) ends the exporter with 0", processes[1].wait(10) == 0)
    finally:
        for p in processes:
            if p.poll() is None:
                p.terminate()
                p.wait(10)

sys.exit(1 if failures else 0)
