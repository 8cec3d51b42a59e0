#!/usr/bin/env python3
"""Compares the names kolvu-index lists with those ctags lists for the same
files and kinds (by default define, typedef, struct, union): every (file,
name, line) of ctags that kolvu-index lacks, and the number the other way
round, each by kind.

    bench/names.py KOLVU_INDEX FILE_LIST|DIR... [--show N] [--cpp] [--kinds L]

--kinds takes the C kind letters both programs know (d e f g m p s t u v x,
or all); dtsu when not given.

A FILE_LIST is a text file of paths, one a line (bench/gen.py writes one);
a directory is walked by both programs. --cpp reads C++ files too (for
ctags, with the C++ parser's kinds d, t, s, u).
"""
import collections
import json
import os
import shutil
import subprocess
import sys


def paths_of(args):
    paths = []
    for a in args:
        if os.path.isfile(a) and a.endswith('.txt'):
            paths += [line.rstrip('\n') for line in open(a, encoding='utf-8', errors='surrogateescape')
                      if line.strip()]
        else:
            paths.append(a)
    return paths


def ctags_names(paths, cpp, kinds):
    cmd = [shutil.which('ctags'), '--output-format=json', '--fields=+n', '-R',
           '--kinds-C=' + kinds, '-f', '-']
    if cpp:
        cmd += ['--languages=C,C++', '--kinds-C++=' + kinds, '--langmap=C:.c,C++:+.h']
    else:
        cmd += ['--languages=C', '--langmap=C:.c.h']
    names = set()
    out = subprocess.run(cmd + paths, stdout=subprocess.PIPE, check=True).stdout
    for line in out.splitlines():
        tag = json.loads(line)
        if tag.get('_type') != 'tag' or tag.get('name', '').startswith('__anon'):
            continue
        names.add((os.path.normpath(tag['path']), tag['name'], tag['line'], tag['kind']))
    return names


def kolvu_names(index, paths, kinds):
    names = set()
    out = subprocess.run([index, '--format=json', '-j2', '--kinds=' + kinds] + paths,
                         stdout=subprocess.PIPE, check=True).stdout
    for line in out.splitlines():
        rec = json.loads(line)
        for n in rec['names']:
            names.add((os.path.normpath(rec['file']), n['name'], n['line'], n['kind']))
    return names


def main():
    args = sys.argv[1:]
    show = 20
    cpp = '--cpp' in args
    if cpp:
        args.remove('--cpp')
    if '--show' in args:
        i = args.index('--show')
        show = int(args[i + 1])
        del args[i:i + 2]
    kinds = 'dtsu'
    if '--kinds' in args:
        i = args.index('--kinds')
        kinds = args[i + 1]
        del args[i:i + 2]
    if kinds == 'all':
        kinds = 'defgmpstuvx'
    index, paths = args[0], paths_of(args[1:])
    theirs = ctags_names(paths, cpp, kinds)
    ours = kolvu_names(index, paths, kinds)
    ours_at = {(f, n, l) for f, n, l, _ in ours}
    theirs_at = {(f, n, l) for f, n, l, _ in theirs}
    missing = sorted(t for t in theirs if t[:3] not in ours_at)
    extra = sorted(t for t in ours if t[:3] not in theirs_at)
    print('ctags names: %d, kolvu-index names: %d' % (len(theirs), len(ours)))
    print('missing from kolvu-index: %d (%.2f %%)' % (len(missing), 100.0 * len(missing) / max(1, len(theirs))))
    print('  by ctags kind: %s' % dict(collections.Counter(t[3] for t in missing)))
    for t in missing[:show]:
        print('  - %s:%d %s (%s)' % (t[0], t[2], t[1], t[3]))
    print('listed by kolvu-index only: %d' % len(extra))
    print('  by kind: %s' % dict(collections.Counter(t[3] for t in extra)))
    for t in extra[:show]:
        print('  + %s:%d %s (%s)' % (t[0], t[2], t[1], t[3]))


if __name__ == '__main__':
    main()
