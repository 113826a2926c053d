#!/usr/bin/env python3
"""Measures Tallowin under Wine: start-up time to the tray icon, idle CPU per minute, the tick cost, the
GDI objects and resident size over many ticks, and the handles and GDI objects over repeated dialogs. Run inside tools/wine-env.sh's environment:
    source tools/wine-env.sh build/mingw && python3 tools/measure.py build/mingw build/native"""
import functools, os, re, statistics, subprocess, sys, tempfile, time

print = functools.partial(print, flush=True)

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from harness import Picture, tray_mark, WM_CLOSE  # noqa: E402

mingw, native = (os.path.abspath(a) for a in sys.argv[1:3])
exe, probe = os.path.join(mingw, "Tallowin.exe"), os.path.join(mingw, "tallowin-probe.exe")
env = dict(os.environ)
WINE = env.get("WINE", "wine")  # the loader that tools/wine-env.sh chose for the tree
shot = "/tmp/tallowin-measure.png"


def wine(*args, **kw):
    return subprocess.run([WINE, *map(str, args)], env=env, capture_output=True, **kw)


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


statusd = subprocess.Popen([os.path.join(native, "tallowin-statusd"), "--address", "127.0.0.29", "--log", "/dev/null",
                            "--max-seconds", "600"])
time.sleep(0.3)
run_env = dict(env, TALLOWIN_STATUS_HOST="127.0.0.29")

# Start-up: from launch to the icon in the tray, several times.
startups = []
for _ in range(5):
    start = time.monotonic()
    p = subprocess.Popen([WINE, exe], env=run_env)
    while time.monotonic() - start < 20:
        subprocess.run(["import", "-window", "root", shot], check=True)
        if tray_mark(Picture(shot)):
            break
    startups.append(time.monotonic() - start)
    wine(probe, "post", "main", WM_CLOSE, 0, 0)
    p.wait(20)
print("start-up to tray icon: median %.2f s, range %.2f to %.2f s (includes screenshot polling)"
      % (statistics.median(startups), min(startups), max(startups)))

# Idle: CPU time the reporting program uses in a minute (a tick every 15 s).
p = subprocess.Popen([WINE, exe], env=run_env)
time.sleep(8)
pid = int(subprocess.run(["pgrep", "-n", "-f", "Tallowin.exe"], capture_output=True, text=True).stdout.split()[0])
before = cpu_seconds(pid)
time.sleep(60)
print("idle CPU: %.3f s per minute while reporting" % (cpu_seconds(pid) - before))
wine(probe, "post", "main", WM_CLOSE, 0, 0)
p.wait(20)
statusd.terminate()

# Tick cost and resources, and the two dialogs opened again and again, from in-process benchmarks;
# GDI counts from Wine's own trace.
if "--no-bench" in sys.argv:
    sys.exit(0)


def gdi_marks(program):
    """Runs a benchmark under WINEDEBUG=+gdi; its output and the GDI object count at each of its marks."""
    trace = tempfile.TemporaryFile()
    run = subprocess.run([WINE, os.path.join(mingw, program)], env=dict(env, WINEDEBUG="+gdi"),
                         stdout=subprocess.PIPE, stderr=trace, timeout=3000)
    trace.seek(0)
    count, marks = None, []
    for raw in trace:
        line = raw.decode("latin-1")
        m = re.search(r"(?:allocated|freed) .*? (\d+)/65536", line)
        if m:
            count = int(m.group(1))
        m = re.match(r"MARK (\w+) (\d+)", line)
        if m:
            marks.append((m.group(1), int(m.group(2)), count))
    return run.stdout.decode().strip(), marks


output, marks = gdi_marks("tick_bench_win.exe")
print(output)
for _, ticks, objects in marks:
    print("GDI objects after %5d ticks: %s" % (ticks, objects))
output, marks = gdi_marks("dialog_bench_win.exe")
print(output)
for which, opened, objects in marks:
    print("GDI objects after %3d openings of %s: %s" % (opened, which, objects))
