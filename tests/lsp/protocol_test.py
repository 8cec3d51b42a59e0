"""The language server driven at the protocol level: lifecycle, positions in
the three encodings, definitions, hover, symbols, open documents, watched
files, file addresses, and bad input. Run as
    protocol_test.py KOLVU_LSP_BINARY
"""

import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lsp_client import Client, ProtocolFailure, file_uri, uri_path  # noqa: E402

BINARY = None

# The tree every scenario works on. Shift_JIS sources, one with a name after
# Japanese text on its line; a folder whose name needs escaping and a file
# whose name is not UTF-8; an excluded folder.
DEFS_H = """/* 定数の定義 */
#define MAX_LEN 256
#define SQUARE(x) ((x) * (x))
typedef unsigned long /* 符号なし長整数 */ ULONG;
typedef struct point_tag {
    int x;  /* 横位置 */
    int y;  /* 縦位置 */
} Point;
""".encode("cp932")

MAIN_C = """#include "defs.h"
/* 表示名の長さ */
#define LOCAL_MAX (MAX_LEN - 1)
static Point origin;
static ULONG count;
""".encode("cp932")

UNION_H = """union value {
    long l;
    char s[8];  /* 文字列「ソ」 */
};
#define MAX_LEN 512
""".encode("cp932")

ODD_DIR = b"sp ace#%dir"
ODD_FILE = b"caf\xe9.h"  # Latin-1, not UTF-8


def make_tree(root):
    def put(rel, data):
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    put(b"inc/defs.h", DEFS_H)
    put(b"src/main.c", MAIN_C)
    put(b"src/union.h", UNION_H)
    put(ODD_DIR + b"/" + ODD_FILE, b"#define ODDNAME 1\n")
    put(b"build/gen.h", b"#define EXCLUDED_NAME 1\n")
    put(b"notes.txt", b"#define NOT_A_SOURCE 1\n")


def sanitized():
    """True when the server is built with AddressSanitizer or
    ThreadSanitizer, whose allocators keep what is freed."""
    with open(BINARY, "rb") as f:
        data = f.read()
    return b"__asan_init" in data or b"__tsan_init" in data


def units(text, encoding):
    """The length of text in the units of a position encoding."""
    if encoding == "utf-8":
        return len(text.encode("utf-8"))
    if encoding == "utf-16":
        return len(text.encode("utf-16-le")) // 2
    return len(text)


def column_of(data, line, name, encoding):
    """The editor's column of name on line (from 0) of Shift_JIS data."""
    text = data.decode("cp932").split("\n")[line]
    return units(text[:text.index(name)], encoding)


class Session:
    """A server started on the tree, initialized, and indexed."""

    def __init__(self, root, encodings=None, progress=True, watch=True, options=None, args=(),
                 hierarchical=True):
        self.root = root
        self.client = Client(BINARY, ["-j2", *args])
        caps = {"window": {"workDoneProgress": progress},
                "workspace": {"didChangeWatchedFiles": {"dynamicRegistration": watch}},
                "textDocument": {"documentSymbol": {"hierarchicalDocumentSymbolSupport": hierarchical}}}
        if encodings is not None:
            caps["general"] = {"positionEncodings": encodings}
        params = {"processId": os.getpid(), "rootUri": file_uri(root),
                  "capabilities": caps,
                  "initializationOptions": options if options is not None else {"exclude": ["build"]}}
        self.init = self.client.result("initialize", params)
        self.client.notify("initialized", {})
        # The end of indexing: the log line that closes it.
        self.client.wait_for(lambda m: m.get("method") == "window/logMessage"
                             and "definitions indexed" in m["params"]["message"])

    def uri(self, rel):
        return file_uri(os.path.join(self.root, rel.encode() if isinstance(rel, str) else rel))

    def definition(self, rel, line, character, method="textDocument/definition"):
        return self.client.result(method, {"textDocument": {"uri": self.uri(rel)},
                                           "position": {"line": line, "character": character}})

    def hover_text(self, rel, line, character):
        h = self.client.result("textDocument/hover", {"textDocument": {"uri": self.uri(rel)},
                                                      "position": {"line": line, "character": character}})
        return h["contents"]["value"]

    def symbols(self, query):
        return self.client.result("workspace/symbol", {"query": query})

    def close(self):
        self.client.result("shutdown")
        self.client.notify("exit")
        return self.client.wait_exit()


