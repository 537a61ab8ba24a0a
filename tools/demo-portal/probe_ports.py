"""The machines' remote addresses on 127.0.0.1, for the terminal's probe: one
port that listens (and accepts at once), one that is closed, one that
accepts slowly (its queue is kept full, and it takes what waits every 5 s, so
a connect gets no answer for seconds).  Nothing is ever read or written."""

import socket
import threading
import time

SLOW_ACCEPT_S = 5.0

# The probe_ports option: which port each machine gets.
MODES = ("", "mixed", "listening", "closed", "slow", "noport")


class ProbePorts:
    def __init__(self):
        self.listening = socket.socket()
        self.listening.bind(("127.0.0.1", 0))
        self.listening.listen(4096)
        # Bound but not listening: a connect is refused.
        self.closed = socket.socket()
        self.closed.bind(("127.0.0.1", 0))
        # A queue of one, filled by a connection of our own: the kernel
        # answers no other connect until it is taken.
        self.slow = socket.socket()
        self.slow.bind(("127.0.0.1", 0))
        self.slow.listen(0)
        self.slow.setblocking(False)
        self.fillers = []
        self.fill()
        threading.Thread(target=self.accept_at_once, daemon=True).start()
        threading.Thread(target=self.accept_slowly, daemon=True).start()

    def port(self, which):
        return {"listening": self.listening, "closed": self.closed,
                "slow": self.slow}[which].getsockname()[1]

    def fill(self):
        filler = socket.socket()
        filler.setblocking(False)
        filler.connect_ex(self.slow.getsockname())
        self.fillers.append(filler)

    def accept_at_once(self):
        while True:
            try:
                conn, _ = self.listening.accept()
                conn.close()
            except OSError:
                return

    def accept_slowly(self):
        while True:
            time.sleep(SLOW_ACCEPT_S)
            while True:
                try:
                    conn, _ = self.slow.accept()
                    conn.close()
                except BlockingIOError:
                    break
                except OSError:
                    return
            for filler in self.fillers:
                filler.close()
            self.fillers = []
            self.fill()


def with_probe_ports(rows, mode, ports):
    """The rows with the probe_ports option applied: every remote address on
    127.0.0.1, at the listening, closed or slow port ("mixed": machine 1
    listening, 2 closed, 3 slow, 4 listening...), or with no port at all
    ("noport": not an address the terminal probes)."""
    if not mode or ports is None:
        return rows
    kinds = ("slow", "listening", "closed")
    out = []
    for row in rows:
        number = (int(row[11]) - 10000) // 3  # the machine's number, from its vpsid
        kind = kinds[number % 3] if mode == "mixed" else mode
        address = "127.0.0.1" if kind == "noport" else "127.0.0.1:%d" % ports.port(kind)
        out.append(row[:3] + [address] + row[4:])
    return out
