#!/usr/bin/env python3
"""Measures how fast "stop" ends a solve, and checks that scripts get every answer.

    scripts/measure_stop.py stop [--engine build/kestrane] [--solves 20]
                                 [--hash 256] [--seed 26] [FILE]
    scripts/measure_stop.py scripts [--engine build/kestrane] [--runs 100]
                                    [--wine]

stop: one engine session. For each of --solves solves it takes the next
problem of FILE (SFEN lines, '#' comments; default: the local long works,
else problems/zukou.sfen), sends "go mate infinite", waits 1 to 3 s (drawn
from --seed), sends "stop" and times the moment "stop" is written to the
moment the "checkmate" line is read. The answer must be "checkmate timeout"
or a mate preceded by "info string The mate is not proven shortest." (when
the solve had proven it shortest before the stop, the other line), with
every move legal (build/tools/line_audit); after it no reply to the stop may
come, and the next request of the session, a mate in one under "go mate
10000", must be answered with its mate.

scripts: the USI scripts of a user who drives the engine from a shell:
  1. the piped script of the README (usi, isready, usinewgame, a mate in
     one, go mate 1000, quit) in one write, --runs times: usiok, readyok and
     "checkmate G*5b" every time, exit status 0;
  2. 20 problems of problems/zukou.sfen with "go mate 2000" each and no
     quit, in one write: 20 answers, exit status 0;
  3. "usi" and "quit" in one write, --runs times: the identification block
     every time, exit status 0.
--wine runs build-win/kestrane.exe under wine64 instead (fewer runs: Wine
starts slowly).
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

from engine_pipe import read_line

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MATE_IN_ONE = "4k4/9/4P4/9/9/9/9/9/9 b G2r2b3g4s4n4l17p 1"
LONG_WORKS = os.path.join(ROOT, "..", "shared", "data", "long.sfen")
NOT_PROVEN = "info string The mate is not proven shortest."
PROVEN = "info string The mate is proven shortest."
SORRY = "info string Sorry"


def load_sfens(path):
    sfens = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                sfens.append(line.split("\t")[0])
    return sfens


def legal_line(sfen, moves):
    """True when build/tools/line_audit plays every move of the line."""
    audit = os.path.join(ROOT, "build", "tools", "line_audit")
    if not os.path.exists(audit):
        return True
    done = subprocess.run([audit, "--depth", "0", sfen] + moves, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=60)
    return done.returncode == 0


def measure_stop(args):
    path = args.file or (LONG_WORKS if os.path.exists(LONG_WORKS) else
                         os.path.join(ROOT, "problems", "zukou.sfen"))
    sfens = load_sfens(path)
    rng = random.Random(args.seed)
    proc = subprocess.Popen([args.engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    buffer = [b""]

    def send(text):
        proc.stdin.write(text.encode())
        proc.stdin.flush()

    failures = 0
    latencies = []
    outcomes = {"mate": 0, "timeout": 0}
    try:
        send("usi\nsetoption name USI_Hash value %d\nusinewgame\n" % args.hash)
        deadline = time.monotonic() + 30
        while read_line(proc, buffer, deadline) not in ("usiok", None):
            pass
        for solve in range(args.solves):
            sfen = sfens[solve % len(sfens)]
            wait = rng.uniform(1.0, 3.0)
            send("position sfen %s\ngo mate infinite\n" % sfen)
            time.sleep(wait)
            written = time.monotonic()
            send("stop\n")
            lines = []
            while True:
                line = read_line(proc, buffer, written + 30)
                if line is None:
                    print("solve %d: no answer within 30 s of the stop" % (solve + 1))
                    return 1
                if line.startswith("checkmate"):
                    break
                lines.append(line)
            latency = (time.monotonic() - written) * 1000.0
            # A mate in one right after: answered normally, and nothing
            # (no reply to the stop) comes between.
            send("position sfen %s\ngo mate 10000\n" % MATE_IN_ONE)
            following = read_line(proc, buffer, time.monotonic() + 30)
            while following is not None and following.startswith("info ") and not following.startswith(SORRY):
                following = read_line(proc, buffer, time.monotonic() + 30)
            ok = True
            note = ""
            if line == "checkmate timeout":
                outcomes["timeout"] += 1
            elif line.startswith("checkmate ") and line != "checkmate nomate":
                outcomes["mate"] += 1
                moves = line.split()[1:]
                shortest = [l for l in lines if l in (PROVEN, NOT_PROVEN)]
                note = "%d plies, %s" % (len(moves), "proven shortest" if shortest[-1:] == [PROVEN]
                                         else "not proven shortest")
                if not shortest or not legal_line(sfen, moves):
                    ok = False
            else:
                ok = False
            if following != "checkmate G*5b":
                print("solve %d: the next request was answered %r" % (solve + 1, following))
                ok = False
            failures += 0 if ok else 1
            latencies.append(latency)
            print("solve %2d: stop after %.2f s, answer after %6.2f ms: %s%s%s"
                  % (solve + 1, wait, latency, line if line == "checkmate timeout" else "mate",
                     " (%s)" % note if note else "", "" if ok else "  FAILED"))
        print("engine %s, file %s, %d solves: %d mates, %d timeouts"
              % (args.engine, path, args.solves, outcomes["mate"], outcomes["timeout"]))
        print("stop to answer, ms: min %.2f, median %.2f, max %.2f"
              % (min(latencies), statistics.median(latencies), max(latencies)))
        return 1 if failures else 0
    finally:
        try:
            send("quit\n")
        except BrokenPipeError:
            pass
        proc.wait(timeout=30)


def run_script(command, text, timeout=120):
    done = subprocess.run(command, input=text.encode(), stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=timeout)
    return done.returncode, done.stdout.decode("latin-1").split("\n")


def measure_scripts(args):
    if args.wine:
        wine = shutil.which("wine64") or shutil.which("wine") or "/usr/lib/wine/wine64"
        command = [wine, os.path.join(ROOT, "build-win", "kestrane.exe")]
        os.environ.setdefault("WINEDEBUG", "-all")
        # The prefix that scripts/wine_check.sh (make windows-test) made.
        os.environ.setdefault("WINEPREFIX", os.path.join(ROOT, "build-win", "wineprefix"))
    else:
        command = [args.engine]
    failures = 0

    piped = ("usi\nisready\nusinewgame\nposition sfen %s\ngo mate 1000\nquit\n" % MATE_IN_ONE)
    good = 0
    for _ in range(args.runs):
        status, lines = run_script(command, piped)
        if status == 0 and all(want in lines for want in ("usiok", "readyok", "checkmate G*5b")):
            good += 1
    print("piped script with quit: usiok, readyok and checkmate G*5b in %d of %d runs" % (good, args.runs))
    failures += good != args.runs

    problems = load_sfens(os.path.join(ROOT, "problems", "zukou.sfen"))[:20]
    script = "usi\nisready\nusinewgame\n" + "".join(
        "position sfen %s\ngo mate 2000\n" % sfen for sfen in problems)
    started = time.monotonic()
    status, lines = run_script(command, script, timeout=300)
    answers = [l for l in lines if l.startswith("checkmate")]
    print("20 problems, go mate 2000 each, no quit: %d answers (%d mates), status %d, %.1f s"
          % (len(answers), sum(1 for a in answers if a not in ("checkmate timeout", "checkmate nomate")),
             status, time.monotonic() - started))
    failures += len(answers) != 20 or status != 0

    good = 0
    for _ in range(args.runs):
        status, lines = run_script(command, "usi\nquit\n")
        if status == 0 and lines[:6] == [
                "id name Kestrane 1.2", "id author Ilvar Quennet",
                "option name Do_YoTsume_Search type check default false",
                "option name YoTsume_Second type spin default 30 min 1 max 3600",
                "option name Threads type spin default 1 min 1 max 256", "usiok"]:
            good += 1
    print("usi and quit in one write: the identification block in %d of %d runs" % (good, args.runs))
    failures += good != args.runs
    print("engine: %s" % " ".join(command))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("what", choices=("stop", "scripts"))
    parser.add_argument("file", nargs="?", help="SFEN lines for 'stop'")
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "kestrane"))
    parser.add_argument("--solves", type=int, default=20)
    parser.add_argument("--hash", type=int, default=256, help="USI_Hash in MiB")
    parser.add_argument("--seed", type=int, default=26)
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    return measure_stop(args) if args.what == "stop" else measure_scripts(args)


if __name__ == "__main__":
    sys.exit(main())
