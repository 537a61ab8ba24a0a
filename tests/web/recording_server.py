#!/usr/bin/env python3
"""Recording HTTP/HTTPS server for the request-routine tests (loopback only).

Every request is kept exactly as it arrived on the socket (request line,
header lines in their order, body bytes); a raw socket server, so nothing is
normalised. The reply is chosen by the first path segment; the rest of the
path is a free tag the test uses to find its request again:

  /echo/TAG                      200, body "echo"
  /reply/TAG?status=..&h=..&body=..&hex=..&pad=N
                                 status line reason as given ("404 Not Found"),
                                 each h a raw header line, body text or hex
                                 bytes, pad N bytes of "x" in front of it
  /redirect/TAG?to=URL[&code=302] redirect to URL, body "moved"
  /big/TAG?n=N                   N body bytes, byte i = i % 251
  /bigheaders/TAG?n=N            N header lines of 115 bytes, then two Set-Cookie lines
  /stall/TAG?s=S                 reads the request, answers nothing for S seconds
  /drop/TAG                      reads the request, closes without an answer
  /cut/TAG?body=..               200 promising 1000 bytes more than the body, then closes
  /stallbody/TAG?body=..&s=S     200 promising 1000 bytes more than the body, then nothing for S seconds
  /trickle/TAG?n=N&ms=M          200 with N bytes of "x", one every M milliseconds
  /huge/TAG?n=N                  200 with N bytes of "x", sent in 1 MB pieces
  /loop/TAG                      302 to itself

Control (not recorded):
  /__req?tag=T     the raw bytes of the latest request whose path holds T (404: none)
  /__count?tag=T   how many recorded requests have T in their path

Usage: recording_server.py --dir DIR. Writes DIR/cert.pem, DIR/key.pem,
DIR/cert.pin (the SHA-256 of the certificate's public key, in hex), DIR/pid
and last DIR/ports ("HTTP_PORT HTTPS_PORT OTHER_HTTP_PORT": a second plain
port, another origin served by the same server). Ends by itself after an hour.
"""
import argparse
import hashlib
import os
import socket
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse

LOCK = threading.Lock()
RECORDS = []  # (path of the target, raw bytes)


