#!/usr/bin/env python3
"""Cuts a file to nothing the moment a process of this test run has it open or mapped.

Usage: cut_when_open.py PATH STATE_FILE [TIMEOUT_SECONDS]

What a network drive that drops, or a removable medium that fails, does to a program that
is reading a container. The processes watched are those carrying this run's
DOSSIQ_RUN_TAG. Forks and returns at once; the child writes "ready" to STATE_FILE when it
watches, then "cut" once it has cut the file or "missed" when the time ran out.
"""
import os
import sys
import time


def run_pids(tag):
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open("/proc/%s/environ" % entry, "rb") as environ:
                if b"DOSSIQ_RUN_TAG=" + tag.encode() + b"\0" in environ.read() + b"\0":
                    pids.append(entry)
        except OSError:
            pass
    return pids


def holds(pid, path):
    try:
        for fd in os.listdir("/proc/%s/fd" % pid):
            try:
                if os.readlink("/proc/%s/fd/%s" % (pid, fd)) == path:
                    return True
            except OSError:
                pass
        with open("/proc/%s/maps" % pid) as maps:
            return path in maps.read()
    except OSError:
        return False


def write_state(state_file, text):
    with open(state_file + ".tmp", "w") as out:
        out.write(text)
    os.replace(state_file + ".tmp", state_file)


def main():
    path = os.path.realpath(sys.argv[1])
    state_file = sys.argv[2]
    timeout = float(sys.argv[3]) if len(sys.argv) > 3 else 60.0
    if os.fork() != 0:
        return
    os.setsid()
    pids = run_pids(os.environ.get("DOSSIQ_RUN_TAG", "-"))
    write_state(state_file, "ready")
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if any(holds(pid, path) for pid in pids):
            os.truncate(path, 0)
            write_state(state_file, "cut")
            return
        time.sleep(0.0005)
    write_state(state_file, "missed")


if __name__ == "__main__":
    main()
