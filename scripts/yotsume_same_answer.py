#!/usr/bin/env python3
"""The alternate-solution search must not change the answer: every problem
of a file is solved by a fresh engine with Do_YoTsume_Search off and by
another with it on, and the two `checkmate` lines are compared word for word.
A mate that is not proven shortest was cut by the clock where it stood, which
differs from run to run with or without the rounds: such pairs are counted
apart ("open").

  scripts/yotsume_same_answer.py --engine build/kestrane --limit 10000 \\
      --hash 256 FILE [NAME_SUBSTRING...]

FILE: problem lines as in problems/*.sfen (SFEN<TAB>length<TAB>note). Prints a
row per problem and a summary; exits 1 when a mate's line differs.
"""
import argparse
import sys
import time

from engine_pipe import close_engine, open_engine, read_line


def answer(engine, sfen, hash_mb, limit_ms, yotsume):
    # Short rounds: only the answer line is compared.
    options = ("setoption name Do_YoTsume_Search value true",
               "setoption name YoTsume_Second value 1") if yotsume else ()
    proc, buffer, send = open_engine(engine, hash_mb, options=options)
    send("position sfen " + sfen)
    send(f"go mate {limit_ms}")
    deadline = time.monotonic() + limit_ms / 1000 + 120
    result, proven = None, False
    while True:
        line = read_line(proc, buffer, deadline)
        if line is None:
            break
        if line.startswith("info string The mate is"):
            proven = line == "info string The mate is proven shortest."
        if line.startswith("checkmate"):
            result = line
            break
    close_engine(proc, send)
    return result, proven


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", default="build/kestrane")
    parser.add_argument("--hash", type=int, default=256)
    parser.add_argument("--limit", type=int, default=10000)
    parser.add_argument("file")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    same = differ = unanswered = opened = 0
    for raw in open(args.file, encoding="utf-8"):
        if not raw.strip() or raw.startswith("#"):
            continue
        fields = raw.rstrip("\n").split("\t")
        name = fields[2].split()[0] if len(fields) > 2 and fields[2].split() else fields[0]
        if args.names and not any(n in name for n in args.names):
            continue
        off, off_proven = answer(args.engine, fields[0], args.hash, args.limit, False)
        on, on_proven = answer(args.engine, fields[0], args.hash, args.limit, True)
        mates = [a for a in (off, on) if a and a.split()[1:2] not in (["timeout"], ["nomate"])]
        if len(mates) < 2:
            verdict = "same" if off == on else "unanswered"
        elif not (off_proven and on_proven):
            verdict = "open, same" if off == on else "open"
        else:
            verdict = "same" if off == on else "DIFFERENT"
        same += verdict == "same"
        differ += verdict == "DIFFERENT"
        unanswered += verdict == "unanswered"
        opened += verdict.startswith("open")
        length = lambda a: "none" if a is None else (a.split()[1] if len(a.split()) == 2 else str(len(a.split()) - 1))
        print(f"{name}\t{length(off)}\t{length(on)}\t{verdict}", flush=True)
    print(f"{same} the same, {differ} different proven mates, {opened} open (not proven shortest on one side), "
          f"{unanswered} where one side did not answer a mate")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
