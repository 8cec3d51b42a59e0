#!/usr/bin/env python3
"""Times kolvu-index and ctags on the same files and prints the figures.

  index.py OUT_DIR RUNS KOLVU_INDEX

The files are those of OUT_DIR/corpus.txt (see gen.py), named on the
command line of each program, and two trees walked by both: the first
headers of that list copied up to 1 MB (OUT_DIR/tree-1m) and up to 10 MB
(OUT_DIR/tree-10m), where start-up and the cost of each file weigh more.
Timing and peak RSS as in measure.py.
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure import cpu_model, read_list, time_commands  # noqa: E402

TREES = [('1 MB', 'tree-1m', 1 << 20), ('10 MB', 'tree-10m', 10 << 20)]


def make_tree(corpus, root, limit):
    """Copies the first files of corpus, under their paths below
    /usr/include, until they hold limit bytes; returns their size."""
    done = root + '.complete'
    if not os.path.exists(done):
        shutil.rmtree(root, ignore_errors=True)
        total = 0
        for path in corpus:
            if total >= limit:
                break
            dest = os.path.join(root, os.path.relpath(path, '/usr/include'))
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            shutil.copyfile(path, dest)
            total += os.path.getsize(path)
        open(done, 'w').close()
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(root) for f in fs)


def ctags_json(ctags, kinds, paths):
    return [ctags, '--output-format=json', '-R', '--kinds-C=' + kinds, '--languages=C',
            '--langmap=C:.h', '-f', '-'] + paths


def main():
    out, runs, index = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    corpus = read_list(os.path.join(out, 'corpus.txt'))
    sjis = read_list(os.path.join(out, 'sjis.txt'))
    ctags = shutil.which('ctags')
    sizes = {name: make_tree(corpus, os.path.join(out, name), limit) for _, name, limit in TREES}
    commands = [
        ('kolvu-index -j1', [index, '--format=json', '-j1'] + corpus),
        ('kolvu-index -j2', [index, '--format=json', '-j2'] + corpus),
    ]
    if ctags:
        commands.append(('ctags --output-format=json', ctags_json(ctags, 'dtsu', corpus)))
    commands += [
        ('kolvu-index -j2 --kinds=all', [index, '--format=json', '-j2', '--kinds=all'] + corpus),
    ]
    if ctags:
        commands.append(('ctags json, every kind', ctags_json(ctags, 'defgmpstuvx', corpus)))
    for label, name, _ in TREES:
        tree = os.path.join(out, name)
        commands.append(('kolvu-index -j2 (%s tree)' % label, [index, '-j2', tree]))
        if ctags:
            commands.append(('ctags json (%s tree)' % label, ctags_json(ctags, 'dtsu', [tree])))
    commands += [
        ('kolvu-index -j1 (Shift_JIS)', [index, '--format=json', '-j1'] + sjis),
        ('kolvu-index -j2 (Shift_JIS)', [index, '--format=json', '-j2'] + sjis),
        ('kolvu-index -j2 --format=tags', [index, '--format=tags', '-j2'] + corpus),
        ('kolvu-index -j2 /usr/include', [index, '-j2', '/usr/include']),
    ]
    med, peaks = time_commands(commands, runs, out, 'index')

    size = sum(os.path.getsize(f) for f in corpus)
    records = sum(1 for _ in open(os.path.join(out, 'index1.stdout'), 'rb'))
    print('machine: %d cores, %s; load average %s' % (os.cpu_count(), cpu_model(),
                                                      ' '.join(open('/proc/loadavg').read().split()[:3])))
    print('corpus: %d headers, %d bytes, %d records from kolvu-index; %d runs each'
          % (len(corpus), size, records, runs))
    print('trees: %s' % ', '.join('%s %d bytes' % (name, sizes[name]) for _, name, _ in TREES))
    print('median wall time of %d runs (spawn to exit, no shell), peak RSS of 3 runs:' % runs)
    for label, _ in commands:
        print('%-36s %8.4f s  peak %6d KB' % (label, med[label], peaks[label]))
    print('ratio -j1/-j2:                       %.2f'
          % (med['kolvu-index -j1'] / med['kolvu-index -j2']))
    if ctags:
        pairs = [('corpus', 'ctags --output-format=json', 'kolvu-index -j2'),
                 ('corpus, every kind', 'ctags json, every kind', 'kolvu-index -j2 --kinds=all')]
        pairs += [('%s tree' % label, 'ctags json (%s tree)' % label,
                   'kolvu-index -j2 (%s tree)' % label) for label, _, _ in TREES]
        for what, theirs, ours in pairs:
            print('ratio ctags/kolvu-index -j2, %-20s %.1f' % (what + ':', med[theirs] / med[ours]))


if __name__ == '__main__':
    main()
