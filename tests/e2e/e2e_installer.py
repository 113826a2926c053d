#!/usr/bin/env python3
"""End to end: the release's installer package installed, upgraded, refused an older one and removed."""
import getpass, glob, ntpath, os, re, subprocess, sys, time, zipfile
sys.path.insert(0, os.path.dirname(__file__))
from harness import *

RELEASE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "release", "release.py")
s = Session("installer", extra_options=("--dist", "--tree"))
profile = os.path.join(s.args.prefix, "drive_c", "users", getpass.getuser())
folder = os.path.join(profile, "AppData", "Local", "Programs", "Tallowin")
history = os.path.join(profile, "AppData", "Local", "Tallowin", "history.dat")
link = os.path.join(profile, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs", "Tallowin.lnk")
program = r"C:\users\%s\AppData\Local\Programs\Tallowin\Tallowin.exe" % getpass.getuser()
package, = glob.glob(os.path.join(s.args.dist, "Tallowin-*-%s.msi" % s.args.arch))
newer = "%s.%d" % (s.args.version.rsplit(".", 1)[0], int(s.args.version.rsplit(".", 1)[1]) + 1)


def msiexec(what, *args):
    start = time.monotonic()
    code = s.wine("msiexec", *args, "/qn", timeout=300).returncode
    print("note: %s took %.1f s" % (what, time.monotonic() - start), flush=True)
    return code


def installed():  # the entries in Installed apps, in both hives: this Wine writes a per-user one under HKLM
    out = "".join(s.wine("reg", "query", hive + r"\Software\Microsoft\Windows\CurrentVersion\Uninstall", "/s")
                  .stdout.decode("latin-1") for hive in ("HKLM", "HKCU"))
    entries = [dict(re.findall(r"^[ \t]+(\w+)[ \t]+REG_\w+[ \t]*(.*?)[ \t\r]*$", block, re.M))
               for block in out.split("\r\n\r\n")]
    return [e for e in entries if e.get("DisplayName") == "Tallowin"]


run_entry = lambda: (s.reg_values(RUN_KEY) or {}).get("Tallowin", (None, None))[1]
make_package = lambda version: subprocess.run([sys.executable, RELEASE, "msi", s.args.tree, s.work, version,
                                               s.args.arch, os.path.join(s.work, version + ".msi")]).args[-1]


try:
    zipfile.ZipFile(glob.glob(os.path.join(s.args.dist, "Tallowin-*-%s.zip" % s.args.arch))[0]).extractall(s.work)
    s.reg_clear()
    for left in installed():  # by an earlier run
        s.wine("msiexec", "/x", left["UninstallString"].split("/X")[-1], "/qn", timeout=300)
    s.wine("reg", "delete", RUN_KEY, "/v", "Tallowin", "/f")
    s.check("the package installs quietly", msiexec("install", "/i", package) == 0)
    s.check("the program, the query tool and the README", os.path.isdir(folder) and
            sorted(os.listdir(folder)) == ["README.txt", "Tallowin.exe", "tallowin-query.exe"])
    s.check("a Start-menu shortcut to the installed program",
            os.path.exists(link) and program.lower().encode() in open(link, "rb").read().lower())
    entry = installed()
    # This Wine names the icon in the product's record, not in the entry (DisplayIcon) as Windows does.
    icon = entry and os.path.join(profile, "AppData", "Roaming", "Microsoft", "Installer",
                                  entry[0]["UninstallString"].split("/X")[-1], "Tallowin.ico")
    s.check("one entry in Installed apps with the version, publisher, help link, place and icon", len(entry) == 1 and
            (entry[0]["DisplayVersion"], entry[0]["Publisher"], entry[0]["InstallLocation"]) ==
            (s.args.version, "Varnok Solutions", ntpath.dirname(program) + "\\")
            and entry[0]["HelpLink"].endswith("/software/tallowin.html") and os.path.exists(icon), entry)

    # The installed program reports, and its Options turn "Run Tallowin on startup" on.
    s.args.exe = program
    server = s.start_statusd("127.0.0.125")
    p = s.start_tallowin("127.0.0.125")
    s.check("the installed program reports",
            s.wait("report", lambda: any("Players on EverQuest" in t for t in s.tips()), timeout=30), s.tips())
    s.post(WM_COMMAND, 40001)  # Options
    options = s.box("Tallowin Options")
    s.probe("post", s.controls(options)[1003]["hwnd"], BM_CLICK, 0, 0)  # "Run Tallowin on startup"
    s.probe("post", options["hwnd"], WM_COMMAND, IDOK, 0)
    s.check("its start-up entry starts the installed program",
            s.wait("Run entry", lambda: run_entry() == '"%s"' % program, timeout=10), run_entry())
    s.check("it closes with 0", s.close_tallowin(p) == 0)

    kept = lambda: ((s.reg_values() or {}).get("RunOnStartup"), os.path.exists(history), run_entry())
    s.check("a newer version installs over it", msiexec("upgrade", "/i", make_package(newer)) == 0 and
            [e["DisplayVersion"] for e in installed()] == [newer], installed())
    s.check("and keeps the settings, the history and the start-up entry",
            kept() == (("REG_DWORD", "0x1"), True, '"%s"' % program), kept())
    s.started.append(refused := subprocess.Popen([*s.loader, "msiexec", "/i", make_package("0.0.1"), "/qb"], env=s.env))
    box = s.box("Install Failed", timeout=60)  # with /qn this Wine logs no message
    box and s.probe("close", box["hwnd"])
    s.check("an older version is refused with a message", box and refused.wait(60) != 0 and len(installed()) == 1
            and box["text"] == "A newer version of Tallowin is already installed.", box)

    s.wine("reg", "add", RUN_KEY, "/v", "Tallowin", "/d", '"%s"' % program.upper(), "/f")  # paths know no case
    s.check("the uninstall succeeds", msiexec("uninstall", "/x", os.path.join(s.work, newer + ".msi")) == 0)
    s.check("and leaves no files, shortcut, entry in Installed apps or start-up entry, but the settings and history",
            (os.path.exists(folder), os.path.exists(link), installed(), kept()) ==
            (False, False, [], (("REG_DWORD", "0x1"), True, None)), kept())
    elsewhere = r'"C:\Games\Tallowin\Tallowin.exe"'
    msiexec("install", "/i", package)
    s.wine("reg", "add", RUN_KEY, "/v", "Tallowin", "/d", elsewhere, "/f")
    msiexec("uninstall", "/x", package)
    s.check("an uninstall keeps a start-up entry that starts another copy", run_entry() == elsewhere, run_entry())
except Exception as e:  # an error midway still ends what the test started
    s.check("unexpected error: %r" % e, False)
finally:
    s.wine("reg", "delete", RUN_KEY, "/v", "Tallowin", "/f")
s.finish()
