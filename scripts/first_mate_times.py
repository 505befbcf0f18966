#!/usr/bin/env python3
"""Times to the first verified mate and to the answer, one problem at a time.

For each problem (SFEN lines, as in problems/*.sfen: SFEN<TAB>length<TAB>note;
a name filter picks some of them) a fresh engine process gets `go mate LIMIT`
and the script notes when the first `info ... score mate` line and the
`checkmate` answer arrive, counted from writing `go mate`, and the node count
of that first line (the same on every run with one thread, so a change of the
search shows in it whatever the machine's load).

  scripts/first_mate_times.py --engine build/kestrane --hash 1024 --limit 60000 \\
      [--threads N] FILE [NAME_SUBSTRING...]
"""
import argparse
import sys
import time

from engine_pipe import close_engine, open_engine, read_line


def measure(engine, sfen, hash_mb, limit_ms, threads):
    proc, buffer, send = open_engine(engine, hash_mb, threads)
    send("position sfen " + sfen)
    start = time.monotonic()
    send(f"go mate {limit_ms}")
    first = None
    first_length = None
    first_nodes = None
    answer = None
    deadline = start + limit_ms / 1000 + 120
    while True:
        line = read_line(proc, buffer, deadline)
        if line is None:
            break
        now = time.monotonic() - start
        if first is None and " score mate " in line:
            first = now
            first_length = int(line.split(" score mate ")[1].split()[0])
            words = line.split()
            if "nodes" in words[:-1]:
                first_nodes = int(words[words.index("nodes") + 1])
        if line.startswith("checkmate"):
            words = line.split()
            answer = (now, "timeout" if words[1:] == ["timeout"] else
                      "nomate" if words[1:] == ["nomate"] else str(len(words) - 1))
            break
    close_engine(proc, send)
    return first, first_length, first_nodes, answer


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", default="build/kestrane")
    parser.add_argument("--hash", type=int, default=1024)
    parser.add_argument("--limit", type=int, default=60000)
    parser.add_argument("--threads", type=int, default=1)
    parser.add_argument("file")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    print("problem\tknown\tfirst mate s\tfirst mate plies\tfirst mate nodes\tanswer s\tanswer")
    for raw in open(args.file, encoding="utf-8"):
        if raw.startswith("#") or not raw.strip():
            continue
        fields = raw.rstrip("\n").split("\t")
        note = fields[2] if len(fields) > 2 else fields[0]
        if args.names and not any(n in note for n in args.names):
            continue
        name = note.split(";")[0].split()[0]
        first, first_length, first_nodes, answer = measure(args.engine, fields[0], args.hash, args.limit, args.threads)
        print("\t".join([name, fields[1] if len(fields) > 1 else "?",
                         f"{first:.2f}" if first is not None else "-",
                         str(first_length) if first_length is not None else "-",
                         str(first_nodes) if first_nodes is not None else "-",
                         f"{answer[0]:.2f}" if answer else "-", answer[1] if answer else "(none)"]),
              flush=True)


if __name__ == "__main__":
    sys.exit(main())
