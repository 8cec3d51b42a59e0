"""A small client of the language server for the tests: starts kolvu-lsp,
frames and sends messages, and reads every message the server writes on a
thread of its own, failing on anything on standard output that is not a
well-framed JSON message."""

import json
import os
import queue
import subprocess
import threading
import time

# Every wait is this many times longer: a server built with a sanitizer runs
# several times slower (KOLVU_LSP_TEST_TIME_SCALE=5 for ThreadSanitizer).
TIME_SCALE = float(os.environ.get("KOLVU_LSP_TEST_TIME_SCALE", "1"))


class ProtocolFailure(AssertionError):
    pass


class Client:
    def __init__(self, binary, args=(), cwd=None):
        self.proc = subprocess.Popen([binary, *args], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     cwd=cwd)
        self.messages = queue.Queue()
        self.stdout_fault = None
        self.next_id = 0
        self.stderr = b""
        self.write_lock = threading.Lock()
        self.pending = []  # messages read but not yet asked for
        self.answer_requests = True
        threading.Thread(target=self._read_stdout, daemon=True).start()
        self.stderr_thread = threading.Thread(target=self._read_stderr, daemon=True)
        self.stderr_thread.start()

    def _read_stdout(self):
        out = self.proc.stdout
        while True:
            header = b""
            while not header.endswith(b"\r\n\r\n"):
                line = out.readline()
                if not line:
                    self.messages.put(None)
                    return
                if not line.endswith(b"\r\n"):
                    self.stdout_fault = "a header line without CR LF: %r" % line
                    self.messages.put(None)
                    return
                header += line
            length = None
            for line in header[:-4].split(b"\r\n"):
                name, _, value = line.partition(b":")
                if name.strip().lower() == b"content-length":
                    length = int(value.strip())
            if length is None:
                self.stdout_fault = "no Content-Length in %r" % header
                self.messages.put(None)
                return
            body = out.read(length)
            try:
                msg = json.loads(body.decode("utf-8"))
            except ValueError as e:
                self.stdout_fault = "not JSON on standard output: %r (%s)" % (body[:200], e)
                self.messages.put(None)
                return
            if "method" in msg and "id" in msg and self.answer_requests:
                # The server's own requests are granted, as editors do.
                try:
                    self.send({"jsonrpc": "2.0", "id": msg["id"], "result": None})
                except (BrokenPipeError, ValueError):
                    pass
            self.messages.put(msg)

    def _read_stderr(self):
        self.stderr = b""
        for chunk in iter(lambda: self.proc.stderr.read(4096), b""):
            self.stderr += chunk

    # ---- sending ----
    def send_raw(self, data):
        with self.write_lock:
            self.proc.stdin.write(data)
            self.proc.stdin.flush()

    def frame(self, msg):
        body = json.dumps(msg).encode("utf-8")
        return b"Content-Length: %d\r\n\r\n" % len(body) + body

    def send(self, msg):
        self.send_raw(self.frame(msg))

    def request(self, method, params=None, wait=True, timeout=20):
        self.next_id += 1
        rid = self.next_id
        msg = {"jsonrpc": "2.0", "id": rid, "method": method}
        if params is not None:
            msg["params"] = params
        self.send(msg)
        if not wait:
            return rid
        return self.response(rid, timeout)

    def notify(self, method, params=None):
        msg = {"jsonrpc": "2.0", "method": method}
        if params is not None:
            msg["params"] = params
        self.send(msg)

    def close_input(self):
        self.proc.stdin.close()

    # ---- receiving ----
    def _next(self, timeout):
        try:
            m = self.messages.get(timeout=timeout)
        except queue.Empty:
            raise ProtocolFailure("no message from the server within %s s" % timeout)
        if m is None:
            if self.stdout_fault:
                raise ProtocolFailure(self.stdout_fault)
            raise ProtocolFailure("the server's output ended")
        return m

    def wait_for(self, pred, timeout=20):
        for i, m in enumerate(self.pending):
            if pred(m):
                return self.pending.pop(i)
        timeout *= TIME_SCALE
        end = time.time() + timeout
        while True:
            left = end - time.time()
            if left <= 0:
                raise ProtocolFailure("no awaited message within %s s" % timeout)
            m = self._next(left)
            if pred(m):
                return m
            self.pending.append(m)

    def response(self, rid, timeout=20):
        return self.wait_for(lambda m: m.get("id") == rid and "method" not in m, timeout)

    def result(self, method, params=None):
        r = self.request(method, params)
        if "error" in r:
            raise ProtocolFailure("%s failed: %r" % (method, r["error"]))
        return r["result"]

    def notifications(self, method):
        return [m for m in self.pending if m.get("method") == method]

    def wait_exit(self, timeout=20):
        timeout *= TIME_SCALE
        try:
            status = self.proc.wait(timeout=timeout)
            self.stderr_thread.join(timeout)
            for f in (self.proc.stdin, self.proc.stderr):
                try:
                    f.close()
                except (BrokenPipeError, OSError):
                    pass
            return status
        except subprocess.TimeoutExpired:
            self.proc.kill()
            raise ProtocolFailure("the server did not end within %s s" % timeout)

    def rss_kib(self):
        with open("/proc/%d/status" % self.proc.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return 0


def file_uri(path_bytes):
    """The file URI of a path given as bytes, every byte but the unreserved
    ones percent-encoded."""
    plain = b"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~/"
    out = "file://"
    for b in path_bytes:
        out += chr(b) if b in plain else "%%%02X" % b
    return out


def uri_path(uri):
    """The path bytes of a file URI."""
    assert uri.startswith("file://"), uri
    rest = uri[len("file://"):]
    out = bytearray()
    i = 0
    while i < len(rest):
        if rest[i] == "%":
            out.append(int(rest[i + 1:i + 3], 16))
            i += 3
        else:
            out += rest[i].encode("utf-8")
            i += 1
    return bytes(out)
