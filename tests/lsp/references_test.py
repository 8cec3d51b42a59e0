"""References, highlights, completion, symbols and declarations, driven at
the protocol level, and a scenario: on a tree of Shift_JIS and UTF-8
sources, the references of every name equal the identifier uses a plain
token reader of this file finds outside comments and literals. Run as
    references_test.py KOLVU_LSP_BINARY
"""

import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import protocol_test  # noqa: E402
from lsp_client import file_uri, uri_path  # noqa: E402
from protocol_test import DEFS_H, MAIN_C, Session, Tree, column_of  # noqa: E402

# ---- A plain token reader ---------------------------------------------------

SJIS_LEADS = set(range(0x81, 0xA0)) | set(range(0xE0, 0xFD))
NAME = re.compile(rb"[A-Za-z_$][A-Za-z0-9_$]*")
NUMBER = re.compile(rb"\.?[0-9](?:[eEpP][+-]|[A-Za-z0-9_.])*")


def plain_uses(data, sjis):
    """(offset, name) of every identifier of C code in data: not in comments
    or literals, not a number, not a directive's word or an #include's
    header, not a literal's prefix. In Shift_JIS a lead byte and a valid
    second byte (0x40-0x7E, 0x80-0xFC) are one character, whatever the
    second byte looks like."""
    n = len(data)

    def pair(j):
        return sjis and data[j] in SJIS_LEADS and j + 1 < n and (
            0x40 <= data[j + 1] <= 0x7E or 0x80 <= data[j + 1] <= 0xFC)

    def spliced(nl):
        """The '\\n' at nl follows a backslash that is a character of its own."""
        k = data.rfind(b"\n", 0, nl) + 1
        last = None
        while k < nl:
            last = k
            k += 2 if pair(k) else 1
        return last is not None and last == nl - 1 and data[last] == 0x5C

    out = []
    i = 0
    line_start = True
    while i < n:
        c = data[i:i + 1]
        if c == b"\n":
            line_start = not spliced(i)
            i += 1
        elif c in b" \t\r\f\v":
            i += 1
        elif data.startswith(b"/*", i):
            e = data.find(b"*/", i + 2)
            i = n if e < 0 else e + 2
        elif data.startswith(b"//", i):
            e = data.find(b"\n", i)
            while e >= 0 and spliced(e):
                e = data.find(b"\n", e + 1)
            i = n if e < 0 else e
        elif c in (b'"', b"'"):
            j = i + 1
            while j < n and data[j:j + 1] not in (c, b"\n"):
                j += 2 if pair(j) or data[j] == 0x5C else 1
            i = j + 1 if data[j:j + 1] == c else j
            line_start = False
        elif c == b"#" and line_start:
            word = NAME.match(data, i + 1 + len(data[i + 1:]) - len(data[i + 1:].lstrip(b" \t")))
            if word and word.group() in (b"include", b"include_next", b"import"):
                e = data.find(b"\n", i)
                i = n if e < 0 else e
            else:
                i = word.end() if word else i + 1
                line_start = False
        else:
            line_start = False
            number = NUMBER.match(data, i)
            name = NAME.match(data, i)
            if number:
                i = number.end()
            elif name:
                if not (data[name.end():name.end() + 1] in (b'"', b"'")
                        and name.group() in (b"L", b"u", b"U", b"u8")):
                    out.append((i, name.group().decode()))
                i = name.end()
            else:
                i += 2 if pair(i) else 1
    return out


# ---- The scenario's tree ----------------------------------------------------

# Shift_JIS with second bytes of 0x5C (ソ 表 十 能) at the ends of comments,
# in literals and before their quotes; a lead byte before a quote and before
# an apostrophe (which then open literals); Japanese text before names.
SJIS_H = (
    "/* 定数の定義: 表示「ソ」 */\n"
    "#define MAX_LEN 256\n"
    "#define SQUARE(x) ((x) * (x))\n"
    "#include \"other_name.h\"\n"
    "typedef struct point_tag {   /* 点 */\n"
    "    int x;  // 横位置ソ\n"
    "    int y;  /* 縦位置 */ int hidden_if_spliced;\n"
    "} Point;\n"
    "static const char *names[] = { \"表\", \"ソ\", \"十\", L\"wide\" };\n"
    "int total = SQUARE(MAX_LEN) + sizeof(Point) + 0x1Fu + 1e+5;\n"
    "/* 漢字 */ int after_kanji = MAX_LEN; char ch = '能'; int after_char;\n"
    "#if defined(MAX_LEN) && MAX_LEN > 100\n"
    "#  define BIG_BUFFER MAX_LEN\n"
    "#endif\n"
    "/* 複数行の\n"
    "   コメント MAX_LEN */ int counter = BIG_BUFFER;\n"
    "#define LONG_MACRO(a) \\\n"
    "    ((a) + MAX_LEN)\n"
    "const char *msg = \"改行ソ\\n\" \"MAX_LEN\"; int after_msg;\n"
).encode("cp932") + (
    b'const char *odd = "\x81\x22 inside_odd ";\n'
    b"int quoted1; \x81\x27 hidden_by_quote\n"
    b"int quoted2 = total;\n"
    b"int use_all = odd + inside_odd + quoted1;\n")