def read_request(conn):
    """Returns (head bytes, body bytes) or None when the peer closed first."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip() or b"0")
    while len(body) < length:
        chunk = conn.recv(65536)
        if not chunk:
            break
        body += chunk
    return head + b"\r\n\r\n", body


def answer(conn, status, headers, body):
    lines = ["HTTP/1.1 " + status] + headers + [
        "Content-Length: %d" % len(body), "Connection: close"]
    conn.sendall("\r\n".join(lines).encode("latin-1") + b"\r\n\r\n" + body)


def handle(conn, target):
    split = urllib.parse.urlsplit(target)
    query = urllib.parse.parse_qs(split.query, keep_blank_values=True, encoding="latin-1")
    q = lambda k, d="": query.get(k, [d])[0]
    kind = split.path.strip("/").split("/")[0]
    html = ["Content-Type: text/html"]
    if kind == "__req":
        with LOCK:
            hits = [raw for t, raw in RECORDS if q("tag") in t]
        if hits:
            answer(conn, "200 OK", ["Content-Type: application/octet-stream"], hits[-1])
        else:
            answer(conn, "404 Not Found", [], b"")
    elif kind == "__count":
        with LOCK:
            n = sum(1 for t, _ in RECORDS if q("tag") in t)
        answer(conn, "200 OK", ["Content-Type: text/plain"], str(n).encode())
    elif kind == "echo":
        answer(conn, "200 OK", html, b"echo")
    elif kind == "reply":
        body = bytes.fromhex(q("hex")) if "hex" in query else q("body").encode("latin-1")
        body = b"x" * int(q("pad", "0")) + body
        answer(conn, q("status", "200 OK"), query.get("h", []), body)
    elif kind == "redirect":
        code = q("code", "302")
        answer(conn, code + " Found", ["Location: " + q("to")] + html, b"moved")
    elif kind == "big":
        n = int(q("n", "0"))
        answer(conn, "200 OK", ["Content-Type: application/octet-stream"],
               bytes(i % 251 for i in range(n)))
    elif kind == "bigheaders":
        n = int(q("n", "60"))
        filler = ["X-Filler-%03d: %s" % (i, "a" * 100) for i in range(n)]
        answer(conn, "200 OK", filler + ["Set-Cookie: big1=one; path=/bigheaders",
                                         "Set-Cookie: big2=two; path=/bigheaders"] + html, b"long")
    elif kind == "stall":
        time.sleep(float(q("s", "5")))
    elif kind == "drop":
        pass
    elif kind == "cut":
        body = q("body").encode("latin-1")
        head = ["HTTP/1.1 200 OK", "Content-Type: text/html",
                "Content-Length: %d" % (len(body) + 1000), "Connection: close"]
        conn.sendall("\r\n".join(head).encode("latin-1") + b"\r\n\r\n" + body)
    elif kind == "loop":
        answer(conn, "302 Found", ["Location: " + target] + html, b"again")
    elif kind in ("stallbody", "trickle", "huge"):
        n = int(q("n", "0"))
        body = q("body").encode("latin-1")
        declared = len(body) + 1000 if kind == "stallbody" else n
        head = ["HTTP/1.1 200 OK", "Content-Type: text/html", "Content-Length: %d" % declared,
                "Connection: close"]
        conn.sendall("\r\n".join(head).encode("latin-1") + b"\r\n\r\n" + body)
        if kind == "stallbody":
            time.sleep(float(q("s", "5")))
        elif kind == "trickle":
            for _ in range(n):
                time.sleep(int(q("ms", "100")) / 1000)
                conn.sendall(b"x")
        else:
            piece = b"x" * (1 << 20)
            for at in range(0, n, len(piece)):
                conn.sendall(piece[:n - at])
    else:
        answer(conn, "404 Not Found", html, b"no such script")


def serve_connection(conn, context):
    try:
        conn.settimeout(30)
        if context is not None:
            conn = context.wrap_socket(conn, server_side=True)
        request = read_request(conn)
        if request is None:
            return
        head, body = request
        line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = line.split(" ")
        target = parts[1] if len(parts) > 1 else ""
        if not urllib.parse.urlsplit(target).path.startswith("/__"):
            with LOCK:
                RECORDS.append((urllib.parse.urlsplit(target).path, head + body))
        handle(conn, target)
    except (OSError, ssl.SSLError, ValueError) as e:
        print("connection:", e, file=sys.stderr, flush=True)
    finally:
        try:
            conn.close()
        except OSError:
            pass


def listen():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(64)
    return s


def accept_loop(sock, context):
    while True:
        conn, _ = sock.accept()
        threading.Thread(target=serve_connection, args=(conn, context), daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=float, default=3600)
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    cert = os.path.join(args.dir, "cert.pem")
    key = os.path.join(args.dir, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                    "-subj", "/CN=localhost", "-days", "1", "-keyout", key, "-out", cert],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    public_key = subprocess.run(["openssl", "x509", "-in", cert, "-pubkey", "-noout"], check=True,
                                capture_output=True).stdout
    der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "der"], input=public_key,
                         check=True, capture_output=True).stdout
    with open(os.path.join(args.dir, "cert.pin"), "w") as f:
        f.write(hashlib.sha256(der).hexdigest())
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)

    plain, secure, other = listen(), listen(), listen()
    for sock, ctx in ((plain, None), (secure, context), (other, None)):
        threading.Thread(target=accept_loop, args=(sock, ctx), daemon=True).start()
    with open(os.path.join(args.dir, "pid"), "w") as f:
        f.write(str(os.getpid()))
    tmp = os.path.join(args.dir, "ports.tmp")
    with open(tmp, "w") as f:
        f.write("%d %d %d\n" % (plain.getsockname()[1], secure.getsockname()[1],
                                 other.getsockname()[1]))
    os.replace(tmp, os.path.join(args.dir, "ports"))
    time.sleep(args.lifetime)


if __name__ == "__main__":
    main()
