#!/usr/bin/env python3
"""The release step's rules: which hosts and addresses are no machine of the publisher's, and how a
package from a build with such placeholders is refused, or named and described when that is wanted."""
import os, sys, tempfile
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "release"))
import release

CASES = [  # rule, value, why it is no machine of the publisher's (None: it may be one)
    (release.host_problem, "eq.varnok.net", None), (release.host_problem, "eq.varnok.net:24252", None),
    (release.host_problem, "1.2.3.4", None), (release.host_problem, "[2001:4860::8]:24252", None),
    (release.host_problem, "notexample.com", None), (release.host_problem, "example.com.au", None),
    (release.host_problem, " ", "empty"), (release.host_problem, "127.4.5.6:24252", "this computer"),
    (release.host_problem, "[::1]:24252", "this computer"), (release.host_problem, "::1", "this computer"),
    (release.host_problem, "0.0.0.0", "this computer"), (release.host_problem, "eq.LocalHost.", "this computer"),
    (release.host_problem, "www.EXAMPLE.org", "a placeholder"), (release.host_problem, "status.test", "a placeholder"),
    (release.url_problem, "https://www.varnok.net/download", None),
    (release.url_problem, "http://www.example.com", "a placeholder"),
    (release.url_problem, "https://127.0.0.1:8080/x", "this computer"), (release.url_problem, "https://", "empty"),
    (release.url_problem, "www.varnok.net", "not an http or https address"),
    (release.email_problem, "support@varnok.net", None), (release.email_problem, "tallowin@example.com", "a placeholder"),
    (release.email_problem, "varnok.net", "not an e-mail address"),
]
failures = ["%s(%r) is %r, not %r" % (rule.__name__, value, rule(value), why)
            for rule, value, why in CASES if rule(value) != why]

CONFIGURED = {"TALLOWIN_STATUS_HOST": "eq.varnok.net", "TALLOWIN_WEB_SITE": "https://www.varnok.net",
              "TALLOWIN_SUPPORT_EMAIL": "support@varnok.net"}
for change, unconfigured, outcome in [
        ({}, False, ("Tallowin-1.2.3-win64", 0)),
        ({"TALLOWIN_STATUS_HOST": "127.0.0.1"}, False, "refused"),
        ({"TALLOWIN_STATUS_HOST": "127.0.0.1", "TALLOWIN_SUPPORT_EMAIL": "x@example.com"}, True,
         ("Tallowin-1.2.3-unconfigured-win64", 2)),
        ({"TALLOWIN_WEB_SITE": "http://www.example.com"}, True, ("Tallowin-1.2.3-unconfigured-win64", 2))]:
    with tempfile.TemporaryDirectory() as tree:
        with open(os.path.join(tree, "CMakeCache.txt"), "w") as f:
            f.write("".join("%s:STRING=%s\n" % item for item in dict(CONFIGURED, **change).items()))
        try:
            name = release.stage(tree, "1.2.3", "win64", tree, "", unconfigured)
        except SystemExit:
            name = "refused"
        readme = open(os.path.join(tree, "README.txt"), "rb").read() if name != "refused" else b""
        lines = readme.split(b"\r\n")
        result = name if name == "refused" else (name, sum(b" (this computer)" in l or b" (a placeholder)" in l
                                                            for l in lines))
        if result != outcome or readme and (lines[0] != b"Tallowin 1.2.3 (64-bit Windows)" or
                                            (b"NOT FOR PLAYERS" in readme) != unconfigured):
            failures.append("a build with %s, unconfigured %s: %r" % (change, unconfigured, result))

print("\n".join(failures) or "release rules: %d cases, all as expected" % (len(CASES) + 4))
sys.exit(1 if failures else 0)
