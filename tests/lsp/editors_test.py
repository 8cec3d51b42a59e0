"""Two real editors drive kolvu-lsp from the set-ups of examples/editors/,
loaded as they stand: Neovim's built-in client (headless) and Emacs with
eglot (batch). The tree has no version control but a .kolvu at its top,
Shift_JIS sources, a UTF-8 header with Japanese text and a .hpp file in
other folders. In each editor: one server for all of them, rooted at the
tree; each file read in its own encoding; definitions of a macro and of
typedefs whose names stand after Japanese text (the cursor must land on
the name), from the Shift_JIS, the UTF-8 and the C++ file, and of a
function defined after Japanese text (its definition, not its prototype); hovers that
read Japanese comments back from either encoding; the references of a
struct tag, one after Japanese text, each on the name; completion of a
macro name typed into a file; workspace symbols; no
error or warning logged by the server. Last, a file of a git checkout
inside the tree gets a server of its own, rooted at the checkout. Run as
    editors_test.py KOLVU_LSP nvim|nvim-0.7|emacs
Exits with 77 (skipped) when the editor is not installed, or too old for
the set-up.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "examples", "editors")
README = os.path.join(HERE, "..", "..", "README.md")

# path: (text, encoding)
TREE = {
    "inc/defs.h": ("""/* 定数の定義 */
#define MAX_LEN 256
#define MAX_NAME 32
typedef unsigned long /* 符号なし長整数 */ ULONG;
typedef struct {
    int x;  /* 横位置 */
    int y;  /* 縦位置 */
} Point;
/* 連結リスト */ struct node {
    struct node *next;  /* 次の節 */
};
int distance(Point a, Point b);  /* 距離の宣言 */
""", "cp932"),
    "src/main.c": ("""#include "defs.h"
/* 表示名の長さ */
static char name[MAX_LEN];
static Point origin;
static ULONG count;
static struct node *head;  /* 先頭 */
int total(void) { return distance(origin, origin); }
""", "cp932"),
    "inc/frame.h": ("""/* 表示枠: この見出しは UTF-8 で書かれている */
#include "defs.h"
typedef struct {
    Point corner;  /* 左上の位置 */
    ULONG width;   /* 幅 */
} Frame;
/* 枠の数 */ static ULONG frames;
""", "utf-8"),
    "src/view.hpp": ("""// 画面の部品 (C++)