UTF8_C = (
    "#include \"sjis.h\"\n"
    "/* 日本語のコメント */ Point origin = { MAX_LEN, 0 };\n"
    "int main(void) { return SQUARE(origin.x) + total + counter; }\n"
    "const char *s = \"MAX_LEN は文字列\"; int after_s = LONG_MACRO(1);\n"
).encode("utf-8")


def decode(data, sjis):
    return data.decode("cp932" if sjis else "utf-8", errors="strict")


class ReferencesScenario(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kolvu-lsp-refs-")
        self.root = os.path.realpath(self.dir).encode()
        self.files = {b"inc/sjis.h": (SJIS_H, True), b"src/main.c": (UTF8_C, False)}
        for rel, (data, _) in self.files.items():
            os.makedirs(os.path.dirname(os.path.join(self.root, rel)), exist_ok=True)
            with open(os.path.join(self.root, rel), "wb") as f:
                f.write(data)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def expected(self):
        """name -> [(path, line, character or None)], character in UTF-16
        units, None on a line that does not decode."""
        uses = {}
        for rel, (data, sjis) in self.files.items():
            path = os.path.join(self.root, rel)
            for offset, name in plain_uses(data, sjis):
                line = data.count(b"\n", 0, offset)
                start = data.rfind(b"\n", 0, offset) + 1
                try:
                    col = len(decode(data[start:offset], sjis).encode("utf-16-le")) // 2
                    decode(data[start:data.find(b"\n", offset)], sjis)
                except UnicodeDecodeError:
                    col = None
                uses.setdefault(name, []).append((path, line, col))
        return uses

    def test_references_equal_the_plain_readers_uses(self):
        uses = self.expected()
        # The reader sees what the tree was made to show.
        for name in ["MAX_LEN", "hidden_if_spliced", "after_char", "after_msg", "inside_odd",
                     "quoted2", "after_kanji", "LONG_MACRO", "after_s"]:
            self.assertIn(name, uses)
        for name in ["hidden_by_quote", "other_name", "include", "define", "wide", "L", "Fu", "e"]:
            self.assertNotIn(name, uses)
        self.assertEqual(len(uses["MAX_LEN"]), 8)
        s = Session(self.root, options={})
        for name, places in sorted(uses.items()):
            with self.subTest(name=name):
                path, line, col = next(p for p in places if p[2] is not None)
                got = s.client.result("textDocument/references", {
                    "textDocument": {"uri": file_uri(path)},
                    "position": {"line": line, "character": col},
                    "context": {"includeDeclaration": True}})
                clean = {(p[0], p[1]) for p in places if p[2] is not None}
                found = sorted((uri_path(r["uri"]), r["range"]["start"]["line"],
                                r["range"]["start"]["character"]
                                if (uri_path(r["uri"]), r["range"]["start"]["line"]) in clean else None)
                               for r in got)
                self.assertEqual(found, sorted(places))
                for r in got:
                    self.assertEqual(r["range"]["end"]["character"] - r["range"]["start"]["character"],
                                     len(name))
        self.assertEqual(s.close(), 0)


# ---- Protocol tests on the shared tree --------------------------------------

class Uses(Tree):
    def refs(self, s, rel, line, character, declaration):
        got = s.client.result("textDocument/references", {
            "textDocument": {"uri": s.uri(rel)}, "position": {"line": line, "character": character},
            "context": {"includeDeclaration": declaration}})
        return [(os.path.relpath(uri_path(r["uri"]), self.root).decode(), r["range"]["start"]["line"],
                 r["range"]["start"]["character"]) for r in got]

    def test_references_with_and_without_declarations(self):
        s = Session(self.root)
        self.assertTrue(s.init["capabilities"]["referencesProvider"])
        col = column_of(MAIN_C, 2, "MAX_LEN", "utf-16")
        # MAX_LEN is defined in defs.h and union.h and used in main.c.
        self.assertEqual(self.refs(s, "src/main.c", 2, col, True),
                         [("inc/defs.h", 1, 8), ("src/main.c", 2, 19), ("src/union.h", 4, 8)])
        self.assertEqual(self.refs(s, "src/main.c", 2, col, False), [("src/main.c", 2, 19)])
        # From the definition, with Japanese text before the name (ULONG).
        ulong = column_of(DEFS_H, 3, "ULONG", "utf-16")
        self.assertEqual(self.refs(s, "inc/defs.h", 3, ulong, True),
                         [("inc/defs.h", 3, ulong), ("src/main.c", 4, 7)])
        self.assertEqual(self.refs(s, "inc/defs.h", 3, ulong, False), [("src/main.c", 4, 7)])
        # Nothing under the cursor; a name nothing uses elsewhere.
        self.assertIsNone(s.client.result("textDocument/references", {
            "textDocument": {"uri": s.uri("src/main.c")}, "position": {"line": 0, "character": 0},
            "context": {"includeDeclaration": True}}))
        self.assertEqual(self.refs(s, "src/main.c", 2, 9, False), [])  # LOCAL_MAX
        self.assertEqual(s.close(), 0)

    def test_references_follow_edits_and_the_disk(self):
        s = Session(self.root)
        c = s.client
        col = column_of(MAIN_C, 2, "MAX_LEN", "utf-16")
        uri = s.uri("src/main.c")
        c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c", "version": 1,
                                                           "text": MAIN_C.decode("cp932")}})
        c.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [
            {"range": {"start": {"line": 5, "character": 0}, "end": {"line": 5, "character": 0}},
             "text": "int m = MAX_LEN; /* MAX_LEN */\n"}]})
        self.assertEqual(self.refs(s, "src/main.c", 2, col, False), [("src/main.c", 2, 19), ("src/main.c", 5, 8)])
        # A file changed on disk (watched by the client): its uses follow.
        with open(os.path.join(self.root, b"src/union.h"), "ab") as f:
            f.write(b"#define TWICE (MAX_LEN * 2)\n")
        c.notify("workspace/didChangeWatchedFiles",
                 {"changes": [{"uri": s.uri("src/union.h"), "type": 2}]})
        self.assertEqual(self.refs(s, "src/main.c", 2, col, False),
                         [("src/main.c", 2, 19), ("src/main.c", 5, 8), ("src/union.h", 5, 15)])
        # Closed, the file on disk counts again.
        c.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
        self.assertEqual(self.refs(s, "src/main.c", 2, col, False), [("src/main.c", 2, 19), ("src/union.h", 5, 15)])
        self.assertEqual(s.close(), 0)

    def test_highlights_in_the_document(self):
        s = Session(self.root)
        c = s.client
        self.assertTrue(s.init["capabilities"]["documentHighlightProvider"])
        uri = s.uri("src/new.c")
        # "/* 点 */ int Point; Point = MAX_LEN;": Point at 12 and 19.
        c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c", "version": 1,
                                                           "text": "/* 点 */ int Point; Point = MAX_LEN;\n"
                                                                   "// Point\n\"Point\" + Point;\n"}})
        got = c.result("textDocument/documentHighlight",
                       {"textDocument": {"uri": uri}, "position": {"line": 0, "character": 15}})
        self.assertEqual(got, [{"range": {"start": {"line": 0, "character": 12}, "end": {"line": 0, "character": 17}}, "kind": 1},
                               {"range": {"start": {"line": 0, "character": 19}, "end": {"line": 0, "character": 24}}, "kind": 1},
                               {"range": {"start": {"line": 2, "character": 10}, "end": {"line": 2, "character": 15}}, "kind": 1}])
        # A file not open: its uses as indexed.
        got = c.result("textDocument/documentHighlight",
                       {"textDocument": {"uri": s.uri("inc/defs.h")}, "position": {"line": 1, "character": 9}})
        self.assertEqual([h["range"]["start"] for h in got], [{"line": 1, "character": 8}])
        self.assertIsNone(c.result("textDocument/documentHighlight",
                                   {"textDocument": {"uri": uri}, "position": {"line": 1, "character": 0}}))
        self.assertEqual(s.close(), 0)


