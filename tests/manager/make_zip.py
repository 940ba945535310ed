#!/usr/bin/env python3
"""Writes a ZIP archive for the manager tests: make_zip.py OUT NAME=TEXT... ; a NAME ending
in / is a folder entry, TEXT may hold \\n; TEXT "*N" stands for N bytes "x". Names are stored
as given, hostile ones included; "<RLO>" in a name stands for U+202E. A NAME may end in one
fault: "|bzip2" (a real bzip2 entry, a method the reader lacks), "|short" (declares more
data than the entry holds) or "|badcrc" (a wrong CRC in both headers). The archive's
comment is "made for a test". "--many=N" adds N small files d<k>/f<i>.txt holding "<i>"."""
import struct
import sys
import zipfile

faults = {}
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    # Plain bytes inside the signed content that a test may change.
    archive.comment = b"made for a test"
    for entry in sys.argv[2:]:
        if entry.startswith("--many="):
            for i in range(int(entry[7:])):
                archive.writestr("d%d/f%05d.txt" % (i % 7, i), str(i), zipfile.ZIP_STORED)
            continue
        name, _, text = entry.partition("=")
        name, _, fault = name.partition("|")
        name = name.replace("<RLO>", "\u202e")
        if name.endswith("/"):
            archive.writestr(zipfile.ZipInfo(name), b"")
            continue
        if text.startswith("*") and text[1:].isdigit():
            data = b"x" * int(text[1:])
        else:
            data = text.replace("\\n", "\n").encode("utf-8")
        method = zipfile.ZIP_BZIP2 if fault == "bzip2" else zipfile.ZIP_DEFLATED
        archive.writestr(name, data, compress_type=method)
        if fault in ("short", "badcrc"):
            faults[name] = fault

with zipfile.ZipFile(sys.argv[1]) as archive:
    infos = archive.infolist()
raw = bytearray(open(sys.argv[1], "rb").read())
central = raw.find(b"PK\x01\x02")
for info in infos:
    fault = faults.get(info.filename)
    if fault:
        # The entry's central record: the one whose name matches.
        pos = central
        while True:
            pos = raw.find(b"PK\x01\x02", pos)
            length = struct.unpack_from("<H", raw, pos + 28)[0]
            if raw[pos + 46:pos + 46 + length].decode("utf-8") == info.filename:
                break
            pos += 4
        local = info.header_offset
        if fault == "short":
            for field in (local + 22, pos + 24):
                struct.pack_into("<I", raw, field, info.file_size + 1000)
        else:
            for field in (local + 14, pos + 16):
                struct.pack_into("<I", raw, field, info.CRC ^ 0x5A5A5A5A)
open(sys.argv[1], "wb").write(raw)
