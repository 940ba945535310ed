#!/usr/bin/env python3
"""Loopback HTTP server for the test PKI's revocation lists and its time-stamping authority.

Usage: crl_server.py ROOT [LIFETIME_SECONDS [PORT]]

Binds PORT (by default a free port) on 127.0.0.1 for serving ROOT and a second port that is bound but never
listens (connections to it are refused: the address of a CRL that nothing serves). Prints
"PORT DEAD_PORT PID" and returns at once; the forked child serves until it is killed, its
ROOT folder disappears (the test program's scratch folder was removed) or LIFETIME passes.

POST /RUN/tsa/SECTION answers an application/timestamp-query with `openssl ts -reply`, signed
as section SECTION of ROOT/../tsa.cnf says; POST /RUN/tsa/replay answers with the bytes of
ROOT/../replay.tsr whatever was asked (a reply to another request).

While ROOT/../publish-on-request exists, each GET of a CA's list (RUN/CA.crl, RUN/late/CA.crl)
first issues a new one from the CA's database, as a CA that publishes continuously would: its
this-update is the time of the request.

POST /RUN/ocsp/SECTION answers an application/ocsp-request with the command of line SECTION
of ROOT/../ocsp.sections (REQ and RESP replaced by the request and response files); POST
/RUN/ocsp/replay answers with the bytes of ROOT/../replay.ocsp.
"""
import functools
import http.server
import os
import re
import shlex
import socket
import subprocess
import sys
import tempfile
import threading
import time


PUBLISHING = threading.Lock()


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {"": "application/octet-stream", ".crl": "application/pkix-crl"}

    def do_GET(self):
        kit = os.path.dirname(os.path.abspath(self.directory))
        match = re.fullmatch(r"/[^/]+/(late/)?(\w+)\.crl", self.path)
        if (match and os.path.exists(os.path.join(kit, "publish-on-request"))
                and os.path.exists(os.path.join(kit, "work", match.group(2), "ca.cnf"))):
            ca = match.group(2)
            with PUBLISHING:
                pem = subprocess.run(["openssl", "ca", "-batch", "-config",
                                      os.path.join("work", ca, "ca.cnf"), "-gencrl"],
                                     cwd=kit, capture_output=True).stdout
                der = subprocess.run(["openssl", "crl", "-outform", "DER"], input=pem,
                                     capture_output=True).stdout
                if der:
                    with open(os.path.join(self.directory, self.path.lstrip("/")), "wb") as f:
                        f.write(der)
        super().do_GET()

    def do_POST(self):
        kit = os.path.dirname(os.path.abspath(self.directory))
        match = re.fullmatch(r"/[^/]+/tsa/(\w+)", self.path)
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        reply = None
        ocsp = re.fullmatch(r"/[^/]+/ocsp/(\w+)", self.path)
        if ocsp:
            self.answer_ocsp(kit, ocsp.group(1), query)
            return
        if match and match.group(1) == "replay":
            with open(os.path.join(kit, "replay.tsr"), "rb") as f:
                reply = f.read()
        elif match and self.headers.get("Content-Type") == "application/timestamp-query":
            with tempfile.TemporaryDirectory() as work:
                with open(os.path.join(work, "q.tsq"), "wb") as f:
                    f.write(query)
                made = subprocess.run(
                    ["openssl", "ts", "-reply", "-config", "tsa.cnf", "-section", match.group(1),
                     "-queryfile", os.path.join(work, "q.tsq"),
                     "-out", os.path.join(work, "r.tsr")], cwd=kit, capture_output=True)
                if made.returncode == 0:
                    with open(os.path.join(work, "r.tsr"), "rb") as f:
                        reply = f.read()
        if reply is None:
            self.send_error(400)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def answer_ocsp(self, kit, section, query):
        reply = None
        if section == "replay":
            with open(os.path.join(kit, "replay.ocsp"), "rb") as f:
                reply = f.read()
        else:
            with open(os.path.join(kit, "ocsp.sections")) as f:
                commands = dict(line.rstrip("\n").split(" ", 1) for line in f if " " in line)
            with tempfile.TemporaryDirectory() as work:
                request, response = os.path.join(work, "q.der"), os.path.join(work, "r.der")
                with open(request, "wb") as f:
                    f.write(query)
                if section in commands:
                    words = [{"REQ": request, "RESP": response}.get(w, w)
                             for w in shlex.split(commands[section])]
                    subprocess.run(words, cwd=kit, capture_output=True)
                if os.path.exists(response):
                    with open(response, "rb") as f:
                        reply = f.read()
        if not reply:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/ocsp-response")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, fmt, *args):
        with open(os.path.join(self.directory, "..", "requests.log"), "a") as log:
            log.write("%s\n" % (fmt % args))


def main():
    root = os.path.abspath(sys.argv[1])
    lifetime = float(sys.argv[2]) if len(sys.argv) > 2 else 3600.0
    port = int(sys.argv[3]) if len(sys.argv) > 3 else 0
    handler = functools.partial(QuietHandler, directory=root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    dead = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    dead.bind(("127.0.0.1", 0))

    pid = os.fork()
    if pid:
        print(server.server_address[1], dead.getsockname()[1], pid, flush=True)
        os._exit(0)

    os.setsid()
    devnull = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(devnull, fd)

    def watchdog():
        deadline = time.monotonic() + lifetime
        while time.monotonic() < deadline and os.path.isdir(root):
            time.sleep(1)
        server.shutdown()

    threading.Thread(target=watchdog, daemon=True).start()
    server.serve_forever(poll_interval=0.2)
    os._exit(0)


if __name__ == "__main__":
    main()