class Completion(Tree):
    def complete(self, s, uri, line, character):
        return s.client.result("textDocument/completion",
                               {"textDocument": {"uri": uri}, "position": {"line": line, "character": character}})

    def test_names_by_prefix_with_kind_and_detail(self):
        s = Session(self.root)
        c = s.client
        self.assertIn("completionProvider", s.init["capabilities"])
        uri = s.uri("src/new.c")
        c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c", "version": 1,
                                                           "text": "MAX\nSQ\npoi\nPoi\nULO\nzzz\n  x = MAX_L\n"}})
        cases = [
            (0, 3, [("MAX_LEN", 21, "#define MAX_LEN 256")]),
            (1, 2, [("SQUARE", 3, "#define SQUARE(x) ((x) * (x))")]),
            (2, 3, [("point_tag", 22, "typedef struct point_tag {")]),
            (3, 3, [("Point", 7, "typedef struct point_tag {")]),
            (4, 3, [("ULONG", 7, "typedef unsigned long /* 符号なし長整数 */ ULONG;")]),
            (5, 3, []),
            (6, 9, [("MAX_LEN", 21, "#define MAX_LEN 256")]),   # the part before the cursor
            (0, 1, [("MAX_LEN", 21, "#define MAX_LEN 256")]),
        ]
        for line, character, want in cases:
            with self.subTest(line=line, character=character):
                r = self.complete(s, uri, line, character)
                self.assertFalse(r["isIncomplete"])
                self.assertEqual([(i["label"], i["kind"], i["detail"]) for i in r["items"]], want)
        self.assertEqual(s.close(), 0)

    def test_at_most_a_hundred_names(self):
        s = Session(self.root)
        c = s.client
        uri = s.uri("src/many.h")
        text = "".join("#define PFX_%03d %d\n" % (i, i) for i in range(150)) + "PFX_\nPFX_14\n"
        c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c", "version": 1, "text": text}})
        r = self.complete(s, uri, 150, 4)
        self.assertTrue(r["isIncomplete"])
        self.assertEqual([i["label"] for i in r["items"]], ["PFX_%03d" % i for i in range(100)])
        r = self.complete(s, uri, 151, 6)
        self.assertFalse(r["isIncomplete"])
        self.assertEqual([i["label"] for i in r["items"]], ["PFX_14%d" % i for i in range(10)])
        self.assertEqual(r["items"][3]["detail"], "#define PFX_143 143")
        self.assertEqual(s.close(), 0)


