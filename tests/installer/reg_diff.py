#!/usr/bin/env python3
"""Compares two registry exports (.reg files as `reg export` writes them, UTF-16 or UTF-8).

    reg_diff.py BEFORE AFTER [--ignore REGEX ...]

Prints one line per key or value that was added (+), removed (-) or changed (~), skipping
keys that match an --ignore expression (case-insensitive, searched in the key path), and
exits 1 when anything is left, 0 when the two exports hold the same keys and values.
"""
import argparse
import re
import sys


def read_text(path):
    data = open(path, "rb").read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8")
    return data.decode("utf-8")


def parse(path):
    """Returns {key path (lower case): (key path, {value name: data})}."""
    keys = {}
    current = None
    pending = ""
    for raw in read_text(path).splitlines():
        line = pending + raw.strip() if pending else raw.rstrip("\r")
        # Long binary values continue on the next line after a trailing backslash.
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        if not line or line.startswith(";") or line.startswith("REGEDIT") or \
                line.startswith("Windows Registry Editor"):
            continue
        if line.startswith("[") and line.endswith("]"):
            name = line[1:-1]
            current = keys.setdefault(name.lower(), (name, {}))[1]
            continue
        if current is None:
            continue
        match = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
        if match:
            current[match.group(1).lower()] = match.group(2)
    return keys


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--ignore", action="append", default=[])
    args = parser.parse_args()
    ignore = [re.compile(expression, re.IGNORECASE) for expression in args.ignore]

    def ignored(key):
        return any(expression.search(key) for expression in ignore)

    before = parse(args.before)
    after = parse(args.after)
    lines = []
    for lower in sorted(set(before) | set(after)):
        name = (after.get(lower) or before.get(lower))[0]
        if ignored(name):
            continue
        if lower not in before:
            lines.append("+ [%s]" % name)
        elif lower not in after:
            lines.append("- [%s]" % name)
            continue
        old = before.get(lower, (name, {}))[1]
        new = after[lower][1]
        for value in sorted(set(old) | set(new)):
            if value not in old:
                lines.append("+ [%s] %s=%s" % (name, value, new[value]))
            elif value not in new:
                lines.append("- [%s] %s=%s" % (name, value, old[value]))
            elif old[value] != new[value]:
                lines.append("~ [%s] %s: %s -> %s" % (name, value, old[value], new[value]))
    for line in lines:
        print(line)
    return 1 if lines else 0


if __name__ == "__main__":
    sys.exit(main())
