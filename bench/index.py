#!/usr/bin/env python3
"""Times kolvu-index and ctags on the same files and prints the figures.

  index.py OUT_DIR RUNS KOLVU_INDEX

The files are those of OUT_DIR/corpus.txt (see gen.py), named on the
command line of each program. Timing and peak RSS as in measure.py.
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure import cpu_model, read_list, time_commands  # noqa: E402


def main():
    out, runs, index = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    corpus = read_list(os.path.join(out, 'corpus.txt'))
    sjis = read_list(os.path.join(out, 'sjis.txt'))
    commands = [
        ('kolvu-index -j1', [index, '--format=json', '-j1'] + corpus),
        ('kolvu-index -j2', [index, '--format=json', '-j2'] + corpus),
    ]
    ctags = shutil.which('ctags')
    if ctags:
        commands.append(('ctags --output-format=json', [
            ctags, '--output-format=json', '-R', '--kinds-C=dtsu', '--languages=C',
            '--langmap=C:.h', '-f', '-'] + corpus))
    commands += [
        ('kolvu-index -j1 (Shift_JIS)', [index, '--format=json', '-j1'] + sjis),
        ('kolvu-index -j2 (Shift_JIS)', [index, '--format=json', '-j2'] + sjis),
        ('kolvu-index -j2 --format=tags', [index, '--format=tags', '-j2'] + corpus),
        ('kolvu-index -j2 /usr/include', [index, '-j2', '/usr/include']),
    ]
    med, peaks = time_commands(commands, runs, out, 'index')

    size = sum(os.path.getsize(f) for f in corpus)
    records = sum(1 for _ in open(os.path.join(out, 'index1.stdout'), 'rb'))
    print('machine: %d cores, %s' % (os.cpu_count(), cpu_model()))
    print('corpus: %d headers, %d bytes, %d records from kolvu-index; %d runs each'
          % (len(corpus), size, records, runs))
    print('median wall time of %d runs (spawn to exit, no shell), peak RSS of 3 runs:' % runs)
    for label, _ in commands:
        print('%-32s %8.4f s  peak %6d KB' % (label, med[label], peaks[label]))
    print('ratio -j1/-j2:                   %.2f'
          % (med['kolvu-index -j1'] / med['kolvu-index -j2']))
    if ctags:
        print('ratio ctags/kolvu-index -j2:     %.1f'
              % (med['ctags --output-format=json'] / med['kolvu-index -j2']))


if __name__ == '__main__':
    main()