class Tree(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kolvu-lsp-")
        self.root = os.path.realpath(self.dir).encode()
        make_tree(self.root)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class Lifecycle(Tree):
    def test_exit_status(self):
        # (messages after initialize, whether input is closed, status)
        cases = [
            ("shutdown then exit", ["shutdown", "exit"], 0),
            ("exit without shutdown", ["exit"], 1),
            ("end of input after shutdown", ["shutdown", None], 0),
            ("end of input without shutdown", [None], 1),
        ]
        for name, steps, status in cases:
            with self.subTest(name):
                c = Client(BINARY)
                c.result("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
                c.notify("initialized", {})
                for s in steps:
                    if s == "shutdown":
                        self.assertIsNone(c.result("shutdown"))
                    elif s == "exit":
                        c.notify("exit")
                    else:
                        c.close_input()
                self.assertEqual(c.wait_exit(), status)

    def test_position_encoding_negotiated(self):
        cases = [(None, "utf-16"), (["utf-16"], "utf-16"), (["utf-8", "utf-16"], "utf-8"),
                 (["utf-32"], "utf-32"), (["utf-7", "utf-32", "utf-8"], "utf-32"), ([], "utf-16")]
        for offered, chosen in cases:
            with self.subTest(offered=offered):
                c = Client(BINARY)
                caps = {} if offered is None else {"general": {"positionEncodings": offered}}
                r = c.result("initialize", {"processId": None, "rootUri": None, "capabilities": caps})
                self.assertEqual(r["capabilities"]["positionEncoding"], chosen)
                self.assertEqual(r["serverInfo"]["name"], "kolvu-lsp")
                c.close_input()
                c.wait_exit()

    def test_initialization_options(self):
        # (options, command line, names expected, names not expected)
        cases = [
            ({"kinds": "d"}, [], ["MAX_LEN", "SQUARE"], ["Point", "value"]),
            ({"kinds": "su"}, [], ["point_tag", "value"], ["MAX_LEN", "Point"]),
            ({"extensions": ["c"]}, [], ["LOCAL_MAX"], ["SQUARE"]),
            ({"extensions": "h,c"}, [], ["LOCAL_MAX", "SQUARE"], []),
            ({"exclude": "src"}, [], ["SQUARE"], ["LOCAL_MAX", "value"]),
            ({"exclude": ["inc/*", "*.c"]}, [], ["value"], ["SQUARE", "LOCAL_MAX"]),
            ({}, ["--kinds=t", "--exclude=build"], ["Point", "ULONG"], ["MAX_LEN", "EXCLUDED_NAME"]),
            ({"kinds": "d"}, ["--kinds=t"], ["MAX_LEN"], ["Point"]),  # the client's word last
            ({"workers": 1, "encoding": "sjis"}, [], ["SQUARE"], []),
        ]
        outside = os.path.join(self.root, b"..", os.path.basename(self.root) + b"-outside")
        os.makedirs(outside)
        self.addCleanup(shutil.rmtree, outside, True)
        with open(os.path.join(outside, b"ext.h"), "wb") as f:
            f.write(b"#define OUTSIDE 1\n")
        os.symlink(outside, os.path.join(self.root, b"linked"))
        for options, args, present, absent in cases:
            with self.subTest(options=options, args=args):
                s = Session(self.root, options=options, args=args)
                names = {x["name"] for x in s.symbols("")}
                for n in present:
                    self.assertIn(n, names)
                for n in absent:
                    self.assertNotIn(n, names)
                s.close()
        # A link to a folder is followed only when asked.
        for options, args, count in [({}, [], 0), ({"follow": True}, [], 1), ({}, ["--follow"], 1)]:
            with self.subTest(options=options, args=args):
                s = Session(self.root, options=options, args=args)
                self.assertEqual(len(s.symbols("OUTSIDE")), count)
                s.close()
        for bad in [{"kinds": "q"}, {"workers": 0}, {"encoding": "latin1"}, {"extensions": [""]},
                    {"kinds": 3}, {"follow": "yes"}, "not an object"]:
            with self.subTest(bad=bad):
                c = Client(BINARY)
                r = c.request("initialize", {"processId": None, "rootUri": None, "capabilities": {},
                                             "initializationOptions": bad})
                self.assertEqual(r["error"]["code"], -32602)
                # Still not initialized: a good initialize is taken.
                c.result("initialize", {"processId": None, "rootUri": None, "capabilities": {}})
                c.close_input()
                c.wait_exit()

    def test_command_line(self):
        import subprocess
        cases = [(["--version"], 0, "kolvu-lsp "), (["--help"], 0, "Usage: kolvu-lsp"),
                 (["--he"], 0, "Usage: kolvu-lsp"), (["--kinds=z"], 2, ""), (["--bogus"], 2, ""),
                 (["-j", "0"], 2, ""), (["somepath"], 2, "")]
        for args, status, out in cases:
            with self.subTest(args=args):
                p = subprocess.run([BINARY, *args], stdin=subprocess.DEVNULL, capture_output=True)
                self.assertEqual(p.returncode, status, p.stderr)
                self.assertTrue(p.stdout.decode().startswith(out))
                if status == 2:
                    self.assertIn(b"Try 'kolvu-lsp --help'", p.stderr)

    def test_progress_reported(self):
        s = Session(self.root)
        c = s.client
        create = c.wait_for(lambda m: m.get("method") == "window/workDoneProgress/create")
        token = create["params"]["token"]
        # The begin may follow the end of indexing, when the answer to the
        # creation comes late: wait for the end.
        end = c.wait_for(lambda m: m.get("method") == "$/progress"
                         and m["params"]["value"]["kind"] == "end")
        kinds = [m["params"]["value"]["kind"] for m in c.notifications("$/progress") + [end]
                 if m["params"]["token"] == token]
        self.assertEqual(kinds[0], "begin")
        self.assertEqual(kinds[-1], "end")
        reg = c.wait_for(lambda m: m.get("method") == "client/registerCapability")
        watchers = reg["params"]["registrations"][0]["registerOptions"]["watchers"]
        self.assertIn(".h", watchers[0]["globPattern"])
        self.assertEqual(s.close(), 0)

    def test_progress_waits_for_the_answer_to_its_creation(self):
        c = Client(BINARY)
        c.answer_requests = False
        c.result("initialize", {"processId": None, "rootUri": file_uri(self.root),
                                "capabilities": {"window": {"workDoneProgress": True}}})
        c.notify("initialized", {})
        create = c.wait_for(lambda m: m.get("method") == "window/workDoneProgress/create")
        c.wait_for(lambda m: m.get("method") == "window/logMessage"
                   and "definitions indexed" in m["params"]["message"])
        self.assertEqual(c.notifications("$/progress"), [])
        c.send({"jsonrpc": "2.0", "id": create["id"], "result": None})
        begin = c.wait_for(lambda m: m.get("method") == "$/progress")
        end = c.wait_for(lambda m: m.get("method") == "$/progress")
        self.assertEqual(begin["params"]["value"]["kind"], "begin")
        self.assertEqual(end["params"]["value"]["kind"], "end")
        self.assertIn("definitions indexed", end["params"]["value"]["message"])
        c.close_input()
        self.assertEqual(c.wait_exit(), 1)

    def test_requests_answered_while_indexing(self):
        many = os.path.join(self.root, b"many")
        os.makedirs(many)
        for i in range(3000):
            with open(os.path.join(many, b"f%04d.h" % i), "wb") as f:
                f.write(b"#define MANY_%04d %d\n" % (i, i))
        c = Client(BINARY, ["-j1"])
        c.result("initialize", {"processId": None, "rootUri": file_uri(self.root), "capabilities": {}})
        c.notify("initialized", {})
        r = c.result("workspace/symbol", {"query": "MANY_"})
        self.assertLess(len(r), 3000)  # what is indexed so far
        self.assertEqual([m for m in c.pending if m.get("method") == "window/logMessage"
                          and "definitions indexed" in m["params"]["message"]], [])
        c.wait_for(lambda m: m.get("method") == "window/logMessage"
                   and "definitions indexed" in m["params"]["message"])
        self.assertEqual(len(c.result("workspace/symbol", {"query": "MANY_"})), 1000)
        c.close_input()
        c.wait_exit()

    def test_no_progress_without_the_capability(self):
        s = Session(self.root, progress=False, watch=False)
        self.assertEqual(s.client.notifications("$/progress"), [])
        self.assertEqual(s.client.notifications("window/workDoneProgress/create"), [])
        self.assertEqual(s.client.notifications("client/registerCapability"), [])
        self.assertEqual(s.close(), 0)


class Queries(Tree):
    def test_definition_in_every_encoding(self):
        # The definition of a name after Japanese text on its line lands on
        # the name, in each encoding.
        for enc in ["utf-16", "utf-8", "utf-32"]:
            with self.subTest(encoding=enc):
                s = Session(self.root, encodings=[enc])
                col = column_of(MAIN_C, 4, "ULONG", enc)
                locs = s.definition("src/main.c", 4, col + 2)
                self.assertEqual(len(locs), 1)
                self.assertEqual(uri_path(locs[0]["uri"]), os.path.join(self.root, b"inc/defs.h"))
                start = column_of(DEFS_H, 3, "ULONG", enc)
                self.assertEqual(locs[0]["range"], {"start": {"line": 3, "character": start},
                                                    "end": {"line": 3, "character": start + 5}})
                s.close()

    def test_definitions(self):
        s = Session(self.root)
        defs = os.path.join(self.root, b"inc/defs.h")
        union = os.path.join(self.root, b"src/union.h")
        main = os.path.join(self.root, b"src/main.c")
        # (file, line, name under the cursor, [(file, line, character)])
        cases = [
            ("src/main.c", 2, "MAX_LEN", [(defs, 1, 8), (union, 4, 8)]),
            ("src/union.h", 4, "MAX_LEN", [(union, 4, 8), (defs, 1, 8)]),   # its own file first
            ("src/main.c", 3, "Point", [(defs, 7, 2)]),
            ("inc/defs.h", 4, "point_tag", [(defs, 4, 15)]),
            ("src/main.c", 2, "LOCAL_MAX", [(main, 2, 8)]),
        ]
        for rel, line, name, want in cases:
            with self.subTest(name=name, file=rel):
                with open(os.path.join(self.root, rel.encode()), "rb") as f:
                    data = f.read()
                col = column_of(data, line, name, "utf-16")
                for method in ["textDocument/definition", "textDocument/declaration"]:
                    locs = s.definition(rel, line, col + 1, method)
                    got = [(uri_path(l["uri"]), l["range"]["start"]["line"],
                            l["range"]["start"]["character"]) for l in locs]
                    self.assertEqual(got, want)
        # Nothing under the cursor, a name nothing defines, a number.
        self.assertIsNone(s.definition("src/main.c", 0, 0))
        self.assertEqual(s.definition("src/main.c", 3, 1), [])  # "static"
        self.assertEqual(s.symbols("EXCLUDED_NAME"), [])
        self.assertEqual(s.symbols("NOT_A_SOURCE"), [])
        self.assertEqual(s.close(), 0)

    def test_hover(self):
        s = Session(self.root)
        col = column_of(MAIN_C, 3, "Point", "utf-16")
        h = s.client.result("textDocument/hover", {"textDocument": {"uri": s.uri(b"src/main.c")},
                                                   "position": {"line": 3, "character": col}})
        value = h["contents"]["value"]
        self.assertEqual(h["contents"]["kind"], "markdown")
        self.assertIn("```c\ntypedef struct point_tag {\n    int x;  /* 横位置 */", value)
        self.assertIn("} Point;\n```", value)
        self.assertIn("`inc/defs.h` line 5", value)  # where the typedef begins
        self.assertEqual(h["range"]["start"], {"line": 3, "character": col})
        # Two definitions, each with its file.
        col = column_of(MAIN_C, 2, "MAX_LEN", "utf-16")
        h = s.client.result("textDocument/hover", {"textDocument": {"uri": s.uri(b"src/main.c")},
                                                   "position": {"line": 2, "character": col}})
        value = h["contents"]["value"]
        self.assertIn("#define MAX_LEN 256", value)
        self.assertIn("#define MAX_LEN 512", value)
        self.assertLess(value.index("inc/defs.h"), value.index("src/union.h"))
        s.close()

    def test_hover_once_per_definition_text(self):
        # A typedef of a struct with the struct's own name gives two names
        # of one text; they are shown once, and count once against the limit.
        with open(os.path.join(self.root, b"inc/node.h"), "wb") as f:
            f.write(b"typedef struct node {\n    int v;\n} node;\nstruct node;\n")
        for i in range(8):
            with open(os.path.join(self.root, b"inc/other%d.h" % i), "wb") as f:
                f.write(b"#define node_%d 1\ntypedef int node;\n" % i)
        s = Session(self.root)
        value = s.hover_text(b"inc/node.h", 2, 3)
        self.assertEqual(value.count("typedef struct node {"), 1, value)
        self.assertIn("`inc/node.h` line 1 (struct node, typedef node)", value)
        self.assertEqual(value.count("```c"), 8)
        self.assertTrue(value.endswith("and 1 more"), value[-40:])  # 9 texts, not 10 names
        s.close()

    def test_hover_limit(self):
        for i in range(11):
            with open(os.path.join(self.root, b"inc/many%02d.h" % i), "wb") as f:
                f.write(b"#define MANY %d\n" % i)
        s = Session(self.root)
        value = s.hover_text(b"inc/many00.h", 0, 9)
        self.assertEqual(value.count("```c"), 8)
        self.assertTrue(value.endswith("and 3 more"), value[-40:])
        s.close()

    def test_hover_of_a_text_that_does_not_convert(self):
        with open(os.path.join(self.root, b"inc/bad.h"), "wb") as f:
            f.write(b"#define BROKEN 1 /* \x82\xa0 \x85\x40 */\n")  # 0x8540 maps to nothing
        s = Session(self.root, options={"encoding": "sjis"})
        h = s.client.result("textDocument/hover", {"textDocument": {"uri": s.uri(b"inc/bad.h")},
                                                   "position": {"line": 0, "character": 9}})
        value = h["contents"]["value"]
        self.assertIn("あ", value)
        self.assertIn("did not convert", value)
        s.close()

    def test_workspace_symbols(self):
        s = Session(self.root)
        # (query, the names first listed, in order)
        cases = [
            ("MAX_LEN", ["MAX_LEN", "MAX_LEN"]),
            ("MAX", ["MAX_LEN", "MAX_LEN"]),
            ("LOCAL", ["LOCAL_MAX"]),
            ("sqr", ["SQUARE"]),              # subsequence, any case
            ("pnt", ["Point", "point_tag"]),
            ("zzz", []),
        ]
        for query, names in cases:
            with self.subTest(query=query):
                got = [x["name"] for x in s.symbols(query)]
                self.assertEqual(got[:len(names)], names)
                if not names:
                    self.assertEqual(got, [])
        kinds = {x["name"]: x["kind"] for x in s.symbols("")}
        self.assertEqual(kinds["SQUARE"], 12)
        self.assertEqual(kinds["MAX_LEN"], 14)
        self.assertEqual(kinds["Point"], 5)
        self.assertEqual(kinds["point_tag"], 23)
        self.assertEqual(kinds["value"], 23)
        # Exact before prefix: "Point" also begins "Pointer".
        s.client.notify("textDocument/didOpen", {"textDocument": {
            "uri": s.uri(b"src/extra.h"), "languageId": "c", "version": 1,
            "text": "#define PointX 1\n#define APoint 2\n"}})
        self.assertEqual([x["name"] for x in s.symbols("Point")], ["Point", "PointX", "APoint", "point_tag"])
        s.close()

    def test_symbol_limit(self):
        with open(os.path.join(self.root, b"inc/lots.h"), "wb") as f:
            f.write(b"".join(b"#define LOTS_%04d %d\n" % (i, i) for i in range(1200)))
        s = Session(self.root)
        self.assertEqual(len(s.symbols("LOTS")), 1000)
        s.close()

    def test_document_symbols(self):
        for enc in ["utf-16", "utf-8"]:
            with self.subTest(encoding=enc):
                s = Session(self.root, encodings=[enc])
                syms = s.client.result("textDocument/documentSymbol",
                                       {"textDocument": {"uri": s.uri(b"inc/defs.h")}})
                got = [(x["name"], x["range"]["start"]["line"], x["range"]["end"]["line"],
                        x["selectionRange"]["start"]["line"], x["selectionRange"]["start"]["character"])
                       for x in syms]
                ulong = column_of(DEFS_H, 3, "ULONG", enc)
                self.assertEqual(got, [("MAX_LEN", 1, 1, 1, 8), ("SQUARE", 2, 2, 2, 8),
                                       ("ULONG", 3, 3, 3, ulong), ("point_tag", 4, 7, 4, 15),
                                       ("Point", 4, 7, 7, 2)])
                self.assertEqual(syms[4]["range"]["end"], {"line": 7, "character": 8})
                s.close()


class Documents(Tree):
    def test_big_document_symbols_and_memory_given_back(self):
        s = Session(self.root)
        c = s.client
        uri = s.uri(b"src/big.h")
        n = 100000
        text = "".join("#define BIG_%06d (%d) /* 定数 */\n" % (i, i) for i in range(n))
        before = c.rss_kib()
        c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c",
                                                           "version": 1, "text": text}})
        syms = c.result("textDocument/documentSymbol", {"textDocument": {"uri": uri}})
        self.assertEqual(len(syms), n)
        self.assertEqual(syms[-1], {"name": "BIG_%06d" % (n - 1), "detail": "#define", "kind": 14,
                                    "range": {"start": {"line": n - 1, "character": 0},
                                              "end": {"line": n - 1, "character": len(text.split("\n")[-2])}},
                                    "selectionRange": {"start": {"line": n - 1, "character": 8},
                                                       "end": {"line": n - 1, "character": 18}}})
        del syms
        c.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
        self.assertEqual(s.symbols("BIG_000001"), [])
        # What the document and its answer took is handed back (they took
        # some 40 MB here); a sanitizer's allocator keeps freed memory a while.
        if not sanitized():
            self.assertLess(c.rss_kib() - before, 12 * 1024)
        self.assertEqual(s.close(), 0)

    def test_open_change_close(self):
        for enc in ["utf-16", "utf-8", "utf-32"]:
            with self.subTest(encoding=enc):
                s = Session(self.root, encodings=[enc])
                c = s.client
                uri = s.uri(b"src/new.c")
                text = "/* 新しい定義 */ typedef int 新型;\n#define NEWNAME 1\n"
                c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c",
                                                                   "version": 1, "text": text}})
                self.assertEqual([x["name"] for x in s.symbols("NEWNAME")], ["NEWNAME"])
                # Rename by a range edit on the second line, after Japanese on the first.
                c.notify("textDocument/didChange", {
                    "textDocument": {"uri": uri, "version": 2},
                    "contentChanges": [{"range": {"start": {"line": 1, "character": 8},
                                                  "end": {"line": 1, "character": 11}},
                                        "text": "OLD"}]})
                self.assertEqual([x["name"] for x in s.symbols("OLDNAME")], ["OLDNAME"])
                self.assertEqual(s.symbols("NEWNAME"), [])
                # An edit on the first line counted in the negotiated units.
                first = text.split("\n")[0]
                start = units(first[:first.index("新型")], enc)
                c.notify("textDocument/didChange", {
                    "textDocument": {"uri": uri, "version": 3},
                    "contentChanges": [{"range": {"start": {"line": 0, "character": start},
                                                  "end": {"line": 0, "character": start + units("新型", enc)}},
                                        "text": "KATA"}]})
                syms = s.symbols("KATA")
                self.assertEqual([x["name"] for x in syms], ["KATA"])
                self.assertEqual(syms[0]["location"]["range"]["start"], {"line": 0, "character": start})
                # A whole-text change, then close: the names go with the unsaved file.
                c.notify("textDocument/didChange", {"textDocument": {"uri": uri, "version": 4},
                                                    "contentChanges": [{"text": "#define WHOLE 2\n"}]})
                self.assertEqual([x["name"] for x in s.symbols("WHOLE")], ["WHOLE"])
                self.assertEqual(s.symbols("OLDNAME"), [])
                c.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
                self.assertEqual(s.symbols("WHOLE"), [])
                s.close()

    def test_open_document_stands_in_for_the_file(self):
        s = Session(self.root)
        c = s.client
        uri = s.uri(b"inc/defs.h")
        c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c", "version": 1,
                                                           "text": "/* 編集中 */\n#define EDITED 1\n"}})
        self.assertEqual(s.symbols("SQUARE"), [])
        h = c.result("textDocument/hover", {"textDocument": {"uri": uri},
                                            "position": {"line": 1, "character": 9}})
        self.assertIn("#define EDITED 1", h["contents"]["value"])
        c.notify("textDocument/didSave", {"textDocument": {"uri": uri}})
        self.assertEqual(s.symbols("SQUARE"), [])
        # Closed, the file on disk counts again.
        c.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
        self.assertEqual([x["name"] for x in s.symbols("SQUARE")], ["SQUARE"])
        self.assertEqual(s.symbols("EDITED"), [])
        s.close()

    def test_watched_files(self):
        s = Session(self.root)
        c = s.client
        path = os.path.join(self.root, b"src/watched.h")
        uri = file_uri(path)
        with open(path, "wb") as f:
            f.write("/* 監視 */\n#define WATCHED 1\n".encode("cp932"))
        c.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": uri, "type": 1}]})
        self.assertEqual([x["name"] for x in s.symbols("WATCHED")], ["WATCHED"])
        with open(path, "wb") as f:
            f.write(b"#define WATCHED_TOO 1\n")
        c.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": uri, "type": 2}]})
        self.assertEqual([x["name"] for x in s.symbols("WATCHED")], ["WATCHED_TOO"])
        os.unlink(path)
        c.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": uri, "type": 3}]})
        self.assertEqual(s.symbols("WATCHED"), [])
        s.close()


