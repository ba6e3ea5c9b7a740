"""What the service's tests share: the resident driver started as a program
(qorhost serve) on a fresh simulated printer, its doors, its files.

The tests use Python's standard library only. QOR_BUILD_BIN names the built
programs' folder (ctest sets it), QOR_SOURCE_DIR the sources.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request

SOURCE = os.environ.get("QOR_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BIN = os.environ.get("QOR_BUILD_BIN") or os.path.join(SOURCE, "build", "bin")
# QOR_WINE: the Windows qorhost, run under that wine; it is given the
# folders by their Windows names (drive Z: is the root folder).
WINE = os.environ.get("QOR_WINE")
QORHOST = os.path.join(BIN, "qorhost.exe" if WINE else "qorhost")


def command(*args):
    """The command line that runs qorhost with args."""
    return [WINE, QORHOST, *args] if WINE else [QORHOST, *args]


def native(path):
    """A path as qorhost takes it."""
    return "Z:" + path.replace("/", "\\") if WINE else path

sys.path.insert(0, os.path.join(SOURCE, "examples", "clients"))
import sale  # noqa: E402  (the example client: the sale's requests)


class Service:
    """`qorhost serve` on its own state and host folders, stopped on exit.

    door: "http" or "stdio". `folder` keeps the printer across a restart.
    `token`: the service's token, sent with every HTTP request.
    """

    def __init__(self, door="http", folder=None, extra=(), token=None):
        self.door = door
        self.token = token
        self.own_folder = folder is None
        self.folder = folder or tempfile.mkdtemp(prefix="qorservice-test-")
        self.state = os.path.join(self.folder, "ecf")
        self.host = os.path.join(self.folder, "host")
        self.journal_path = os.path.join(self.folder, "journal.jsonl")
        args = ["serve", "--http" if door == "http" else "--stdio"]
        if door == "http":
            args.append("127.0.0.1:0")
        args += ["--state", native(self.state), "--host-dir", native(self.host), "--journal",
                 native(self.journal_path), *extra]
        if token:
            args += ["--token", token]
        args = command(*args)
        self.errors = open(os.path.join(self.folder, "stderr.txt"), "ab")
        self.process = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.errors)
        self.url = None
        if door == "http":
            line = self.process.stdout.readline().decode()
            if "listening on " not in line:
                self.stop()
                raise RuntimeError("the service did not start: %r %s" % (line, self.stderr()))
            self.url = line.split("listening on ", 1)[1].strip().rstrip("/")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        if self.own_folder and exc[0] is None:
            shutil.rmtree(self.folder, ignore_errors=True)

    def stop(self):
        if self.process.poll() is None:
            if self.door == "stdio":
                self.process.stdin.close()
            else:
                self.process.terminate()
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        for pipe in (self.process.stdin, self.process.stdout):
            if pipe and not pipe.closed:
                pipe.close()
        self.errors.close()
        return self.process.returncode

    def stderr(self):
        with open(os.path.join(self.folder, "stderr.txt"), "rb") as f:
            return f.read().decode(errors="replace")

    def call_text(self, text):
        """One request as text; its answer as a dict (and the HTTP status, 0 on stdio)."""
        if self.door == "stdio":
            self.process.stdin.write(text.encode() + b"\n")
            self.process.stdin.flush()
            line = self.process.stdout.readline()
            if not line:
                raise RuntimeError("the service ended: " + self.stderr())
            return json.loads(line), 0
        req = urllib.request.Request(self.url + "/call", data=text.encode(), method="POST",
                                     headers=self.headers({"Content-Type": "application/json"}))
        try:
            with urllib.request.urlopen(req, timeout=120) as res:
                return json.load(res), res.status
        except urllib.error.HTTPError as e:
            return json.load(e), e.code

    def call(self, request):
        return self.call_text(json.dumps(request))[0]

    def get(self, path, headers=None):
        """GET on the HTTP door: (status, body text)."""
        req = urllib.request.Request(self.url + path, headers=self.headers(headers))
        try:
            with urllib.request.urlopen(req, timeout=60) as res:
                return res.status, res.read().decode()
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode()

    def headers(self, given=None):
        """The request's headers, with the token unless they carry an Authorization of their own."""
        headers = dict(given or {})
        if self.token and "Authorization" not in headers:
            headers["Authorization"] = "Bearer " + self.token
        return headers

    def status(self):
        if self.door == "stdio":
            return self.call({"status": True})["status"]
        return json.loads(self.get("/status")[1])

    def journal(self):
        """The simulated printer's call journal: one dict per line."""
        if not os.path.exists(self.journal_path):
            return []
        with open(self.journal_path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]

    def calls(self):
        """The entry points called, in order (the notes left out)."""
        return [e["fn"] for e in self.journal() if "fn" in e]

    def tape(self):
        path = os.path.join(self.state, "tape.txt")
        if not os.path.exists(path):
            return ""
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()


def start_driver(service):
    """Starts the driver and programs the payment methods; every answer checked."""
    for request in sale.start_requests():
        answer = service.call(request)
        assert "invalid" not in answer and answer.get("result") is not False, answer


def run_sale(service, number):
    """The example client's sale, request by request: the answers."""
    answers = [service.call(r) for r in sale.sale_requests(number)]
    for a in answers:
        assert "invalid" not in a and a.get("result") is True, a
    return answers


def coupons_on_tape(text):
    """How many fiscal coupons the tape shows (each has one line "CUPOM FISCAL")."""
    return sum(1 for line in text.splitlines() if line.strip() == "CUPOM FISCAL")
