#!/usr/bin/env python3
"""Measures kolvu-lsp over the /usr/include corpus of gen.py.

  bench/lsp.py [KOLVU_LSP KOLVU_INDEX]

Without binaries, builds Release ones in build-bench/. Uses the inputs of
bench/gen.py under ${KOLVU_BENCH_DIR:-/tmp/kolvu-bench} (made when missing):
the files of corpus.txt are linked into OUT/lsp-ws/, one workspace folder,
and both programs run with two workers over it. Prints:
  - indexing (definitions of every kind and the uses of names): from
    `initialized` to the end of the progress, against the median of 3 runs
    of `kolvu-index -j2 --kinds=all --format=json` over the same folder
    (without --kinds=all where kolvu-index does not take it);
  - peak RSS of the server with the whole corpus indexed (VmHWM);
  - p50/p99 of 10,000 definition and 10,000 hover requests for random
    indexed names, and of workspace/symbol for 1,000 random prefixes;
  - p50/p99 of references (with the declarations) for 1,000 random names,
    with the number of places they give, and of completion for 1,000
    random prefixes of 1 to 4 characters;
  - the server's CPU time per request (wall-time percentiles include the
    client's own work and, on a busy machine, waits for a processor);
  - the time from the didChange of a 1 MB open document to its new
    definition being served (20 changes);
  - indexing again with workspace/symbol queries sent one after another
    until it ends: their p50/p99, and the indexing time against the first.
"""
import gc
import os
import random
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "lsp"))
from lsp_client import Client, file_uri  # noqa: E402


def build():
    root = os.path.join(HERE, "..")
    subprocess.run(["cmake", "-S", root, "-B", os.path.join(root, "build-bench"),
                    "-DCMAKE_BUILD_TYPE=Release", "-DBUILD_TESTING=OFF"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", os.path.join(root, "build-bench"), "-j2",
                    "--target", "kolvu-lsp", "kolvu-index"], check=True, stdout=subprocess.DEVNULL)
    b = os.path.join(root, "build-bench")
    return os.path.join(b, "kolvu-lsp"), os.path.join(b, "kolvu-index")


def workspace(out):
    ws = os.path.join(out, "lsp-ws")
    corpus = [l for l in open(os.path.join(out, "corpus.txt")).read().split("\n") if l]
    if not os.path.isdir(ws):
        for f in corpus:
            dest = os.path.join(ws, os.path.relpath(f, "/"))
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            os.symlink(f, dest)
    return ws, corpus