class DiskWithoutEvents(Tree):
    def wait_until(self, what, check, seconds=5.0):
        end = time.time() + seconds
        while True:
            if check():
                return
            if time.time() > end:
                self.fail("%s not seen within %s s" % (what, seconds))
            time.sleep(0.05)

    def test_files_seen_without_client_events(self):
        # The client offers no file watching: the server watches itself,
        # by inotify and, where asked, by walks.
        for watch in ["inotify", "walk"]:
            with self.subTest(watch=watch):
                s = Session(self.root, watch=False, options={"exclude": ["build"], "watch": watch})
                inc = os.path.join(self.root, b"inc")

                def names(q):
                    return {x["name"] for x in s.symbols(q)}

                def put(rel, data):
                    path = os.path.join(self.root, rel)
                    os.makedirs(os.path.dirname(path), exist_ok=True)
                    with open(path, "wb") as f:
                        f.write(data)
                put(b"inc/fresh_%s.h" % watch.encode(), b"#define FRESH_ONE 1\n")
                self.wait_until("a created file", lambda: "FRESH_ONE" in names("FRESH_"))
                put(b"inc/fresh_%s.h" % watch.encode(), b"#define FRESH_TWO 2\n")
                self.wait_until("a changed file", lambda: names("FRESH_") == {"FRESH_TWO"})
                os.unlink(os.path.join(inc, b"fresh_%s.h" % watch.encode()))
                self.wait_until("a deleted file", lambda: names("FRESH_") == set())
                # A new folder and the file in it; an excluded one is not entered.
                put(b"newdir_%s/sub/deep.h" % watch.encode(), b"#define DEEP_NAME 1\n")
                put(b"build/gen2.h", b"#define EXCLUDED_TOO 1\n")
                self.wait_until("a file in a new folder", lambda: "DEEP_NAME" in names("DEEP_NAME"))
                self.assertEqual(names("EXCLUDED_TOO"), set())
                shutil.rmtree(os.path.join(self.root, b"newdir_%s" % watch.encode()))
                self.wait_until("a deleted folder", lambda: names("DEEP_NAME") == set())
                s.close()

    def test_lookups_check_the_disk(self):
        # The client watches (so the server does not) but says nothing:
        # a lookup that meets a changed or vanished file reads it again.
        s = Session(self.root)
        union = os.path.join(self.root, b"src/union.h")
        col = column_of(MAIN_C, 2, "MAX_LEN", "utf-16")
        self.assertEqual(len(s.definition("src/main.c", 2, col)), 2)
        # A file is compared with the disk at most every 0.2 s.
        time.sleep(0.3)
        with open(union, "wb") as f:
            f.write(b"\n\n#define MAX_LEN 1024\n")
        locs = s.definition("src/main.c", 2, col)
        self.assertEqual([l["range"]["start"]["line"] for l in locs], [1, 2])
        saved = open(union, "rb").read()
        os.unlink(union)
        time.sleep(0.3)
        self.assertEqual(len(s.definition("src/main.c", 2, col)), 1)
        with open(union, "wb") as f:
            f.write(saved)
        # Told of its return, it is indexed again (after the hover that lost it).
        s.client.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": file_uri(union), "type": 1}]})
        self.assertEqual(len(s.definition("src/main.c", 2, col)), 2)
        s.close()


