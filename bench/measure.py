#!/usr/bin/env python3
"""Times the benchmark commands and prints the figures.

  measure.py OUT_DIR RUNS KOLVU

Reads the inputs gen.py wrote to OUT_DIR. Each command is started directly,
without a shell, with standard output to a fresh file under OUT_DIR and
standard error to /dev/null; its wall time is taken around the child alone
(from the spawn to the end of the wait). The commands run alternating, RUNS
times each, and the medians are printed. Peak RSS comes from separate,
untimed runs under GNU time (/usr/bin/time), whose own few pages are all a
child started by it can inherit; a child spawned from Python would count
the interpreter's.
"""
import os
import platform
import shutil
import statistics
import sys
import time


def run_once(argv, out_path):
    """Seconds of one run of argv."""
    if os.path.exists(out_path):
        os.unlink(out_path)  # truncating last run's output would be timed
    out = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    err = os.open(os.devnull, os.O_WRONLY)
    actions = [(os.POSIX_SPAWN_DUP2, out, 1), (os.POSIX_SPAWN_DUP2, err, 2)]
    t0 = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=actions)
    os.waitpid(pid, 0)
    seconds = time.perf_counter() - t0
    os.close(out)
    os.close(err)
    return seconds


GNU_TIME = '/usr/bin/time'


def peak_kb(argv, out_path, runs=3):
    """The largest peak RSS of a few runs of argv, in KB; 0 without GNU time."""
    if not os.access(GNU_TIME, os.X_OK):
        return 0
    report = out_path + '.rss'
    peak = 0
    for _ in range(runs):
        run_once([GNU_TIME, '-f', '%M', '-o', report] + argv, out_path)
        with open(report) as f:
            peak = max(peak, int(f.read().split()[-1]))
    return peak


def time_commands(commands, runs, out, stem):
    """Runs the (label, argv) commands alternating, runs times each, output to
    OUT/STEM<k>.stdout; returns the median seconds and the peak RSS (KB) of
    each label."""
    times = {label: [] for label, _ in commands}
    for _ in range(runs):
        for k, (label, argv) in enumerate(commands):
            times[label].append(run_once(argv, os.path.join(out, '%s%d.stdout' % (stem, k))))
    peaks = {label: peak_kb(argv, os.path.join(out, stem + '.rss.stdout')) for label, argv in commands}
    return {label: statistics.median(t) for label, t in times.items()}, peaks


def read_list(path):
    with open(path) as f:
        return [line for line in f.read().split('\n') if line]


def cpu_model():
    with open('/proc/cpuinfo') as f:
        for line in f:
            if line.startswith('model name'):
                return line.split(':', 1)[1].strip()
    return platform.processor()


def main():
    out, runs, kolvu = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    corpus = read_list(os.path.join(out, 'corpus.txt'))
    sjis = read_list(os.path.join(out, 'sjis.txt'))
    cat = shutil.which('cat')
    ctags = shutil.which('ctags')
    commands = [
        ('kolvu -dtsu', [kolvu, '-dtsu'] + corpus),
        ('cat', [cat] + corpus),
    ]
    if ctags:
        commands.append(('ctags -x --kinds-C=dtsu',
                         [ctags, '-x', '--kinds-C=dtsu', '--languages=C', '--langmap=C:.h'] + corpus))
    commands += [
        ('kolvu -dtsu (Shift_JIS)', [kolvu, '-dtsu'] + sjis),
        ('cat (Shift_JIS)', [cat] + sjis),
    ]
    med, peaks = time_commands(commands, runs, out, 'run')

    def size(files):
        return sum(os.path.getsize(f) for f in files)

    corpus_bytes = size(corpus)
    print('machine: %d cores, %s, %s' % (os.cpu_count(), platform.release(), cpu_model()))
    print('corpus: %d headers, %d bytes; Shift_JIS corpus: %d files, %d bytes; %d runs each'
          % (len(corpus), corpus_bytes, len(sjis), size(sjis), runs))
    print('median wall time of %d runs (spawn to exit, no shell), peak RSS of 3 runs:' % runs)
    for label, _ in commands:
        print('%-28s %8.4f s  peak %6d KB' % (label, med[label], peaks[label]))
    print('ratio kolvu/cat:             %.2f' % (med['kolvu -dtsu'] / med['cat']))
    print('ratio kolvu/cat (Shift_JIS): %.2f'
          % (med['kolvu -dtsu (Shift_JIS)'] / med['cat (Shift_JIS)']))
    if ctags:
        print('ratio ctags/kolvu:           %.1f'
              % (med['ctags -x --kinds-C=dtsu'] / med['kolvu -dtsu']))

    # Adversarial inputs: seconds per byte relative to the corpus.
    per_byte = med['kolvu -dtsu'] / corpus_bytes
    adv = os.path.join(out, 'adv')
    print('adversarial inputs (median of %d):' % runs)
    for label, name, args in [
        ('defines, 1000 names rejected', 'defines.h', ['-d', '-l', 'F=' + os.path.join(adv, 'names1000.txt')]),
        ('typedef fragments, -t', 'typedefs.h', ['-t']),
        ('10 MB captured typedef', 'capture.h', ['-t', '-l', 'Big']),
        ('deep braces, -s', 'braces.h', ['-s']),
        ('long comments and literals', 'comments.h', ['-dtsu']),
    ]:
        path = os.path.join(adv, name)
        argv = [kolvu] + args + [path]
        s = statistics.median(run_once(argv, os.path.join(out, 'adv.stdout')) for _ in range(runs))
        peak = peak_kb(argv, os.path.join(out, 'adv.stdout'))
        print('%-34s %6.3f s  %5.1f x corpus per byte  peak %6d KB'
              % (label, s, s / os.path.getsize(path) / per_byte, peak))


if __name__ == '__main__':
    main()
