#!/usr/bin/env python3
"""The release step's rules, run by tools/release.sh: which builds may be published and what a package
says when it is not; the per-user Windows Installer package; the winget and scoop manifests; and the
checks every package and manifest passes before it leaves (CI runs them too)."""
import argparse, collections, glob, hashlib, ipaddress, json, os, re, shutil, struct, subprocess, sys, tempfile
import uuid, zipfile
from urllib.parse import urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
PUBLISHER = "Varnok Solutions"
PACKAGE_ID = "VarnokSolutions.Tallowin"
PAGE = "/software/tallowin.html"  # the program's page on the maker's site, as "Visit Webpage" opens it
SUMMARY = "EverQuest server status in the notification area"
FILES = ["README.txt", "Tallowin.exe", "tallowin-query.exe"]
# Each width's words in the README and its names for wixl, winget, scoop and the package's summary.
Width = collections.namedtuple("Width", "words wixl winget scoop platform")
WIDTHS = {"win32": Width("32-bit", "x86", "x86", "32bit", "Intel"),
          "win64": Width("64-bit", "x64", "x64", "64bit", "x64")}
# The product code of each version and width is a name-based UUID in this space: a package made again
# is the same product.
PRODUCT_CODES = uuid.UUID("5B0F5C31-3E0D-4C8F-A7D2-61C2F3A9E4B8")
# Names that reach no machine of the publisher's (RFC 2606 and RFC 6761).
LOCAL_DOMAINS = ("localhost",)
PLACEHOLDER_DOMAINS = ("example", "example.com", "example.net", "example.org", "invalid", "test")
MANIFESTS = {  # file under dist/: its schema under schemas/
    "winget/%s.yaml" % PACKAGE_ID: "winget-version.json",
    "winget/%s.installer.yaml" % PACKAGE_ID: "winget-installer.json",
    "winget/%s.locale.en-US.yaml" % PACKAGE_ID: "winget-defaultLocale.json",
    "scoop/tallowin.json": "scoop.json",
}


# --- what may be published ----------------------------------------------------------------------------
def host_problem(host):
    """Why a host (a name or an address, with or without a port) is no machine of the publisher's, or None."""
    host = host.strip().lower()
    bracketed = re.fullmatch(r"\[([^\]]*)\](:\d*)?", host)
    host = bracketed.group(1) if bracketed else host.split(":")[0] if host.count(":") == 1 else host
    host = host.rstrip(".")
    if not host:
        return "empty"
    try:
        address = ipaddress.ip_address(host)
        return "this computer" if address.is_loopback or address.is_unspecified else None
    except ValueError:
        pass
    if any(host == d or host.endswith("." + d) for d in LOCAL_DOMAINS):
        return "this computer"
    if any(host == d or host.endswith("." + d) for d in PLACEHOLDER_DOMAINS):
        return "a placeholder"
    return None


def url_problem(url):
    parts = urlsplit(url.strip())
    if parts.scheme not in ("http", "https"):
        return "not an http or https address"
    return host_problem(parts.hostname or "")


def email_problem(address):
    return host_problem(address.rpartition("@")[2]) if "@" in address else "not an e-mail address"


def read_cache(tree):
    with open(os.path.join(tree, "CMakeCache.txt")) as f:
        return dict(m.groups() for m in re.finditer(r"^(\w+):\w+=(.*)$", f.read(), re.M))


def download_url(cache, given):
    """The address the packages are published at: the given one, else the maker's site's /download."""
    return given or cache.get("TALLOWIN_WEB_SITE", "") + "/download"


def placeholders(cache, url):
    """What the build or the release knows only as a placeholder: (what, value, why) rows."""
    rows = [("status host", cache.get("TALLOWIN_STATUS_HOST", ""), host_problem),
            ("web page", cache.get("TALLOWIN_WEB_SITE", "") + PAGE, url_problem),
            ("e-mail address", cache.get("TALLOWIN_SUPPORT_EMAIL", ""), email_problem),
            ("download address", url, url_problem)]
    return [(what, value, check(value)) for what, value, check in rows if check(value)]


