#!/usr/bin/env python3
"""Measures kolvu-lsp with one big open document.

  bench/lsp_bigdoc.py KOLVU_LSP [MEGABYTES [headers|defines]]

The document (20 MB when not given) is the headers of /usr/include one
after the other, as UTF-8, or (defines) nothing but one-line #defines, the
most definitions a megabyte can hold; it is opened in an empty workspace. Prints the
server's RSS before the open, after it, the peak (VmHWM) after a
documentSymbol, the size and time of that reply, the time from a didChange
to the next definition served (the rescan) against the time of a second
documentSymbol (a query alone), and the RSS after the document is closed.
"""
import gc
import glob
import os
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "lsp"))
from lsp_client import Client, file_uri  # noqa: E402


def status(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def document(megabytes, kind):
    if kind == "defines":
        lines, size, i = [], 0, 0
        while size < megabytes << 20:
            line = "#define GENERATED_NAME_%07d (%d + 1) /* \u5b9a\u6570 */" % (i, i)
            lines.append(line)
            size += len(line.encode()) + 1
            i += 1
        return "\n".join(lines)
    parts, size = [], 0
    for path in sorted(glob.glob("/usr/include/**/*.h", recursive=True)):
        with open(path, "rb") as f:
            text = f.read().decode("utf-8", "replace")
        parts.append(text)
        size += len(text.encode())
        if size >= megabytes << 20:
            break
    return "\n".join(parts)


def main():
    binary = sys.argv[1]
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    text = document(megabytes, sys.argv[3] if len(sys.argv) > 3 else "headers")
    ws = tempfile.mkdtemp(prefix="kolvu-bigdoc-")
    uri = file_uri(os.path.join(ws.encode(), b"big.h"))
    c = Client(binary, ["-j2"])
    pid = c.proc.pid
    c.result("initialize", {"processId": None, "rootUri": file_uri(ws.encode()), "capabilities": {}})
    c.notify("initialized", {})
    c.wait_for(lambda m: m.get("method") == "window/logMessage"
               and "definitions indexed" in m["params"]["message"])
    gc.disable()
    print("document: %.1f MB, %d lines" % (len(text.encode()) / 1e6, text.count("\n") + 1))
    print("RSS before the open: %d KiB" % status(pid, "VmRSS"))
    c.notify("textDocument/didOpen", {"textDocument": {"uri": uri, "languageId": "c", "version": 1,
                                                       "text": text}})
    t0 = time.perf_counter()
    syms = c.result("textDocument/documentSymbol", {"textDocument": {"uri": uri}})
    t1 = time.perf_counter()
    print("documentSymbol after the open: %d symbols, %.2f s (scan included)" % (len(syms), t1 - t0))
    t0 = time.perf_counter()
    c.send({"jsonrpc": "2.0", "id": "size", "method": "textDocument/documentSymbol",
            "params": {"textDocument": {"uri": uri}}})
    r = c.response("size", timeout=300)
    t1 = time.perf_counter()
    import json
    print("documentSymbol again: %.2f s, reply %.1f MB" % (t1 - t0, len(json.dumps(r["result"])) / 1e6))
    print("RSS after: %d KiB, peak (VmHWM) %d KiB" % (status(pid, "VmRSS"), status(pid, "VmHWM")))
    times = []
    for i in range(5):
        c.notify("textDocument/didChange", {
            "textDocument": {"uri": uri, "version": 2 + i},
            "contentChanges": [{"range": {"start": {"line": 0, "character": 0},
                                          "end": {"line": 0, "character": 0}},
                                "text": "#define BIGDOC_%d 1\n" % i}]})
        t0 = time.perf_counter()
        locs = c.result("textDocument/definition", {"textDocument": {"uri": uri},
                                                    "position": {"line": 0, "character": 9}})
        times.append(time.perf_counter() - t0)
        assert locs and locs[0]["range"]["start"]["line"] == 0, locs
    times.sort()
    print("didChange to the definition served (5 edits): median %.3f s, max %.3f s"
          % (times[2], times[-1]))
    c.notify("textDocument/didClose", {"textDocument": {"uri": uri}})
    c.result("workspace/symbol", {"query": "x"})
    time.sleep(0.5)
    print("RSS after the close: %d KiB; peak over the run %d KiB"
          % (status(pid, "VmRSS"), status(pid, "VmHWM")))
    c.result("shutdown")
    c.notify("exit")
    c.wait_exit()
    os.rmdir(ws)


if __name__ == "__main__":
    main()
