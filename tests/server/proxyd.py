#!/usr/bin/env python3
"""A CONNECT-only web proxy on loopback for the tests, as a company's proxy is to the updater.

Tunnels each CONNECT to the host and port asked and logs its request line to --log; answers
407 (credentials wanted) for the ports given with --refuse, and 405 to anything but CONNECT.
A CONNECT to "203.answer.invalid" or "302.answer.invalid" is answered by the proxy itself, in
clear text, as a captive portal or a meddling proxy does: a 203 whose body looks like a page,
or a 302 to the same port of localhost, where the real server is.
"""

import argparse
import os
import select
import socket
import sys
import threading


def tunnel(a, b):
    try:
        while True:
            ready, _, _ = select.select([a, b], [], [], 120)
            if not ready:
                return
            for s in ready:
                data = s.recv(65536)
                if not data:
                    return
                (b if s is a else a).sendall(data)
    except OSError:
        return


def handle(client, log, refused, lock):
    with client:
        request = b""
        while b"\r\n\r\n" not in request:
            piece = client.recv(4096)
            if not piece:
                return
            request += piece
        line = request.split(b"\r\n", 1)[0].decode("latin-1")
        with lock, open(log, "a", encoding="utf-8") as f:
            f.write(line + "\n")
        parts = line.split(" ")
        if len(parts) != 3 or parts[0] != "CONNECT":
            client.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        host, _, port = parts[1].rpartition(":")
        if host == "203.answer.invalid":
            body = b"[Version]\r\nVersion=9\r\n"
            client.sendall(b"HTTP/1.1 203 Non-Authoritative Information\r\nContent-Length: %d\r\n"
                           b"Connection: close\r\n\r\n%s" % (len(body), body))
            return
        if host == "302.answer.invalid":
            client.sendall(b"HTTP/1.1 302 Found\r\nLocation: https://localhost:%s/pages/long.txt\r\n"
                           b"Content-Length: 0\r\nConnection: close\r\n\r\n" % port.encode())
            return
        if int(port) in refused:
            client.sendall(b"HTTP/1.1 407 Proxy Authentication Required\r\n"
                           b"Proxy-Authenticate: Basic realm=\"tests\"\r\nContent-Length: 0\r\n\r\n")
            return
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
        except OSError:
            client.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        with upstream:
            upstream.settimeout(None)
            client.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            tunnel(client, upstream)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--refuse", type=int, action="append", default=[])
    parser.add_argument("--ready-file")
    args = parser.parse_args()
    listener = socket.create_server(("127.0.0.1", args.port))
    if args.ready_file:
        with open(args.ready_file + ".tmp", "w") as f:
            f.write(f"{args.port}\n")
        os.replace(args.ready_file + ".tmp", args.ready_file)
    lock = threading.Lock()
    while True:
        client, _ = listener.accept()
        threading.Thread(target=handle, args=(client, args.log, set(args.refuse), lock), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
