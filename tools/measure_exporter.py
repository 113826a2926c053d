#!/usr/bin/env python3
"""Measures tallowin-query serve against the simulator: scrape times with 0 and 200 idle connections and with
300 connections under a 256-descriptor limit, the exporter's CPU meanwhile, and the delay from a change in the
simulator to the first scrape that shows it.
    python3 tools/measure_exporter.py build/native/tallowin-query build/native/tallowin-statusd"""
import json, os, resource, socket, statistics, subprocess, sys, tempfile, time

query, statusd = sys.argv[1:3]
ADDRESS, PORT = "127.0.0.141", 24253
REQUEST = b"GET /metrics HTTP/1.1\r\nHost: exporter\r\n\r\n"


def scrape():
    start = time.perf_counter()
    with socket.create_connection((ADDRESS, PORT), timeout=15) as s:
        s.sendall(REQUEST)
        body = b""
        while chunk := s.recv(65536):
            body += chunk
    return time.perf_counter() - start, body.decode("utf-8", "replace")


def figures(what, times):
    times = sorted(t * 1000 for t in times)
    print("%-44s median %8.3f ms   p99 %8.3f ms   max %8.3f ms" %
          (what, statistics.median(times), times[int(len(times) * 0.99) - 1], times[-1]), flush=True)


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def write_scenario(path, luclin):
    with open(path + ".new", "w") as f:
        json.dump({"servers": [{"name": "Test", "group": 1, "players": 3},
                               {"name": "Luclin", "group": 2, "players": luclin, "zones": 41}]}, f)
    os.replace(path + ".new", path)


def start_exporter(descriptors=None):
    limit = (lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (descriptors, descriptors))) if descriptors else None
    p = subprocess.Popen([query, "--host", ADDRESS, "serve", "--listen", "%s:%d" % (ADDRESS, PORT)],
                         preexec_fn=limit, stderr=subprocess.DEVNULL)
    end = time.monotonic() + 30
    while time.monotonic() < end:
        try:
            if 'server="Luclin"' in scrape()[1]:
                return p
        except OSError:
            pass
        time.sleep(0.1)
    sys.exit("the exporter served no report")


def idle_connections(n):
    return [socket.create_connection((ADDRESS, PORT), timeout=5) for _ in range(n)]


with tempfile.TemporaryDirectory() as tmp:
    scenario = os.path.join(tmp, "scenario.json")
    write_scenario(scenario, 1000)
    simulator = subprocess.Popen([statusd, "--address", ADDRESS, "--scenario", scenario, "--log", os.devnull,
                                  "--max-seconds", "900"])
    exporter = start_exporter()
    try:
        figures("scrape, no idle connection", [scrape()[0] for _ in range(1000)])
        idle = idle_connections(200)
        # Within the five seconds the exporter gives a client to send its request.
        figures("scrape, 200 idle connections", [scrape()[0] for _ in range(1000)])
        for c in idle:
            c.close()
        delays = []
        for luclin in (1001, 1002, 1003, 1004):
            time.sleep(luclin % 7)  # changes at different points of the poll cycle
            write_scenario(scenario, luclin)
            changed = time.monotonic()
            while 'server="Luclin"} %d\n' % luclin not in scrape()[1]:
                time.sleep(0.02)
            delays.append(time.monotonic() - changed)
        print("change to first scrape that shows it: " + ", ".join("%.2f s" % d for d in delays), flush=True)
        exporter.terminate()
        exporter.wait(10)

        exporter = start_exporter(256)
        idle = idle_connections(300)
        cpu = cpu_seconds(exporter.pid)
        time.sleep(3)  # within the five seconds a client has to send its request
        print("exporter CPU with 300 connections waiting, ulimit -n 256: %.0f%%" % (100 * (cpu_seconds(exporter.pid) - cpu) / 3))
        figures("scrape, 300 connections, ulimit -n 256", [scrape()[0] for _ in range(200)])
        for c in idle:
            c.close()
    finally:
        for p in (exporter, simulator):
            p.terminate()
            p.wait(10)
