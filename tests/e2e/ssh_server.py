#!/usr/bin/python3
"""A loopback SSH server for the end-to-end test of Linux远程 (paramiko).

Password authentication only; every password is accepted and recorded. Each
event is one JSON line in the record file, written and flushed at once:
  {"event": "auth", "user": "root", "password_hex": "<the bytes received>"}
  {"event": "shell"}          (a shell channel was opened)
It prints "LISTENING <port>" once it accepts connections, and writes
PuTTY's host-key cache entry for its key (name and value on two lines) to
the --hostkey-out file, so a test can seed PuTTY's cache.
"""
import argparse
import json
import socket
import sys
import threading

import paramiko


class Recorder:
    def __init__(self, path):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8")

    def write(self, entry):
        with self.lock:
            self.file.write(json.dumps(entry) + "\n")
            self.file.flush()


class Server(paramiko.ServerInterface):
    def __init__(self, recorder):
        self.recorder = recorder

    def get_allowed_auths(self, username):
        return "password"

    def check_auth_password(self, username, password):
        raw = password.encode("utf-8") if isinstance(password, str) else password
        self.recorder.write({"event": "auth", "user": username, "password_hex": raw.hex()})
        return paramiko.AUTH_SUCCESSFUL

    def check_channel_request(self, kind, chanid):
        if kind == "session":
            return paramiko.OPEN_SUCCEEDED
        return paramiko.OPEN_FAILED_ADMINISTRATIVELY_PROHIBITED

    def check_channel_pty_request(self, *args):
        return True

    def check_channel_shell_request(self, channel):
        self.recorder.write({"event": "shell"})
        return True


def serve(conn, key, recorder):
    transport = paramiko.Transport(conn)
    transport.add_server_key(key)
    try:
        transport.start_server(server=Server(recorder))
        channel = transport.accept(60)
        if channel is None:
            return
        channel.sendall(b"qarvex-test:~# ")
        while transport.is_active():  # echo until the client goes
            data = channel.recv(1024)
            if not data:
                break
            channel.sendall(data)
    except Exception:
        pass
    finally:
        transport.close()


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--record", required=True)
    p.add_argument("--hostkey-out", required=True)
    args = p.parse_args()

    key = paramiko.RSAKey.generate(2048)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    port = listener.getsockname()[1]
    numbers = key.public_numbers
    with open(args.hostkey_out, "w", encoding="ascii") as f:
        f.write("rsa2@%d:127.0.0.1\n0x%x,0x%x\n" % (port, numbers.e, numbers.n))
    recorder = Recorder(args.record)
    print("LISTENING %d" % port, flush=True)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn, key, recorder), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