class Folders(Tree):
    def test_folders_added_and_removed(self):
        c = Client(BINARY, ["-j2"])
        inc = os.path.join(self.root, b"inc")
        src = os.path.join(self.root, b"src")
        r = c.result("initialize", {"processId": None, "capabilities": {},
                                    "workspaceFolders": [{"uri": file_uri(inc), "name": "inc"}]})
        self.assertTrue(r["capabilities"]["workspace"]["workspaceFolders"]["changeNotifications"])
        c.notify("initialized", {})
        c.wait_for(lambda m: m.get("method") == "window/logMessage"
                   and "definitions indexed" in m["params"]["message"])

        def names():
            return {x["name"] for x in c.result("workspace/symbol", {"query": ""})}
        self.assertIn("SQUARE", names())
        self.assertNotIn("LOCAL_MAX", names())
        c.notify("workspace/didChangeWorkspaceFolders", {"event": {
            "added": [{"uri": file_uri(src), "name": "src"}], "removed": []}})
        c.wait_for(lambda m: m.get("method") == "window/logMessage"
                   and "added folders indexed" in m["params"]["message"])
        self.assertTrue({"SQUARE", "LOCAL_MAX", "value"} <= names())
        # Paths are now shown relative to the folder that holds them.
        h = c.result("textDocument/hover", {"textDocument": {"uri": file_uri(os.path.join(src, b"main.c"))},
                                            "position": {"line": 2, "character": 9}})
        self.assertIn("`main.c` line 3", h["contents"]["value"])
        c.notify("workspace/didChangeWorkspaceFolders", {"event": {
            "added": [], "removed": [{"uri": file_uri(inc) + "/", "name": "inc"}]}})
        got = names()
        self.assertIn("LOCAL_MAX", got)
        self.assertNotIn("SQUARE", got)
        c.close_input()
        c.wait_exit()


