#!/usr/bin/env python3
"""Times two kolvu binaries against each other, and cat, alternating.

  compare.py OUT_DIR RUNS OLD NEW

Reads the file lists gen.py wrote to OUT_DIR (corpus.txt, sjis.txt) and runs
`OLD -dtsu`, `NEW -dtsu` and `cat` over each list in turn, RUNS times, each
command started directly (no shell) with its output to a fresh file. Prints
the median wall time of each and the ratios to cat: the way to see whether a
change made the tool slower, on the same machine in the same minutes, which
two runs of run.sh far apart in time cannot show.
"""
import os
import statistics
import sys
import time


def run_once(argv, out_path):
    if os.path.exists(out_path):
        os.unlink(out_path)
    out = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    err = os.open(os.devnull, os.O_WRONLY)
    t0 = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ,
                         file_actions=[(os.POSIX_SPAWN_DUP2, out, 1), (os.POSIX_SPAWN_DUP2, err, 2)])
    os.waitpid(pid, 0)
    seconds = time.perf_counter() - t0
    os.close(out)
    os.close(err)
    return seconds


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    out_dir, runs, old, new = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    lists = {name: open(os.path.join(out_dir, name + '.txt')).read().split() for name in ('corpus', 'sjis')}
    commands = {'old': [old, '-dtsu'], 'new': [new, '-dtsu'], 'cat': ['/bin/cat']}
    times = {(c, l): [] for c in commands for l in lists}
    out_path = os.path.join(out_dir, 'compare.stdout')
    for _ in range(runs):
        for c, argv in commands.items():
            for l, files in lists.items():
                times[c, l].append(run_once(argv + files, out_path))
    med = {k: statistics.median(v) for k, v in times.items()}
    for l in lists:
        print(f"{l:7s} old {med['old', l]:.4f} s  new {med['new', l]:.4f} s  cat {med['cat', l]:.4f} s"
              f"   old/cat {med['old', l] / med['cat', l]:.3f}  new/cat {med['new', l] / med['cat', l]:.3f}")


if __name__ == '__main__':
    main()
