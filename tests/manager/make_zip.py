#!/usr/bin/env python3
"""Writes a ZIP archive for the manager tests: make_zip.py OUT NAME=TEXT... ; a NAME ending
in / is a folder entry, TEXT may hold \\n; TEXT "*N" stands for N bytes "x". Names are stored
as given, hostile ones included. "--many=N" adds N small files d<k>/f<i>.txt holding "<i>"."""
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for entry in sys.argv[2:]:
        if entry.startswith("--many="):
            for i in range(int(entry[7:])):
                archive.writestr("d%d/f%05d.txt" % (i % 7, i), str(i), zipfile.ZIP_STORED)
            continue
        name, _, text = entry.partition("=")
        if name.endswith("/"):
            archive.writestr(zipfile.ZipInfo(name), b"")
        else:
            if text.startswith("*") and text[1:].isdigit():
                data = b"x" * int(text[1:])
            else:
                data = text.replace("\\n", "\n").encode("utf-8")
            archive.writestr(name, data)