class Addresses(Tree):
    def test_paths_that_need_escaping(self):
        s = Session(self.root)
        syms = s.symbols("ODDNAME")
        self.assertEqual(len(syms), 1)
        uri = syms[0]["location"]["uri"]
        self.assertEqual(uri_path(uri), os.path.join(self.root, ODD_DIR, ODD_FILE))
        self.assertNotIn(" ", uri)
        # The address given back reaches the file.
        locs = s.client.result("textDocument/definition", {"textDocument": {"uri": uri},
                                                           "position": {"line": 0, "character": 9}})
        self.assertEqual([l["uri"] for l in locs], [uri])
        # Lower-case escapes and a localhost host name the same file.
        alt = uri.replace("%E9", "%e9").replace("file://", "file://localhost")
        locs = s.client.result("textDocument/definition", {"textDocument": {"uri": alt},
                                                           "position": {"line": 0, "character": 9}})
        self.assertEqual([l["uri"] for l in locs], [uri])
        s.close()


class BadInput(Tree):
    def test_faults_answered_and_survived(self):
        c = Client(BINARY)
        # Before initialize: a request is refused, a notification dropped.
        r = c.request("workspace/symbol", {"query": "x"})
        self.assertEqual(r["error"]["code"], -32002)
        c.notify("textDocument/didOpen", {"textDocument": {"uri": "file:///x.c", "text": ""}})
        c.result("initialize", {"processId": None, "rootUri": file_uri(self.root), "capabilities": {}})
        c.notify("initialized", {})

        def body(text):
            return b"Content-Length: %d\r\n\r\n" % len(text) + text

        # (case, bytes sent, expected error code or None for no reply, expected id)
        cases = [
            ("malformed length", b"Content-Length: 12x\r\n\r\n{}", -32700, None),
            ("no length", b"Content-Type: x\r\n\r\n{}", -32700, None),
            ("4 GiB announced", b"Content-Length: 4294967296\r\n\r\n{\"jsonrpc\":\"2.0\"}", -32700, None),
            ("header line without colon", b"garbage\r\n\r\n", -32700, None),
            ("JSON that does not parse", body(b'{"jsonrpc":"2.0","id":77,"method":'), -32700, 77),
            ("JSON, not an object", body(b"[1,2]"), -32600, None),
            ("unknown request", body(b'{"jsonrpc":"2.0","id":78,"method":"kolvu/nothing"}'), -32601, 78),
            ("unknown notification", body(b'{"jsonrpc":"2.0","method":"kolvu/nothing"}'), None, None),
            ("unknown $/ notification", body(b'{"jsonrpc":"2.0","method":"$/setTrace","params":{}}'), None, None),
            ("definition without a position",
             body(b'{"jsonrpc":"2.0","id":79,"method":"textDocument/definition","params":'
                  b'{"textDocument":{"uri":"file:///a.c"}}}'), -32602, 79),
            ("position of the wrong type",
             body(b'{"jsonrpc":"2.0","id":80,"method":"textDocument/hover","params":'
                  b'{"textDocument":{"uri":"file:///a.c"},"position":{"line":"x","character":0}}}'),
             -32602, 80),
            ("not a file address",
             body(b'{"jsonrpc":"2.0","id":81,"method":"textDocument/documentSymbol","params":'
                  b'{"textDocument":{"uri":"http://a/b.c"}}}'), -32602, 81),
            ("symbol without query",
             body(b'{"jsonrpc":"2.0","id":82,"method":"workspace/symbol","params":{}}'), -32602, 82),
            ("second initialize",
             body(b'{"jsonrpc":"2.0","id":83,"method":"initialize","params":{"capabilities":{}}}'), -32602, 83),
        ]
        for name, data, code, rid in cases:
            with self.subTest(name):
                c.send_raw(data)
                probe = c.request("workspace/symbol", {"query": "MAX_LEN"}, wait=False)
                first = c.wait_for(lambda m: "id" in m and "method" not in m)
                if code is None:
                    self.assertEqual(first["id"], probe)
                    self.assertIn("result", first)
                    continue
                self.assertEqual(first["error"]["code"], code, first)
                self.assertEqual(first.get("id"), rid)
                after = c.response(probe)
                self.assertIn("result", after, name)
        self.assertLess(c.rss_kib(), 100 * 1024)
        self.assertEqual(c.result("shutdown"), None)
        r = c.request("workspace/symbol", {"query": "x"})
        self.assertEqual(r["error"]["code"], -32600)
        c.notify("exit")
        self.assertEqual(c.wait_exit(), 0)
        self.assertIn(b"Content-Length", c.stderr)  # diagnostics go to standard error

    def test_messages_that_ended_the_server(self):
        def body(text):
            return b"Content-Length: %d\r\n\r\n" % len(text) + text

        def errors_then_probe(c, data, pause=0.0):
            """The error replies data brings, up to the answer to a probe
            sent after it (after pause seconds, in a write of its own)."""
            c.send_raw(data)
            time.sleep(pause)
            probe = c.request("workspace/symbol", {"query": "MAX_LEN"}, wait=False)
            errors = []
            while True:
                m = c.wait_for(lambda m: "id" in m and "method" not in m)
                if m.get("id") == probe:
                    self.assertIn("result", m)
                    return errors
                errors.append(m)

        deep = b'{"jsonrpc":"2.0","id":5,"method":"workspace/symbol","params":' + b"[" * 200000
        c = Client(BINARY)
        # Even before initialize: ids that are no numbers.
        for bad in [b'{"id":-}', b'{"id":-x']:
            with self.subTest(bad):
                c.send_raw(body(bad))
                r = c.wait_for(lambda m: "id" in m and "method" not in m)
                self.assertEqual(r["error"]["code"], -32700)
                self.assertIsNone(r["id"])
        c.result("initialize", {"processId": None, "rootUri": file_uri(self.root), "capabilities": {}})
        c.notify("initialized", {})
        good = body(b'{"jsonrpc":"2.0","id":"g","method":"workspace/symbol","params":{"query":"SQUARE"}}')
        # (case, bytes, pause before the probe, [(code, id) of each error])
        cases = [
            ("nesting 200,000 deep", body(deep + b"]" * 200000), 0, [(-32700, 5)]),
            ("nesting that never closes", body(deep), 0, [(-32700, 5)]),
            ("length too long, the next message in the same write",
             b"Content-Length: 500\r\n\r\n{}" + good, 0, [(-32700, None), (None, "g")]),
            ("length too long, the next message later",
             b"Content-Length: 500\r\n\r\n{}", 0.3, [(-32700, None)]),
            ("length too short", b"Content-Length: 5\r\n\r\n" + good[good.index(b"{"):] + good, 0,
             [(-32700, None), (-32700, None), (None, "g")]),
        ]
        for name, data, pause, want in cases:
            with self.subTest(name):
                errors = errors_then_probe(c, data, pause)
                self.assertEqual([(e["error"]["code"] if "error" in e else None, e["id"]) for e in errors],
                                 want, errors)
        # Positions beyond the protocol's numbers name their field.
        for line, character, field in [(2 ** 63, 0, "position.line"), (0, 2 ** 31, "position.character"),
                                       (-1, 0, "position.line"), (0, 2 ** 64 - 1, "position.character")]:
            with self.subTest(line=line, character=character):
                r = c.request("textDocument/hover", {"textDocument": {"uri": file_uri(self.root) + "/src/main.c"},
                                                     "position": {"line": line, "character": character}})
                self.assertEqual(r["error"]["code"], -32602)
                self.assertIn(field + " is out of range", r["error"]["message"])
        self.assertIn("result", c.request("textDocument/hover", {
            "textDocument": {"uri": file_uri(self.root) + "/src/main.c"},
            "position": {"line": 2 ** 31 - 1, "character": 2 ** 31 - 1}}))
        self.assertEqual(c.result("shutdown"), None)
        c.notify("exit")
        self.assertEqual(c.wait_exit(), 0)

    def test_only_regular_files_are_read(self):
        # A FIFO named like a header is there from the start (the walk meets
        # it) and is reported again; devices are asked about by address.
        fifo = os.path.join(self.root, b"inc/pipe.h")
        os.mkfifo(fifo)
        s = Session(self.root)
        c = s.client
        c.notify("workspace/didChangeWatchedFiles", {"changes": [{"uri": file_uri(fifo), "type": 1},
                                                                 {"uri": file_uri(fifo), "type": 2}]})
        for uri in [file_uri(fifo), "file:///dev/stdin", "file:///dev/zero", "file:///proc/self/fd/0"]:
            for method in ["textDocument/hover", "textDocument/definition"]:
                with self.subTest(uri=uri, method=method):
                    r = c.result(method, {"textDocument": {"uri": uri},
                                          "position": {"line": 0, "character": 0}})
                    self.assertIsNone(r)
        log = c.wait_for(lambda m: m.get("method") == "window/logMessage"
                         and "pipe.h" in m["params"]["message"])
        self.assertIn("not a regular file", log["params"]["message"])
        self.assertEqual(len(s.symbols("SQUARE")), 1)
        self.assertLess(c.rss_kib(), 100 * 1024)
        # The end of input still ends it.
        c.close_input()
        self.assertEqual(c.wait_exit(), 1)

    def test_cancel_of_a_queued_request(self):
        with open(os.path.join(self.root, b"inc/lots.h"), "wb") as f:
            f.write(b"".join(b"#define LOTS_%04d %d\n" % (i, i) for i in range(1500)))
        s = Session(self.root)
        c = s.client
        # Many slow requests in one write, then the cancellation of the last:
        # it arrives while the last is still queued.
        data = b""
        ids = []
        for _ in range(300):
            c.next_id += 1
            ids.append(c.next_id)
            data += c.frame({"jsonrpc": "2.0", "id": c.next_id, "method": "workspace/symbol",
                             "params": {"query": "l"}})
        data += c.frame({"jsonrpc": "2.0", "method": "$/cancelRequest", "params": {"id": ids[-1]}})
        c.send_raw(data)
        last = c.response(ids[-1], timeout=120)
        self.assertEqual(last["error"]["code"], -32800)
        self.assertIn("result", c.response(ids[0]))
        s.close()

    def test_file_that_vanishes(self):
        s = Session(self.root)
        c = s.client
        os.unlink(os.path.join(self.root, b"src/union.h"))
        col = column_of(MAIN_C, 2, "MAX_LEN", "utf-16")
        h = c.result("textDocument/hover", {"textDocument": {"uri": s.uri(b"src/main.c")},
                                            "position": {"line": 2, "character": col}})
        self.assertIn("#define MAX_LEN 256", h["contents"]["value"])
        self.assertNotIn("512", h["contents"]["value"])
        log = c.wait_for(lambda m: m.get("method") == "window/logMessage" and "union.h" in m["params"]["message"])
        self.assertIn("dropped", log["params"]["message"])
        locs = s.definition("src/main.c", 2, col)
        self.assertEqual(len(locs), 1)
        self.assertEqual(s.close(), 0)


if __name__ == "__main__":
    BINARY = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
