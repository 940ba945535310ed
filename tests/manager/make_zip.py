#!/usr/bin/env python3
"""Writes a ZIP archive for the manager tests: make_zip.py OUT NAME=TEXT... ; a NAME ending
in / is a folder entry, TEXT may hold \\n; TEXT "*N" stands for N bytes "x". Names are stored as given, hostile ones included."""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for entry in sys.argv[2:]:
        name, _, text = entry.partition("=")
        if name.endswith("/"):
            archive.writestr(zipfile.ZipInfo(name), b"")
        else:
            if text.startswith("*") and text[1:].isdigit():
                data = b"x" * int(text[1:])
            else:
                data = text.replace("\\n", "\n").encode("utf-8")
            archive.writestr(name, data)
