#!/usr/bin/env python3
"""Reads kolvu-index's JSON Lines back with the json module.

  read_jsonl.py FILE

Each line must be one JSON object of valid UTF-8 with the keys file, line,
end_line, kind, name, names, begin, end, parent (only for a nested record)
and text in this order, file_bytes right after file when the file's name is
not UTF-8, and lossy (true) last when it is there. Prints for each record
"FILE LINE-END_LINE KIND NAME[ lossy] [NAME:KIND@LINE:COLUMN ...]",
a newline and the decoded text, in UTF-8; exits 1 with a message at the
first line that breaks a rule.
"""
import json
import sys

HEAD = ['file', 'line', 'end_line', 'kind', 'name', 'names', 'begin', 'end']
KINDS = ('define', 'typedef', 'struct', 'union')


def main():
    data = open(sys.argv[1], 'rb').read()
    if data and not data.endswith(b'\n'):
        sys.exit('no newline at the end')
    out = sys.stdout.buffer
    for n, raw in enumerate(data.split(b'\n')[:-1], 1):
        obj = json.loads(raw.decode('utf-8', errors='strict'))
        if 'file_bytes' in obj and list(obj)[1] != 'file_bytes':
            sys.exit('line %d: file_bytes not after file' % n)
        keys = [k for k in obj if k != 'file_bytes']
        rest = keys[len(HEAD):]
        if rest[:1] == ['parent']:
            rest = rest[1:]
        if keys[:len(HEAD)] != HEAD or rest not in (['text'], ['text', 'lossy']):
            sys.exit('line %d: keys %r' % (n, keys))
        if not 0 <= obj['begin'] <= obj['end']:
            sys.exit('line %d: begin %r end %r' % (n, obj['begin'], obj['end']))
        for name in obj['names']:
            if list(name) != ['name', 'kind', 'line', 'column'] or name['kind'] not in KINDS:
                sys.exit('line %d: name %r' % (n, name))
        if 'lossy' in obj and obj['lossy'] is not True:
            sys.exit('line %d: lossy is %r' % (n, obj['lossy']))
        if obj['kind'] not in KINDS:
            sys.exit('line %d: kind %r' % (n, obj['kind']))
        names = ' '.join('%s:%s@%d:%d' % (x['name'], x['kind'], x['line'], x['column'])
                         for x in obj['names'])
        head = '%s %d-%d %s %s%s [%s]\n' % (obj['file'], obj['line'], obj['end_line'],
                                            obj['kind'], obj['name'],
                                            ' lossy' if 'lossy' in obj else '', names)
        out.write(head.encode('utf-8') + obj['text'].encode('utf-8'))


if __name__ == '__main__':
    main()
