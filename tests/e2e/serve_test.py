#!/usr/bin/env python3
"""The real Prometheus scrapes tallowin-query serve against the simulator and reads a server's count back,
then again after the simulator changes it; promtool finds nothing to report in the page."""
import argparse, json, os, shutil, signal, socket, subprocess, sys, tempfile, time, urllib.parse, urllib.request

ap = argparse.ArgumentParser()
ap.add_argument("--statusd", required=True)
ap.add_argument("--query", required=True)
ap.add_argument("--address", default="127.0.0.74")
ap.add_argument("--wrapper", nargs="+", default=[], help="runs the query tool (Wine for the Windows build)")
args = ap.parse_args()
for tool in ("prometheus", "promtool"):
    if not shutil.which(tool):
        sys.exit(f"FAIL {tool} is missing: tools/install-deps.sh installs Debian's prometheus package")
exporter_at, prometheus_at = args.address + ":24253", args.address + ":24259"
failures = []

def check(what, ok):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)

def write_scenario(path, luclin):
    with open(path + ".new", "w") as f:
        json.dump({"servers": [{"name": "Test", "group": 1, "players": 3},
                               {"name": "Luclin", "group": 2, "players": luclin, "zones": 41}]}, f)
    os.replace(path + ".new", path)

def get(url):
    with urllib.request.urlopen(url, timeout=5) as answer:
        return answer.read().decode()

def luclin_in_prometheus():
    query = urllib.parse.urlencode({"query": 'tallowin_server_players{server="Luclin"}'})
    result = json.loads(get(f"http://{prometheus_at}/api/v1/query?{query}"))["data"]["result"]
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

with tempfile.TemporaryDirectory() as tmp:
    scenario = os.path.join(tmp, "scenario.json")
    write_scenario(scenario, 1402)
    with open(os.path.join(tmp, "prometheus.yml"), "w") as f:
        f.write("global: {scrape_interval: 1s}\nscrape_configs:\n"
                f"  - job_name: tallowin\n    static_configs: [{{targets: ['{exporter_at}']}}]\n")
    processes = [
        subprocess.Popen([args.statusd, "--address", args.address, "--scenario", scenario, "--log", os.devnull,
                          "--max-seconds", "300"]),
        subprocess.Popen([*args.wrapper, args.query, "--host", args.address, "serve", "--listen", exporter_at]),
        subprocess.Popen(["prometheus", "--config.file", os.path.join(tmp, "prometheus.yml"),
                          "--storage.tsdb.path", os.path.join(tmp, "data"), "--web.listen-address", prometheus_at],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)]
    try:
        check("the exporter serves the simulator's count",
              wait_for(lambda: 'tallowin_server_players{server="Luclin"} 1402\n' in get(f"http://{exporter_at}/metrics"), 60))
        lint = subprocess.run(["promtool", "check", "metrics"], input=get(f"http://{exporter_at}/metrics").encode(),
                              capture_output=True)
        check("promtool check metrics reports nothing", lint.returncode == 0 and not lint.stdout and not lint.stderr)
        check("Prometheus reads the count back", wait_for(lambda: luclin_in_prometheus() == 1402, 60))
        idle = [socket.create_connection((args.address, 24253)) for _ in range(200)]
        start = time.monotonic()
        check("a scrape is answered within a second while 200 idle connections are open",
              "tallowin_players" in get(f"http://{exporter_at}/metrics") and time.monotonic() - start < 1)
        for connection in idle:
            connection.close()
        write_scenario(scenario, 77)
        # The next status request fetches the new count and the tick after it reports it: two intervals.
        check("Prometheus reads the changed count", wait_for(lambda: luclin_in_prometheus() == 77, 60))
        processes[1].send_signal(signal.SIGINT)
        check("SIGINT (Ctrl+C) ends the exporter with 0", processes[1].wait(10) == 0)
    finally:
        for p in processes:
            if p.poll() is None:
                p.terminate()
                p.wait(10)

sys.exit(1 if failures else 0)
