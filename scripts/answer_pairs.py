#!/usr/bin/env python3
"""The same answer whatever came before: every position of a file is solved
in one engine process (the table carried from one request to the next), then
the same positions turned round (White to move) in a second process, and the
two answers of each position are compared: "nomate", "timeout", or the mate's
length.

  scripts/answer_pairs.py --engine build/kestrane --limit 3000 --hash 256 SET.tsv

SET.tsv holds SFEN lines (a tab and anything after it is ignored).
"""
import argparse
import sys
import time

from engine_pipe import open_engine, read_line


def rotated(sfen):
    """The position turned by 180 degrees with the colours exchanged."""
    board, side, hands = sfen.split()[:3]
    rows = []
    for row in board.split("/"):
        cells = []
        i = 0
        while i < len(row):
            c = row[i]
            if c.isdigit():
                cells += [None] * int(c)
            elif c == "+":
                cells.append("+" + row[i + 1])
                i += 1
            else:
                cells.append(c)
            i += 1
        rows.append(cells)
    turned = []
    for cells in reversed(rows):
        out, empty = "", 0
        for cell in reversed(cells):
            if cell is None:
                empty += 1
                continue
            if empty:
                out += str(empty)
                empty = 0
            out += cell.swapcase()
        if empty:
            out += str(empty)
        turned.append(out)
    return "/".join(turned) + " " + ("w" if side == "b" else "b") + " " + (hands if hands == "-" else hands.swapcase()) + " 1"


def solve_all(engine, sfens, limit_ms, hash_mb):
    proc, buffer, send = open_engine(engine, hash_mb)
    answers = []
    for sfen in sfens:
        send("position sfen " + sfen)
        send(f"go mate {limit_ms}")
        deadline = time.monotonic() + limit_ms / 1000 + 60
        answer = "(none)"
        while True:
            line = read_line(proc, buffer, deadline)
            if line is None:
                break
            if line.startswith("checkmate"):
                words = line.split()[1:]
                answer = words[0] if words in (["nomate"], ["timeout"]) else f"mate {len(words)}"
                break
        answers.append(answer)
    send("quit")
    proc.wait(timeout=30)
    return answers


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--engine", default="build/kestrane")
    parser.add_argument("--limit", type=int, default=3000)
    parser.add_argument("--hash", type=int, default=256)
    parser.add_argument("file")
    args = parser.parse_args()
    sfens = [l.split("\t")[0].strip() for l in open(args.file) if l.strip() and not l.startswith("#")]
    black = solve_all(args.engine, sfens, args.limit, args.hash)
    white = solve_all(args.engine, [rotated(s) for s in sfens], args.limit, args.hash)
    differ = [(i + 1, b, w) for i, (b, w) in enumerate(zip(black, white)) if b != w]
    for n, b, w in differ:
        print(f"row {n}: Black to move {b}, White to move {w}")
    print(f"pairs: {len(sfens)}, the same: {len(sfens) - len(differ)} "
          f"({100.0 * (len(sfens) - len(differ)) / len(sfens):.1f}%), differ: {len(differ)}")
    for kind in ("nomate", "timeout"):
        print(f"{kind}: Black {black.count(kind)}, White {white.count(kind)}")
    print(f"mate: Black {sum(a.startswith('mate') for a in black)}, White {sum(a.startswith('mate') for a in white)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