def stage(tree, version, width, folder, url, unconfigured):
    """Writes the README into a package's staging folder and returns the package's name; refuses a build
    with placeholders unless told it is not for players, and then the name and the README say so."""
    cache = read_cache(tree)
    found = placeholders(cache, download_url(cache, url))
    if found and not unconfigured:
        sys.exit("tools/release.sh: %s is not configured for players:\n%sSet the publisher's in the tree's CMake "
                 "cache (TALLOWIN_STATUS_HOST, TALLOWIN_WEB_SITE, TALLOWIN_SUPPORT_EMAIL) and give --download-url, "
                 "or --unconfigured for a package that is not for players." % (
                     tree, "".join("    %s %s: %s\n" % row for row in found)))
    with open(os.path.join(HERE, "README.txt")) as f:
        text = f.read()
    no_host = any(what == "status host" for what, _, _ in found)
    block = "".join(["UNCONFIGURED TEST BUILD, NOT FOR PLAYERS. It was made without the publisher's settings:\n",
                     *["    %-17s %s (%s)\n" % row for row in found],
                     "Until a status host is named in Options, \"Service...\", it cannot show anyone the status\n"
                     "of EverQuest's servers.\n" if no_host else "", "\n"]) if found else ""
    package = "Tallowin-%s%s" % (version, "-unconfigured" if found else "")
    text = text.replace("@UNCONFIGURED@\n", block).replace("@PACKAGE@", package).replace("@VERSION@", version)
    text = text.replace("@WIDTH@", WIDTHS[width].words)
    with open(os.path.join(folder, "README.txt"), "w", newline="\r\n") as f:  # read in Notepad
        f.write(text)
    return "%s-%s" % (package, width)


# --- the installer package ----------------------------------------------------------------------------
def product_code(version, width):
    return "{%s}" % str(uuid.uuid5(PRODUCT_CODES, "Tallowin %s %s" % (version, width))).upper()


def make_msi(tree, folder, version, width, output):
    """The per-user Windows Installer package (tallowin.wxs) of a staged package and its build tree."""
    with tempfile.TemporaryDirectory() as work:  # wixl takes its sources by relative name only
        for name in FILES:
            shutil.copy(os.path.join(folder, name), work)
        shutil.copy(os.path.join(tree, "startup-entry.dll"), work)
        shutil.copy(os.path.join(ROOT, "res", "app.ico"), os.path.join(work, "Tallowin.ico"))
        defines = {"Version": version, "Win64": "yes" if width == "win64" else "no",
                   "ProductCode": product_code(version, width),
                   "HelpLink": read_cache(tree).get("TALLOWIN_WEB_SITE", "") + PAGE}
        command = ["wixl", "-a", WIDTHS[width].wixl, "-o", os.path.abspath(output), os.path.join(HERE, "tallowin.wxs")]
        for name, value in defines.items():
            command += ["-D", "%s=%s" % (name, value)]
        subprocess.run(command, cwd=work, check=True, stderr=subprocess.DEVNULL)


def msi_table(package, table):
    """A table of a package as rows of text fields, read with msitools."""
    out = subprocess.run(["msiinfo", "export", package, table], capture_output=True, text=True, check=True).stdout
    return [line.split("\t") for line in out.splitlines()[3:]]


