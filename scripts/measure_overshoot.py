#!/usr/bin/env python3
"""Measures how long after its time limit a "go mate" answers "checkmate timeout".

    scripts/measure_overshoot.py [--engine build/kestrane] [--limit 1000] [--runs 5]
                                 [--problem zukou.sfen:7] [--hash 64]

Each run starts a fresh engine, sets up the problem (default: Shogi Zukou
No. 8, index 7 of problems/zukou.sfen, which takes far longer than the
limit) and writes "stop" and "go mate <limit>" together. The Sorry reply to
"stop" shows the moment the idle command loop woke, and "go mate" is taken
right after it. The overshoot is the
time from that reply to "checkmate timeout" minus the limit (it includes the
first allocation of the tables). The latency from writing "go mate" is shown
too; it adds the wait for the command loop to wake (well under a
millisecond: a new line wakes it, see scripts/measure_latency.py). A run
whose answer is not "checkmate timeout" is reported and makes the script
fail, since it measured nothing.
"""
import argparse
import os
import random
import statistics
import subprocess
import sys
import time

from engine_pipe import read_line

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def load_problem(reference):
    name, index = reference.split(":")
    rows = []
    with open(os.path.join(ROOT, "problems", name), encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                rows.append(line.split("\t")[0])
    return rows[int(index)]


def one_run(engine, sfen, limit_ms, hash_mb):
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    buffer = [b""]
    try:
        def send(text):
            proc.stdin.write((text + "\n").encode())
            proc.stdin.flush()

        send("usi")
        deadline = time.monotonic() + 30
        while read_line(proc, buffer, deadline) not in ("usiok", None):
            pass
        send("setoption name USI_Hash value %d" % hash_mb)
        send("usinewgame")
        send("position sfen " + sfen)
        # Let the earlier lines be handled, so that the loop is idle when
        # the next write lands.
        time.sleep(0.25 + random.uniform(0.0, 0.1))
        written = time.monotonic()
        proc.stdin.write(("stop\ngo mate %d\n" % limit_ms).encode())
        proc.stdin.flush()
        deadline = written + limit_ms / 1000.0 + 60
        woke = None
        while True:
            line = read_line(proc, buffer, deadline)
            if line is None:
                return None, None, "no answer within 60 s after the limit"
            if woke is None and line.startswith("info string Sorry"):
                woke = time.monotonic()
            if line.startswith("checkmate"):
                now = time.monotonic()
                if woke is None:
                    return None, None, "no reply to stop before the answer"
                return ((now - woke) * 1000.0 - limit_ms, (now - written) * 1000.0 - limit_ms, line)
    finally:
        try:
            proc.stdin.write(b"quit\n")
            proc.stdin.flush()
        except BrokenPipeError:
            pass
        proc.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "kestrane"))
    parser.add_argument("--limit", type=int, default=1000, help="go mate limit in ms")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--problem", default="zukou.sfen:7", help="file:index of a problem")
    parser.add_argument("--hash", type=int, default=64, help="USI_Hash in MiB")
    args = parser.parse_args()

    sfen = load_problem(args.problem)
    print("engine %s, problem %s, go mate %d, USI_Hash %d, %d runs"
          % (args.engine, args.problem, args.limit, args.hash, args.runs))
    overshoots = []
    latencies = []
    failed = False
    for run in range(1, args.runs + 1):
        overshoot, latency, answer = one_run(args.engine, sfen, args.limit, args.hash)
        if overshoot is None or answer != "checkmate timeout":
            print("run %d: %s" % (run, answer))
            failed = True
            continue
        overshoots.append(overshoot)
        latencies.append(latency)
        print("run %d: checkmate timeout %.1f ms after the limit (%.1f ms counted from writing go mate)"
              % (run, overshoot, latency))
    for name, values in (("overshoot", overshoots), ("from writing go mate", latencies)):
        if values:
            print("%s ms: min %.1f, median %.1f, max %.1f"
                  % (name, min(values), statistics.median(values), max(values)))
    return 1 if failed or not overshoots else 0


if __name__ == "__main__":
    sys.exit(main())
