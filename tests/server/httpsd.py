#!/usr/bin/env python3
"""Local HTTPS update server for the tests and the demo.

Serves a folder over HTTPS on loopback. Faults are chosen per folder by a file named
".httpsd.json" in the folder or any folder above it (the nearest one wins):

  {"missing": "404" | "404-erreur" | "404-error" | "200-error",
   "faults": {"NAME": {"status": 500} | {"drop_after": 1000} | {"rate": 20000}
                      | {"no_length": true}}}

"missing" says how a file that does not exist is answered: a 404 page without any marker
(the default), a 404 page holding "Erreur 404" or "Error 404", or a normal 200 page holding
"ERROR 404". "faults" applies to the file NAME of that folder: a status of its own, the
connection dropped after a number of body bytes (the headers announce the whole length), a
body sent at a given number of bytes per second, or a body sent without Content-Length.

Each request can be logged as one JSON line (method, path, headers) with --log.
"""

import argparse
import http.server
import json
import os
import posixpath
import socket
import ssl
import sys
import threading
import time
import urllib.parse

MISSING = {
    "404": (404, b"<html><head><title>Not Found</title></head><body><h1>Not Found</h1>"
                 b"<p>The requested URL was not found on this server.</p></body></html>"),
    "404-erreur": (404, b"<html><body><h1>Erreur 404</h1><p>Page introuvable.</p></body></html>"),
    "404-error": (404, b"<html><body><h1>Error 404</h1><p>Page not found.</p></body></html>"),
    "200-error": (200, b"<html><body><h1>ERROR 404</h1><p>Not found.</p></body></html>"),
}
CONFIG_NAME = ".httpsd.json"
CHUNK = 64 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "httpsd"

    def log_message(self, *args):
        pass  # requests go to --log, not to the terminal

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    # -- request handling ---------------------------------------------------------------
    def answer(self, send_body):
        self.server.record(self)
        path = self.local_path()
        if path is None:
            return self.send_simple(403, b"Forbidden", send_body)
        config = self.server.config_for(os.path.dirname(path))
        fault = config.get("faults", {}).get(os.path.basename(path), {})
        if "status" in fault:
            return self.send_simple(fault["status"], fault.get("body", "Server fault").encode(),
                                    send_body)
        if not os.path.isfile(path):
            status, body = MISSING[config.get("missing", "404")]
            return self.send_simple(status, body, send_body)
        with open(path, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if fault.get("no_length"):
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if not send_body:
            return
        if "drop_after" in fault:
            self.wfile.write(data[:fault["drop_after"]])
            self.wfile.flush()
            self.abort()
            return
        self.send_body(data, fault.get("rate"))

    def local_path(self):
        """The file a request names inside the served folder, or None when it leads out."""
        raw = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if ".." in raw.replace("\\", "/").split("/"):
            return None
        clean = posixpath.normpath("/" + raw.lstrip("/"))
        full = os.path.realpath(os.path.join(self.server.root, clean.lstrip("/")))
        if full != self.server.root and not full.startswith(self.server.root + os.sep):
            return None
        return full

    def send_simple(self, status, body, send_body):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def send_body(self, data, rate):
        if not rate:
            for i in range(0, len(data), CHUNK):
                self.wfile.write(data[i:i + CHUNK])
            return
        step = max(1, rate // 10)
        for i in range(0, len(data), step):
            self.wfile.write(data[i:i + step])
            self.wfile.flush()
            time.sleep(step / rate)

    def abort(self):
        """Ends the connection in the middle of the body, as a failing server would."""
        self.close_connection = True
        try:
            self.request.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, root, context, log_path=None):
        super().__init__(address, Handler)
        self.root = os.path.realpath(root)
        self.context = context
        self.log_lock = threading.Lock()
        self.log_path = log_path

    def finish_request(self, request, client_address):
        # The handshake runs in the request's own thread, so a client that refuses the
        # certificate or stalls cannot hold up the others.
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        try:
            super().finish_request(request, client_address)
        finally:
            request.close()

    def handle_error(self, request, client_address):
        pass  # clients that hang up mid-body are part of the tests

    def config_for(self, folder):
        folder = os.path.realpath(folder)
        while True:
            candidate = os.path.join(folder, CONFIG_NAME)
            if os.path.isfile(candidate):
                with open(candidate, encoding="utf-8") as f:
                    return json.load(f)
            if folder == self.root or not folder.startswith(self.root):
                return {}
            folder = os.path.dirname(folder)

    def record(self, handler):
        if not self.log_path:
            return
        line = json.dumps({"method": handler.command, "path": handler.path,
                           "headers": dict(handler.headers.items())})
        with self.log_lock, open(self.log_path, "a", encoding="utf-8") as f:
            f.write(line + "\n")


def make_server(root, cert, key, port=0, log_path=None):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return Server(("127.0.0.1", port), root, context, log_path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="folder to serve")
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--port", type=int, default=0, help="0 chooses a free port")
    parser.add_argument("--log", help="append one JSON line per request to this file")
    parser.add_argument("--ready-file", help="write the port here once listening")
    args = parser.parse_args()
    server = make_server(args.root, args.cert, args.key, args.port, args.log)
    port = server.server_address[1]
    if args.ready_file:
        tmp = args.ready_file + ".tmp"
        with open(tmp, "w") as f:
            f.write(f"{port}\n")
        os.replace(tmp, args.ready_file)
    else:
        print(f"https://localhost:{port}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
