"""Two real editors drive kolvu-lsp over a small Shift_JIS tree: Neovim's
built-in client (headless) and Emacs with eglot (batch). In each, the
definition of a macro defined in another file and of a typedef whose name
stands after Japanese text (the cursor must land on the name), the hover
of a typedef (its Japanese comment read back in UTF-8), and workspace
symbols. Run as
    editors_test.py KOLVU_LSP nvim|emacs
Exits with 77 (skipped) when the editor is not installed.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

DEFS_H = """/* 定数の定義 */
#define MAX_LEN 256
#define MAX_NAME 32
typedef unsigned long /* 符号なし長整数 */ ULONG;
typedef struct {
    int x;  /* 横位置 */
    int y;  /* 縦位置 */
} Point;
"""

MAIN_C = """#include "defs.h"
/* 表示名の長さ */
static char name[MAX_LEN];
static Point origin;
static ULONG count;
"""


EXAMPLES = os.path.join(HERE, "..", "..", "examples", "editors")
README = os.path.join(HERE, "..", "..", "README.md")


def run(binary, editor, tree, result):
    # The editors find kolvu-lsp on PATH, as the README's set-ups expect.
    env = dict(os.environ, TREE=tree, RESULT=result, HOME=tree + "/home",
               PATH=os.path.dirname(binary) + os.pathsep + os.environ.get("PATH", ""))
    os.makedirs(env["HOME"], exist_ok=True)
    if editor == "nvim":
        argv = ["nvim", "--headless", "-u", os.path.join(EXAMPLES, "kolvu-lsp.lua"), "-i", "NONE",
                "-n", "-c", "luafile " + os.path.join(HERE, "editor_nvim.lua")]
    else:
        env["EXAMPLE"] = os.path.join(EXAMPLES, "kolvu-lsp.el")
        argv = ["emacs", "--batch", "-Q", "-l", os.path.join(HERE, "editor_eglot.el")]
    p = subprocess.run(argv, env=env, cwd=tree, stdin=subprocess.DEVNULL, capture_output=True,
                       timeout=120)
    if not os.path.exists(result):
        sys.exit("%s wrote no result (status %d)\n%s\n%s"
                 % (editor, p.returncode, p.stdout.decode(errors="replace"),
                    p.stderr.decode(errors="replace")))
    return json.load(open(result, encoding="utf-8"))


def main():
    binary, editor = os.path.abspath(sys.argv[1]), sys.argv[2]
    if shutil.which(editor) is None:
        print("%s is not installed: skipped" % editor)
        sys.exit(77)
    work = tempfile.mkdtemp(prefix="kolvu-lsp-%s-" % editor)
    try:
        tree = os.path.realpath(work)
        os.makedirs(tree + "/inc")
        os.makedirs(tree + "/src")
        with open(tree + "/inc/defs.h", "wb") as f:
            f.write(DEFS_H.encode("cp932"))
        with open(tree + "/src/main.c", "wb") as f:
            f.write(MAIN_C.encode("cp932"))
        got = run(binary, editor, tree, tree + "/result.json")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    failures = []
    example = "kolvu-lsp.lua" if editor == "nvim" else "kolvu-lsp.el"
    readme = open(README, encoding="utf-8").read()
    setup = open(os.path.join(EXAMPLES, example), encoding="utf-8").read()

    def check(what, ok, detail):
        print("%-40s %s" % (what, "ok" if ok else "FAILED: %r" % (detail,)))
        if not ok:
            failures.append(what)

    check("the README gives %s as it stands" % example, setup in readme, example)
    check("no error in the editor", "error" not in got, got.get("error"))
    defs = tree + "/inc/defs.h"
    lines = DEFS_H.split("\n")
    for key, line, name in [("macro", 2, "MAX_LEN"), ("typedef", 4, "ULONG")]:
        j = got.get(key) or {}
        text = lines[line - 1]
        chars = text.index(name)
        at = (j.get("file"), j.get("line"))
        check("%s: jumps to inc/defs.h line %d" % (name, line), at == (defs, line), at)
        if editor == "nvim":
            col, want = j.get("byte"), len(text[:chars].encode("utf-8"))
        else:
            col, want = j.get("chars"), chars
        check("%s: cursor on the name (column %d)" % (name, want), col == want, col)
        check("%s: the line reads back in UTF-8" % name, j.get("text") == text, j.get("text"))
    hover = got.get("hover") or ""
    check("hover shows the typedef", "} Point;" in hover and "```c" in hover, hover)
    check("hover reads the Japanese comment", "横位置" in hover and "縦位置" in hover, hover)
    check("hover names the file and line", "inc/defs.h` line 5" in hover, hover)
    symbols = got.get("symbols") or []
    check("workspace symbols", symbols[:2] == ["MAX_LEN", "MAX_NAME"], symbols)
    if failures:
        sys.exit("%d check(s) failed" % len(failures))


if __name__ == "__main__":
    main()