class Symbols(Tree):
    def test_flat_symbols_without_the_capability(self):
        s = Session(self.root, hierarchical=False)
        syms = s.client.result("textDocument/documentSymbol", {"textDocument": {"uri": s.uri(b"inc/defs.h")}})
        uri = s.uri(b"inc/defs.h")
        self.assertEqual([(x["name"], x["kind"], x["location"]["uri"] == uri, x["location"]["range"]["start"]["line"],
                           x["location"]["range"]["end"]["line"]) for x in syms],
                         [("MAX_LEN", 14, True, 1, 1), ("SQUARE", 12, True, 2, 2), ("ULONG", 5, True, 3, 3),
                          ("point_tag", 23, True, 4, 7), ("x", 8, True, 5, 5), ("y", 8, True, 6, 6),
                          ("Point", 5, True, 4, 7)])
        self.assertEqual(s.close(), 0)

    def test_symbol_tree_with_the_capability(self):
        s = Session(self.root, hierarchical=True)
        syms = s.client.result("textDocument/documentSymbol", {"textDocument": {"uri": s.uri(b"src/union.h")}})
        self.assertEqual(syms[0]["name"], "value")
        self.assertEqual(syms[0]["kind"], 23)
        self.assertEqual(syms[0]["range"], {"start": {"line": 0, "character": 0}, "end": {"line": 3, "character": 2}})
        # Members, once the scanner gives them, are the union's children.
        for child in syms[0].get("children", []):
            self.assertEqual(child["kind"], 8)
            self.assertIn(child["name"], ["l", "s"])
        self.assertEqual(s.close(), 0)


class Declarations(unittest.TestCase):
    """Definitions against prototypes and extern declarations, from the
    scanner's own records: skipped while it gives no functions."""

    def test_definition_and_declaration(self):
        d = tempfile.mkdtemp(prefix="kolvu-lsp-decl-")
        try:
            root = os.path.realpath(d).encode()
            with open(os.path.join(root, b"api.h"), "wb") as f:
                f.write(b"int area(int w, int h);\nextern int counter;\n")
            with open(os.path.join(root, b"api.c"), "wb") as f:
                f.write(b"#include \"api.h\"\nint counter = 0;\nint area(int w, int h) { return w * h; }\n"
                        b"int use(void) { return area(counter, 2); }\n")
            s = Session(root, options={})
            kinds = {x["name"]: x["kind"] for x in s.symbols("area")}
            if "area" not in kinds:
                s.close()
                self.skipTest("the scanner gives no functions or prototypes yet")
            uri = file_uri(os.path.join(root, b"api.c"))

            def where(method, character):
                got = s.client.result(method, {"textDocument": {"uri": uri},
                                               "position": {"line": 3, "character": character}})
                return [(os.path.basename(uri_path(l["uri"])), l["range"]["start"]["line"]) for l in got]
            self.assertEqual(where("textDocument/definition", 24), [(b"api.c", 2)])   # area
            self.assertEqual(where("textDocument/declaration", 24), [(b"api.h", 0)])
            self.assertEqual(where("textDocument/definition", 30), [(b"api.c", 1)])   # counter
            self.assertEqual(where("textDocument/declaration", 30), [(b"api.h", 1)])
            self.assertEqual(s.close(), 0)
        finally:
            shutil.rmtree(d, ignore_errors=True)


if __name__ == "__main__":
    protocol_test.BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