#include "../inc/frame.h"
static Frame main_frame;
/* 二点の距離 */ int distance(Point a, Point b) { return a.x - b.x; }
""", "cp932"),
}

# What the editor scripts do, in order: (key, file, line, word).
JUMPS = [("macro", "src/main.c", 3, "MAX_LEN"),
         ("typedef", "src/main.c", 5, "ULONG"),
         ("utf8", "inc/frame.h", 7, "ULONG"),
         ("hpp", "src/view.hpp", 3, "Frame"),
         ("function", "src/main.c", 7, "distance")]
HOVERS = [("Point", "src/main.c", 4, "Point"),
          ("Frame", "src/view.hpp", 3, "Frame")]
# Where each jump lands: (file, line, name).
TARGETS = {"macro": ("inc/defs.h", 2, "MAX_LEN"),
           "typedef": ("inc/defs.h", 4, "ULONG"),
           "utf8": ("inc/defs.h", 4, "ULONG"),
           "hpp": ("inc/frame.h", 6, "Frame"),
           # A function's definition after Japanese text, not its prototype.
           "function": ("src/view.hpp", 4, "distance")}
# References of a struct tag after Japanese text: (file, line, word), and
# where its uses are: (file, line).
REFERENCES = ("src/main.c", 6, "node")
USES = [("inc/defs.h", 9), ("inc/defs.h", 10), ("src/main.c", 6)]
# A macro name completed from what is typed: (file, text typed on a new
# last line, what it completes to).
COMPLETION = ("src/main.c", "int n = MAX_N", "MAX_NAME")
SETUPS = {"nvim": "kolvu-lsp.lua", "nvim-0.7": "kolvu-lsp-0.7.lua", "emacs": "kolvu-lsp.el"}


def nvim_version():
    out = subprocess.run(["nvim", "--version"], capture_output=True, text=True).stdout
    m = re.search(r"NVIM v(\d+)\.(\d+)", out)
    return (int(m.group(1)), int(m.group(2))) if m else (0, 0)


def run(binary, editor, tree, result):
    setup = os.path.join(EXAMPLES, SETUPS[editor])
    # The editors find kolvu-lsp on PATH, as the set-ups expect.
    env = dict(os.environ, TREE=tree, RESULT=result, HOME=tree + "/home",
               XDG_CONFIG_HOME=tree + "/home/.config", XDG_DATA_HOME=tree + "/home/.local",
               XDG_CACHE_HOME=tree + "/home/.cache", XDG_STATE_HOME=tree + "/home/.state",
               JUMPS=json.dumps(JUMPS), HOVERS=json.dumps(HOVERS),
               REFERENCES=json.dumps(REFERENCES), COMPLETION=json.dumps(COMPLETION),
               FILES=json.dumps(sorted(TREE)), VC_FILE="lib/vc.h",
               PATH=os.path.dirname(binary) + os.pathsep + os.environ.get("PATH", ""))
    os.makedirs(env["HOME"], exist_ok=True)
    if editor.startswith("nvim"):
        argv = ["nvim", "--headless", "-u", setup, "-i", "NONE", "-n",
                "-c", "luafile " + os.path.join(HERE, "editor_nvim.lua")]
    else:
        env["EXAMPLE"] = setup
        argv = ["emacs", "--batch", "-Q", "-l", os.path.join(HERE, "editor_eglot.el")]
    # Started from the home folder, so that nothing is found from where the
    # editor runs: the root must come from the .kolvu marker.
    try:
        p = subprocess.run(argv, env=env, cwd=env["HOME"], stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=60)
        status, said = p.returncode, p.stdout + p.stderr
    except subprocess.TimeoutExpired as e:
        status, said = "timed out", (e.stdout or b"") + (e.stderr or b"")
    if not os.path.exists(result):
        sys.exit("%s wrote no result (status %s)\n%s" % (editor, status, said.decode(errors="replace")))
    return json.load(open(result, encoding="utf-8"))


def main():
    binary, editor = os.path.abspath(sys.argv[1]), sys.argv[2]
    program = "nvim" if editor.startswith("nvim") else "emacs"
    if shutil.which(program) is None:
        print("%s is not installed: skipped" % program)
        sys.exit(77)
    if editor == "nvim" and nvim_version() < (0, 8):
        print("%s needs Neovim 0.8 or later, this is %d.%d: skipped"
              % (SETUPS[editor], *nvim_version()))
        sys.exit(77)
    work = tempfile.mkdtemp(prefix="kolvu-lsp-%s-" % editor)
    try:
        tree = os.path.realpath(work)
        for path, (text, encoding) in TREE.items():
            os.makedirs(os.path.dirname(os.path.join(tree, path)), exist_ok=True)
            with open(os.path.join(tree, path), "wb") as f:
                f.write(text.encode(encoding))
        open(tree + "/.kolvu", "w").close()
        # A checkout inside the tree: version control decides its root.
        os.makedirs(tree + "/lib")
        with open(tree + "/lib/vc.h", "w") as f:
            f.write("#define LIB_VERSION 3\n")
        if shutil.which("git"):
            subprocess.run(["git", "init", "-q", tree + "/lib"], check=True)
        else:
            os.makedirs(tree + "/lib/.git")
        got = run(binary, editor, tree, tree + "/result.json")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    failures = []
    readme = open(README, encoding="utf-8").read()
    setup = open(os.path.join(EXAMPLES, SETUPS[editor]), encoding="utf-8").read()

    def check(what, ok, detail):
        print("%-52s %s" % (what, "ok" if ok else "FAILED: %r" % (detail,)))
        if not ok:
            failures.append(what)

    check("the README gives %s as it stands" % SETUPS[editor], setup in readme, SETUPS[editor])
    check("no error in the editor", "error" not in got, got.get("error"))
    check("no error or warning logged by the server", got.get("logged") == [], got.get("logged"))
    check("one server for the four files", got.get("servers") == 1, got.get("servers"))
    check("its root is the folder of .kolvu", got.get("root") == tree, got.get("root"))
    vc = got.get("vc") or {}
    check("lib/vc.h: a server of its own", vc.get("other") is True, vc)
    check("lib/vc.h: rooted at its checkout, not at .kolvu", vc.get("root") == tree + "/lib", vc)
    files = got.get("files") or {}
    for path, (text, encoding) in sorted(TREE.items()):
        f = files.get(path) or {}
        check("%s: attached to the server" % path, f.get("attached") is True, f)
        got_encoding = f.get("encoding") or ""
        check("%s: read as %s" % (path, encoding),
              got_encoding.startswith("utf-8") if encoding == "utf-8" else "cp932" in got_encoding,
              f)
        check("%s: its first line reads back" % path, f.get("first") == text.split("\n")[0], f)
    jumps = got.get("jumps") or {}
    for key, _, _, word in JUMPS:
        path, line, name = TARGETS[key]
        text = TREE[path][0].split("\n")[line - 1]
        j = jumps.get(key) or {}
        at = (j.get("file"), j.get("line"))
        check("%s (%s): jumps to %s line %d" % (word, key, path, line),
              at == (os.path.join(tree, path), line), at)
        chars = text.index(name)
        if program == "nvim":
            col, want = j.get("byte"), len(text[:chars].encode("utf-8"))
        else:
            col, want = j.get("chars"), chars
        check("%s (%s): cursor on the name (column %d)" % (word, key, want), col == want, col)
        check("%s (%s): the line reads back in UTF-8" % (word, key), j.get("text") == text,
              j.get("text"))
    hovers = got.get("hovers") or {}
    point = hovers.get("Point") or ""
    check("hover shows the typedef Point", "} Point;" in point and "```c" in point, point)
    check("hover reads its Shift_JIS comments", "横位置" in point and "縦位置" in point, point)
    check("hover names the file and line", "inc/defs.h` line 5" in point, point)
    frame = hovers.get("Frame") or ""
    check("hover in the .hpp shows the typedef Frame", "} Frame;" in frame, frame)
    check("hover reads the UTF-8 file's comments", "左上の位置" in frame and "幅" in frame, frame)
    check("hover names inc/frame.h line 3", "inc/frame.h` line 3" in frame, frame)
    refs = got.get("references") or []
    places = sorted((os.path.relpath(r.get("file") or "", tree), r.get("line")) for r in refs)
    check("references of struct node: its three uses", places == USES, places)
    for r in refs:
        rel = os.path.relpath(r.get("file") or "", tree)
        if (rel, r.get("line")) not in USES:
            continue
        text = TREE[rel][0].split("\n")[r["line"] - 1]
        chars = text.index("node")
        if program == "nvim":
            col, want = r.get("byte"), len(text[:chars].encode("utf-8"))
        else:
            col, want = r.get("chars"), chars
        check("reference %s line %d: on the name (column %d)" % (rel, r["line"], want), col == want, col)
    completions = got.get("completions") or []
    check("%s completes to %s" % (COMPLETION[1].split()[-1], COMPLETION[2]),
          COMPLETION[2] in completions and "MAX_LEN" not in completions, completions)
    symbols = got.get("symbols") or []
    check("workspace symbols", symbols[:2] == ["MAX_LEN", "MAX_NAME"], symbols)
    if failures:
        sys.exit("%d check(s) failed" % len(failures))


if __name__ == "__main__":
    main()
