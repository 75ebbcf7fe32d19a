#!/usr/bin/env python3
"""Says which tests ctest skipped and why, from its JUnit files, one line a
reason: a skip must never pass for a pass.

usage: skipped.py JUNIT_XML...
"""
import os
import sys
import xml.etree.ElementTree as ET


def reason(case):
    """The line a skipped test printed to say why, else ctest's note."""
    out = case.findtext("system-out") or ""
    lines = [line.strip() for line in out.splitlines() if line.strip()]
    for line in lines:
        if line.startswith("SKIPPED:"):
            return line[len("SKIPPED:"):].strip()
    skipped = case.find("skipped")
    return lines[-1] if lines else skipped.get("message", "no reason given")


def family(name):
    """wine.run32.help -> wine.run32.*"""
    return name.rsplit(".", 1)[0] + ".*" if "." in name else name


def main(paths):
    reasons = {}
    for path in paths:
        if not os.path.exists(path):
            continue
        for case in ET.parse(path).getroot().iter("testcase"):
            if case.find("skipped") is not None:
                reasons.setdefault(reason(case), []).append(case.get("name"))
    if not reasons:
        print("No test was skipped.")
    for why, names in reasons.items():
        families = ", ".join(dict.fromkeys(family(n) for n in names))
        count = f"{len(names)} test{'s' if len(names) > 1 else ''}"
        print(f"{count} skipped ({families}): {why}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
