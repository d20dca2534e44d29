#!/usr/bin/env python3
"""Prints how many tests of a CTest run ran, passed, failed and were skipped, and why each skipped
test was skipped (its GoogleTest skip message), from CTest's JUnit report; and the tests left out
of the run because they are not yet brought to Windows, with their reasons.

    windows-summary.py REPORT.xml PENDING.txt
    windows-summary.py --regex PENDING.txt      the CTest exclusion pattern of the pending tests

PENDING.txt: one test a line, "NAME: reason"; blank lines and lines starting with "#" are ignored.
"""
import re
import sys
import xml.etree.ElementTree as ET


def skip_reason(case):
    text = ""
    for tag in ("skipped", "system-out"):
        node = case.find(tag)
        if node is not None:
            text += (node.get("message") or "") + "\n" + (node.text or "")
    # GoogleTest prints the skip message on the line(s) before "[  SKIPPED ]".
    lines = [l.strip() for l in text.splitlines()]
    for i, line in enumerate(lines):
        if line.startswith("[  SKIPPED ]"):
            before = [l for l in lines[max(0, i - 3):i] if l and not l.startswith("[")]
            if before:
                return before[-1]
    for line in lines:
        if "Skipped" in line or "skip" in line.lower():
            return line
    return "(no reason given)"


def read_pending(path):
    pending = []
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            name, _, reason = line.partition(": ")
            pending.append((name.strip(), reason.strip() or "(no reason given)"))
    return pending


def main():
    if len(sys.argv) < 3:
        print(__doc__, file=sys.stderr)
        return 2
    if sys.argv[1] == "--regex":
        names = [re.escape(name) for name, _ in read_pending(sys.argv[2])]
        # CTest names a case with a parameter that GoogleTest cannot print "NAME  # GetParam() = ...".
        # A pattern that matches nothing when nothing is pending.
        print("^(" + "|".join(names) + ")( |$)" if names else "^$^")
        return 0
    try:
        root = ET.parse(sys.argv[1]).getroot()
    except (OSError, ET.ParseError) as error:
        print(f"windows-summary: cannot read {sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    cases = root.iter("testcase")
    ran = passed = failed = skipped = 0
    skipped_cases = []
    failed_cases = []
    for case in cases:
        status = case.get("status", "")
        name = case.get("name", "?")
        if case.find("skipped") is not None or status in ("notrun", "disabled"):
            skipped += 1
            skipped_cases.append((name, skip_reason(case)))
            continue
        ran += 1
        if case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed += 1
            failed_cases.append(name)
        else:
            passed += 1
    print(f"=== Windows tests under Wine: {ran + skipped} in all, {ran} ran, {passed} passed, "
          f"{failed} failed, {skipped} skipped")
    for name, reason in skipped_cases:
        print(f"  skipped: {name}: {reason}")
    for name in failed_cases:
        print(f"  FAILED: {name}")
    pending = read_pending(sys.argv[2])
    if pending:
        print(f"=== {len(pending)} tests not run on Windows yet (tests/windows-pending.txt):")
        for name, reason in pending:
            print(f"  pending: {name}: {reason}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
