#!/usr/bin/env python3
"""Builds the benchmark inputs.

  gen.py OUT_DIR

OUT_DIR/corpus.txt     every *.h under /usr/include whose lines all fit in one
                       read of the tool (1022 bytes and the newline at most)
OUT_DIR/sjis/          those headers again in Shift_JIS: Japanese comments and
                       string literals inserted, characters whose second byte
                       is 0x5C, 0x7B or 0x7D among them, CR LF ends in some
OUT_DIR/sjis.txt       the list of those files
OUT_DIR/adv/*.h        adversarial inputs, and adv/names1000.txt
"""
import os
import random
import sys

LIMIT = 1023  # a line (with its newline) of this many bytes ends the run


def fits(data):
    z = data.find(b'\x1a')
    if z >= 0:
        data = data[:z]
    data = data.replace(b'\r', b'')
    return all(len(line) + 1 < LIMIT for line in data.split(b'\n'))


def select_headers():
    picked = []
    for root, dirs, files in os.walk('/usr/include'):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith('.h'):
                continue
            path = os.path.join(root, name)
            if not os.path.isfile(path):
                continue
            with open(path, 'rb') as f:
                if fits(f.read()):
                    picked.append(path)
    return picked


# Japanese text in code page 932. The second bytes 0x5C, 0x7B and 0x7D are
# those of U+8868, U+30BD (0x5C), U+30DC (0x7B) and U+30DE (0x7D).
WORDS = ['表示', 'ソフト', '機能', 'ボタン', 'マクロ', '構造体', '定義', '名前', '長さ', '値']


def sj(text):
    return text.encode('cp932')


def japanese(rng, count):
    return sj(''.join(rng.choice(WORDS) for _ in range(count)))


def to_sjis(data, rng, crlf):
    out = []
    for n, line in enumerate(data.split(b'\n')):
        if n % 7 == 3 and len(line) < 800:
            line += b' /* ' + japanese(rng, 3) + b' */'
        out.append(line)
        if n % 11 == 5:
            out.append(b'/* ' + japanese(rng, 8) + b' */')
        if n % 23 == 9:
            # A single double-byte character after an ASCII byte: no escape.
            out.append(b'#define MSG_' + str(n).encode() + b' "a' + japanese(rng, 4) + b'"')
    text = b'\n'.join(out)
    if crlf:
        text = text.replace(b'\n', b'\r\n')
    return text


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def adversarial(out):
    rng = random.Random(5)
    os.makedirs(out, exist_ok=True)
    size = 20 * 1024 * 1024
    # A thousand names, none of which any candidate below has.
    write(os.path.join(out, 'names1000.txt'),
          b''.join(b'WANTED_%d\n' % i for i in range(1000)))

    def packed(fragment_fn):
        lines, total = [], 0
        while total < size:
            line = b''
            while True:
                frag = fragment_fn()
                if len(line) + len(frag) > 1021:
                    break
                line += frag
            lines.append(line)
            total += len(line) + 1
        return b'\n'.join(lines) + b'\n'

    # Lines of up to 1021 bytes packed with #define candidates that the list
    # rejects (run with -d -l F=names1000.txt).
    write(os.path.join(out, 'defines.h'),
          packed(lambda: b'#define X%d 1 ' % rng.randrange(100000)))
    # Lines packed with typedef fragments that never start (run with -t):
    # every one looks forward for a ';' that is not there.
    write(os.path.join(out, 'typedefs.h'),
          packed(lambda: b'typedef struct S%d typedef int T ' % rng.randrange(1000)))
    # One captured typedef of 10 MB (run with -t -l Big).
    body = b''.join(b'    int field_%d;\n' % i for i in range(600000))[:10 * 1024 * 1024]
    write(os.path.join(out, 'capture.h'), b'typedef struct {\n' + body + b'} Big;\n')
    # Deep brace nesting inside a struct (run with -s).
    depth = 200000
    nest = b'struct deep {\n' + b'{\n' * depth + b'int x;\n' + b'}\n' * depth + b'};\n'
    write(os.path.join(out, 'braces.h'), nest * max(1, size // len(nest)))
    # Long comments and literals (run with -dtsu).
    comment = b'/*\n' + b''.join(b' * ' + b'c' * 900 + b' ; { } " \\\n' for _ in range(1000)) + b'*/\n'
    literal = b''.join(b'char s%d[] = "' % i + b'\\"x' * 300 + b'";\n' for i in range(1000))
    chunk = comment + literal
    write(os.path.join(out, 'comments.h'), chunk * max(1, size // len(chunk)))


def main():
    out = sys.argv[1]
    os.makedirs(os.path.join(out, 'sjis'), exist_ok=True)
    headers = select_headers()
    with open(os.path.join(out, 'corpus.txt'), 'w') as f:
        f.write('\n'.join(headers) + '\n')
    rng = random.Random(1)
    sjis = []
    for i, path in enumerate(headers):
        with open(path, 'rb') as f:
            data = to_sjis(f.read(), rng, i % 5 == 0)
        if not fits(data):
            continue
        dest = os.path.join(out, 'sjis', '%05d_%s' % (i, os.path.basename(path)))
        write(dest, data)
        sjis.append(dest)
    with open(os.path.join(out, 'sjis.txt'), 'w') as f:
        f.write('\n'.join(sjis) + '\n')
    adversarial(os.path.join(out, 'adv'))
    print('%d headers, %d in Shift_JIS' % (len(headers), len(sjis)))


if __name__ == '__main__':
    main()