# --- the package managers' manifests --------------------------------------------------------------------
def packages(dist):
    """The release's packages: {width: {"msi": path, "zip": path}}."""
    found = {width: {} for width in WIDTHS}
    for width in WIDTHS:
        for kind in ("msi", "zip"):
            paths = glob.glob(os.path.join(dist, "Tallowin-*-%s.%s" % (width, kind)))
            if len(paths) != 1:
                sys.exit("release.py: not one %s package for %s in %s: %s" % (kind, width, dist, paths))
            found[width][kind] = paths[0]
    return found


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def write_manifests(dist, version, tree, url):
    """winget's three manifests (version, installer, default locale) and scoop's app manifest."""
    import yaml
    cache = read_cache(tree)
    base = download_url(cache, url).rstrip("/") + "/"
    site = cache.get("TALLOWIN_WEB_SITE", "")
    found = packages(dist)
    same = {"PackageIdentifier": PACKAGE_ID, "PackageVersion": version}
    installers = [{"Architecture": WIDTHS[w].winget, "InstallerUrl": base + os.path.basename(p["msi"]),
                   "InstallerSha256": sha256(p["msi"]).upper(),
                   "ProductCode": dict(msi_table(p["msi"], "Property"))["ProductCode"]} for w, p in found.items()]
    winget = {
        "version": dict(same, DefaultLocale="en-US", ManifestType="version"),
        "installer": dict(same, InstallerType="wix", Scope="user",
                          InstallModes=["interactive", "silent", "silentWithProgress"], UpgradeBehavior="install",
                          Installers=installers, ManifestType="installer"),
        "defaultLocale": dict(same, PackageLocale="en-US", Publisher=PUBLISHER, PublisherUrl=site,
                              PackageName="Tallowin", PackageUrl=site + PAGE, License="Proprietary",
                              ShortDescription=SUMMARY, Moniker="tallowin", Tags=["everquest", "server-status", "tray"],
                              ManifestType="defaultLocale"),
    }
    scoop = {
        "version": version, "description": SUMMARY, "homepage": site + PAGE, "license": "Proprietary",
        "architecture": {WIDTHS[w].scoop: {"url": base + os.path.basename(p["zip"]), "hash": sha256(p["zip"])}
                         for w, p in found.items()},
        "bin": "tallowin-query.exe",
        "shortcuts": [["Tallowin.exe", "Tallowin"]],
        "##": "No persist: the settings live in the registry and the history in %LOCALAPPDATA%\\Tallowin.",
    }
    for folder in ("winget", "scoop"):
        os.makedirs(os.path.join(dist, folder), exist_ok=True)
    for (kind, manifest), name in zip(winget.items(), list(MANIFESTS)[:3]):
        manifest["ManifestVersion"] = "1.6.0"
        with open(os.path.join(dist, name), "w") as f:
            f.write("# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.6.0.schema.json\n" % kind)
            yaml.safe_dump(manifest, f, sort_keys=False)
    with open(os.path.join(dist, list(MANIFESTS)[3]), "w") as f:
        json.dump(scoop, f, indent=4)
        f.write("\n")


# --- the checks ---------------------------------------------------------------------------------------
def file_version(exe):
    """A program's fixed file version as text, from its version resource."""
    with open(exe, "rb") as f:
        data = f.read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    most, least = struct.unpack_from("<II", data, at + 8) if at >= 0 else (0, 0)
    return "%d.%d.%d.%d" % (most >> 16, most & 0xFFFF, least >> 16, least & 0xFFFF)


def package_problems(width, paths, version):
    """What is wrong with one width's zip and installer package."""
    problems = []
    zip_name = os.path.basename(paths["zip"])
    with tempfile.TemporaryDirectory() as work, zipfile.ZipFile(paths["zip"]) as z:
        z.extractall(work)
        if sorted(z.namelist()) != FILES:
            problems.append("%s holds %s" % (zip_name, sorted(z.namelist())))
        elif file_version(os.path.join(work, "Tallowin.exe")) != version + ".0":
            problems.append("%s: Tallowin.exe is version %s" % (zip_name,
                                                                 file_version(os.path.join(work, "Tallowin.exe"))))
        elif not open(os.path.join(work, "README.txt")).readline().startswith("Tallowin %s (%s Windows)" % (
                version, WIDTHS[width].words)):
            problems.append("%s: README.txt does not open with the version and the width" % zip_name)
        elif os.path.basename(paths["msi"]) not in open(os.path.join(work, "README.txt")).read():
            problems.append("%s: README.txt does not name its installer package" % zip_name)
    summary = subprocess.run(["msiinfo", "suminfo", paths["msi"]], capture_output=True, text=True).stdout
    fields = dict(line.split(": ", 1) for line in summary.splitlines() if ": " in line)
    properties = dict(msi_table(paths["msi"], "Property"))
    bitness = {int(row[3]) & 256 for row in msi_table(paths["msi"], "Component")}
    expected = {"platform": WIDTHS[width].platform + ";1033", "per user": True, "version": version,
                "product code": product_code(version, width), "64-bit components": {256 if width == "win64" else 0}}
    actual = {"platform": fields.get("Template"), "per user": bool(int(fields.get("Source", "0").split()[0]) & 8),
              "version": properties.get("ProductVersion"), "product code": properties.get("ProductCode"),
              "64-bit components": bitness}
    return problems + ["%s: its %s is %s, not %s" % (os.path.basename(paths["msi"]), k, actual[k], expected[k])
                       for k in expected if actual[k] != expected[k]]