def cpu_seconds(pid):
    """User and system time of a running process, from /proc."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def pct(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(len(values) * p / 100))]


def timed(client, method, params):
    t0 = time.perf_counter()
    r = client.request(method, params)
    dt = (time.perf_counter() - t0) * 1000
    if "error" in r:
        raise RuntimeError("%s: %r" % (method, r["error"]))
    return dt, r["result"]


def main():
    if len(sys.argv) == 3:
        lsp, index = sys.argv[1], sys.argv[2]
    else:
        lsp, index = build()
    out = os.environ.get("KOLVU_BENCH_DIR", "/tmp/kolvu-bench")
    if not os.path.exists(os.path.join(out, "corpus.txt")):
        subprocess.run([sys.executable, os.path.join(HERE, "gen.py"), out], check=True)
    ws, corpus = workspace(out)
    size = sum(os.path.getsize(f) for f in corpus)

    # kolvu-index over the same folder.
    runs = []
    cpu = []
    names = []
    kinds = ["--kinds=all"]
    if subprocess.run([index, "--kinds=all", os.devnull], stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL).returncode != 0:
        kinds = []
    for i in range(3):
        t0 = time.perf_counter()
        r0 = os.times()
        p = subprocess.run([index, "-j2", *kinds, "--format=json", ws], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
        r1 = os.times()
        runs.append(time.perf_counter() - t0)
        cpu.append(r1.children_user + r1.children_system - r0.children_user - r0.children_system)
        if i == 0:
            import json
            for line in p.stdout.split(b"\n"):
                if line:
                    n = json.loads(line)["name"]
                    if n:
                        names.append(n)
    index_s = statistics.median(runs)
    index_cpu = statistics.median(cpu)

    # The server: initialize, then indexing to the end of its progress.
    c = Client(lsp, ["-j2"])
    caps = c.result("initialize", {"processId": os.getpid(), "rootUri": file_uri(ws.encode()),
                                   "capabilities": {"window": {"workDoneProgress": True}}})["capabilities"]
    # An older server, for figures before and after: without references.
    uses = "referencesProvider" in caps
    t0 = time.perf_counter()
    c0 = cpu_seconds(c.proc.pid)
    c.notify("initialized", {})
    end = c.wait_for(lambda m: m.get("method") == "$/progress"
                     and m["params"]["value"].get("kind") == "end", timeout=600)
    lsp_s = time.perf_counter() - t0
    lsp_cpu = cpu_seconds(c.proc.pid) - c0
    c.pending.clear()

    # Requests for random names, from an open document that lists them.
    # Python's collector stays off while requests are timed: its pauses
    # would be counted as the server's.
    gc.disable()
    rng = random.Random(20)
    sample = [rng.choice(names) for _ in range(10000)]
    doc = file_uri(os.path.join(out, "bench-names.c").encode())
    c.notify("textDocument/didOpen", {"textDocument": {"uri": doc, "languageId": "c", "version": 1,
                                                       "text": "\n".join(sample) + "\n"}})
    defs, hovers = [], []
    found = 0
    cpu0 = cpu_seconds(c.proc.pid)
    for i in range(len(sample)):
        pos = {"textDocument": {"uri": doc}, "position": {"line": i, "character": 0}}
        dt, r = timed(c, "textDocument/definition", pos)
        defs.append(dt)
        found += bool(r)
        dt, _ = timed(c, "textDocument/hover", pos)
        hovers.append(dt)
    cpu_requests = (cpu_seconds(c.proc.pid) - cpu0) * 1000 / (2 * len(sample))
    syms = []
    cpu0 = cpu_seconds(c.proc.pid)
    for _ in range(1000):
        n = rng.choice(names)
        dt, _ = timed(c, "workspace/symbol", {"query": n[:rng.randint(1, min(4, len(n)))]})
        syms.append(dt)

    cpu_symbols = (cpu_seconds(c.proc.pid) - cpu0) * 1000 / 1000
    # References of 1,000 random names, and completion of 1,000 prefixes
    # (the part of a listed name before the cursor).
    refs, ref_places = [], []
    for i in rng.sample(range(len(sample)), 1000 if uses else 0):
        pos = {"textDocument": {"uri": doc}, "position": {"line": i, "character": 0},
               "context": {"includeDeclaration": True}}
        dt, r = timed(c, "textDocument/references", pos)
        refs.append(dt)
        ref_places.append(len(r or []))
    completions = []
    for i in rng.sample(range(len(sample)), 1000 if uses else 0):
        pos = {"textDocument": {"uri": doc},
               "position": {"line": i, "character": rng.randint(1, min(4, len(sample[i])))}}
        dt, _ = timed(c, "textDocument/completion", pos)
        completions.append(dt)

    # A 1 MB open document: from its change to its new definition served.
    big_uri = file_uri(os.path.join(out, "bench-big.h").encode())
    text = b""
    for f in corpus:
        text += open(f, "rb").read()
        if len(text) >= 1 << 20:
            break
    text = text[:1 << 20].decode("utf-8", "replace")
    c.notify("textDocument/didOpen", {"textDocument": {"uri": big_uri, "languageId": "c",
                                                       "version": 1, "text": text}})
    c.result("workspace/symbol", {"query": "BENCH_NEW"})
    at_name = {"textDocument": {"uri": big_uri}, "position": {"line": 0, "character": 8}}
    changes = []
    for k in range(20):
        name = "BENCH_NEW_%d" % k
        t0 = time.perf_counter()
        c.notify("textDocument/didChange", {
            "textDocument": {"uri": big_uri, "version": k + 2},
            "contentChanges": [{"range": {"start": {"line": 0, "character": 0},
                                          "end": {"line": 0, "character": 0}},
                                "text": "#define %s 1\n" % name}]})
        r = c.result("textDocument/definition", at_name)
        changes.append((time.perf_counter() - t0) * 1000)
        assert r and r[0]["uri"] == big_uri and r[0]["range"]["start"]["line"] == 0, r
    gc.enable()
    with open("/proc/%d/status" % c.proc.pid) as f:
        hwm = [int(l.split()[1]) for l in f if l.startswith("VmHWM:")][0]
    c.result("shutdown")
    c.notify("exit")
    c.wait_exit()

    # Indexing again, with workspace/symbol queries one after another until
    # it ends: their times, and how long the indexing took with them.
    c = Client(lsp, ["-j2"])
    c.result("initialize", {"processId": os.getpid(), "rootUri": file_uri(ws.encode()),
                            "capabilities": {"window": {"workDoneProgress": True}}})
    t0 = time.perf_counter()
    c.notify("initialized", {})
    during = []
    while not any(m.get("method") == "$/progress" and m["params"]["value"].get("kind") == "end"
                  for m in c.pending):
        n = rng.choice(names)
        dt, _ = timed(c, "workspace/symbol", {"query": n[:rng.randint(1, min(4, len(n)))]})
        during.append(dt)
    lsp_busy_s = time.perf_counter() - t0
    c.result("shutdown")
    c.notify("exit")
    c.wait_exit()

    print("corpus: %d headers, %d bytes, %d definitions from kolvu-index, in %s"
          % (len(corpus), size, len(names), ws))
    print("machine: %d cores" % os.cpu_count())
    print("load average at the end: %.2f" % os.getloadavg()[0])
    print("kolvu-index -j2 %s--format=json: %.3f s, CPU %.2f s (medians of 3)"
          % ("".join(k + " " for k in kinds), index_s, index_cpu))
    print("kolvu-lsp -j2 initialized to end of indexing: %.3f s (%.2f times kolvu-index), CPU %.2f s"
          " (%.2f times); %s" % (lsp_s, lsp_s / index_s, lsp_cpu, lsp_cpu / index_cpu,
                                 end["params"]["value"].get("message", "")))
    print("peak RSS of the server: %d KiB (%.1f MiB)" % (hwm, hwm / 1024))
    print("definition, 10,000 requests (%d found): p50 %.3f ms, p99 %.3f ms"
          % (found, pct(defs, 50), pct(defs, 99)))
    print("hover, 10,000 requests: p50 %.3f ms, p99 %.3f ms" % (pct(hovers, 50), pct(hovers, 99)))
    print("workspace/symbol, 1,000 prefixes: p50 %.3f ms, p99 %.3f ms" % (pct(syms, 50), pct(syms, 99)))
    if uses:
        print("references, 1,000 names (%d places in all, at most %d): p50 %.3f ms, p99 %.3f ms"
              % (sum(ref_places), max(ref_places), pct(refs, 50), pct(refs, 99)))
        print("completion, 1,000 prefixes: p50 %.3f ms, p99 %.3f ms"
              % (pct(completions, 50), pct(completions, 99)))
    print("server CPU per request: definition and hover %.3f ms, workspace/symbol %.3f ms"
          % (cpu_requests, cpu_symbols))
    print("indexing with workspace/symbol queries running: %.3f s (%.2f times without); "
          "%d queries: p50 %.3f ms, p99 %.3f ms"
          % (lsp_busy_s, lsp_busy_s / lsp_s, len(during), pct(during, 50), pct(during, 99)))
    print("didChange of a 1 MB document to its new definition served: median %.2f ms, max %.2f ms"
          % (statistics.median(changes), max(changes)))


if __name__ == "__main__":
    main()
