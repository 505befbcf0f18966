"""Reading an engine's output lines over a pipe, with a deadline (shared by
the measuring scripts)."""
import os
import select
import time


def read_line(proc, buffer, deadline):
    """The next output line (without its line feed), or None at the deadline."""
    while b"\n" not in buffer[0]:
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        ready, _, _ = select.select([proc.stdout], [], [], left)
        if not ready:
            return None
        chunk = os.read(proc.stdout.fileno(), 65536)
        if not chunk:
            return None
        buffer[0] += chunk
    line, buffer[0] = buffer[0].split(b"\n", 1)
    return line.decode("latin-1")


def open_engine(engine, hash_mb, threads=1, options=()):
    """An engine process after `usi`, `USI_Hash`, `Threads`, the given
    `setoption` lines (the engine takes options only before `usinewgame`),
    `isready` and `usinewgame`, with its line buffer and a function that
    writes one line to it."""
    import subprocess
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    buffer = [b""]

    def send(line):
        proc.stdin.write((line + "\n").encode())
        proc.stdin.flush()

    send("usi")
    send(f"setoption name USI_Hash value {hash_mb}")
    if threads != 1:
        send(f"setoption name Threads value {threads}")
    for option in options:
        send(option)
    send("isready")
    deadline = time.monotonic() + 60
    while True:
        line = read_line(proc, buffer, deadline)
        if line is None or line == "readyok":
            break
    send("usinewgame")
    return proc, buffer, send


def close_engine(proc, send):
    """`quit`, then the process's end (killed after 10 s)."""
    import subprocess
    send("quit")
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
