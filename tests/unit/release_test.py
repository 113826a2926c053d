#!/usr/bin/env python3
"""The release step's rules: which hosts and addresses are no machine of the publisher's, and how a package from
a build with such placeholders is refused, or named and described for what it is when that is asked for."""
import os, sys, tempfile
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "release"))
from release import email_problem, host_problem, stage, url_problem

CASES = [  # rule, value, why it is no machine of the publisher's (None: it may be one)
    (host_problem, "eq.varnok.net", None), (host_problem, "eq.varnok.net:24252", None), (host_problem, "1.2.3.4", None),
    (host_problem, "[2001:4860::8]:24252", None), (host_problem, "notexample.com", None),
    (host_problem, "example.com.au", None), (host_problem, " ", "empty"), (host_problem, "0.0.0.0", "this computer"),
    (host_problem, "127.4.5.6:24252", "this computer"), (host_problem, "[::1]:24252", "this computer"),
    (host_problem, "::1", "this computer"), (host_problem, "eq.LocalHost.", "this computer"),
    (host_problem, "www.EXAMPLE.org", "a placeholder"), (host_problem, "status.test", "a placeholder"),
    (url_problem, "https://www.varnok.net/download", None), (url_problem, "http://www.example.com", "a placeholder"),
    (url_problem, "https://me@127.0.0.1:8080/x", "this computer"), (url_problem, "https://", "empty"),
    (url_problem, "www.varnok.net", "not an http or https address"), (email_problem, "support@varnok.net", None),
    (email_problem, "tallowin@example.com", "a placeholder"), (email_problem, "varnok.net", "not an e-mail address"),
]
failures = ["%s(%r) is %r" % (rule.__name__, value, rule(value)) for rule, value, why in CASES if rule(value) != why]

REAL = {"TALLOWIN_STATUS_HOST": "eq.varnok.net", "TALLOWIN_WEB_SITE": "https://varnok.net",
        "TALLOWIN_SUPPORT_EMAIL": "support@varnok.net"}
UNCONFIGURED = "Tallowin-1.2.3-unconfigured-win64"
BUILDS = [  # the cache's placeholders, the download address, --unconfigured, the name, the README's lines on them
    ({}, "", False, "Tallowin-1.2.3-win64", 0), ({}, "", True, "Tallowin-1.2.3-win64", 0),
    ({"TALLOWIN_STATUS_HOST": "127.0.0.1"}, "", False, "refused", 0),
    ({"TALLOWIN_STATUS_HOST": "", "TALLOWIN_SUPPORT_EMAIL": "x@example.com"}, "", True, UNCONFIGURED, 3),
    ({"TALLOWIN_WEB_SITE": "http://example.com"}, "", True, UNCONFIGURED, 2),  # the page and the download address
    ({"TALLOWIN_WEB_SITE": "http://example.com"}, "https://varnok.net/dl", True, UNCONFIGURED, 1)]
for change, url, unconfigured, name, lines in BUILDS:
    with tempfile.TemporaryDirectory() as tree:
        with open(os.path.join(tree, "CMakeCache.txt"), "w") as f:
            f.write("".join("%s:STRING=%s\n" % item for item in dict(REAL, **change).items()))
        try:
            made = stage(tree, "1.2.3", "win64", tree, url, unconfigured)
            readme = open(os.path.join(tree, "README.txt"), "rb").read().split(b"\r\n")
        except SystemExit:
            made, readme = "refused", [b"Tallowin 1.2.3 (64-bit Windows)"]
        found = sum(line.endswith((b"(empty)", b"(this computer)", b"(a placeholder)", b"anyone the status"))
                    for line in readme)
        if (made, found, readme[0]) != (name, lines, b"Tallowin 1.2.3 (64-bit Windows)"):
            failures.append("a build with %s: %s, %d lines, %r" % (change, made, found, readme[0]))

sys.exit("\n".join(failures) or None)