def manifest_problems(dist, version, found):
    """What the manifests' rules (schemas/) and the packages beside them find wrong."""
    import jsonschema, yaml
    problems, addresses, builds = [], {}, {}  # builds: each package's width (and scope) as the manifests say
    for name, schema_name in MANIFESTS.items():
        with open(os.path.join(HERE, "schemas", schema_name)) as f:
            schema = json.load(f)
        with open(os.path.join(dist, name)) as f:
            manifest = json.load(f) if name.endswith(".json") else yaml.safe_load(f)
        problems += ["%s: %s: %s" % (name, "/".join(map(str, e.path)), e.message)
                     for e in jsonschema.Draft7Validator(schema).iter_errors(manifest)]
        if manifest.get("PackageVersion", manifest.get("version")) != version:
            problems.append("%s: not version %s" % (name, version))
        for installer in manifest.get("Installers", []):
            addresses[installer.get("InstallerUrl", "")] = str(installer.get("InstallerSha256", "")).lower()
            builds[os.path.basename(installer.get("InstallerUrl", ""))] = (installer.get("Architecture"),
                                                                           manifest.get("Scope"))
        for architecture, entry in manifest.get("architecture", {}).items():
            addresses[entry.get("url", "")] = entry.get("hash", "")
            builds[os.path.basename(entry.get("url", ""))] = architecture, None
        named = [manifest.get("bin")] + [shortcut[0] for shortcut in manifest.get("shortcuts", [])]
        problems += ["%s: %s is not in the zip" % (name, n) for n in named if n and n not in FILES]
    files = {os.path.basename(p): sha256(p) for paths in found.values() for p in paths.values()}
    if sorted(os.path.basename(a) for a in addresses) != sorted(files):
        problems.append("the manifests name %s, the packages are %s" % (sorted(addresses), sorted(files)))
    problems += ["%s: the hash is not the package's" % a for a, h in addresses.items()
                 if files.get(os.path.basename(a)) not in (None, h)]
    wanted = {os.path.basename(p["msi"]): (WIDTHS[w].winget, "user") for w, p in found.items()}
    wanted.update({os.path.basename(p["zip"]): (WIDTHS[w].scoop, None) for w, p in found.items()})
    problems += ["%s: the manifests take it for %s, not %s" % (n, builds.get(n), wanted[n]) for n in wanted
                 if builds.get(n) != wanted[n]]
    with open(os.path.join(dist, "SHA256SUMS")) as f:
        sums = dict(reversed(line.split()) for line in f)
    return problems + ["SHA256SUMS: %s is missing or wrong" % n for n in files if sums.get(n) != files[n]]


def check(dist, version):
    found = packages(dist)
    problems = [p for width, paths in found.items() for p in package_problems(width, paths, version)]
    problems += manifest_problems(dist, version, found)
    if len({product_code(version, width) for width in found}) != len(found):
        problems.append("the widths' installer packages share a product code")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


def main():
    ap = argparse.ArgumentParser(description=__doc__)
    do = ap.add_subparsers(dest="command", required=True)
    p = do.add_parser("stage", help="README.txt into a staging folder; prints the package's name")
    for name in ("tree", "version", "width", "folder"):
        p.add_argument(name)
    p.add_argument("--download-url", default="")
    p.add_argument("--unconfigured", action="store_true")
    p = do.add_parser("msi", help="the installer package of a staged package")
    for name in ("tree", "folder", "version", "width", "output"):
        p.add_argument(name)
    p = do.add_parser("manifests", help="the winget and scoop manifests of the packages in DIST")
    for name in ("dist", "version", "tree"):
        p.add_argument(name)
    p.add_argument("--download-url", default="")
    p = do.add_parser("check", help="checks the packages and manifests in DIST")
    for name in ("dist", "version"):
        p.add_argument(name)
    a = ap.parse_args()
    if a.command == "stage":
        print(stage(a.tree, a.version, a.width, a.folder, a.download_url, a.unconfigured))
    elif a.command == "msi":
        make_msi(a.tree, a.folder, a.version, a.width, a.output)
    elif a.command == "manifests":
        write_manifests(a.dist, a.version, a.tree, a.download_url)
    else:
        return check(a.dist, a.version)
    return 0


if __name__ == "__main__":
    sys.exit(main())
