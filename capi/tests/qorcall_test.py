"""The C entry called from Python's ctypes, as a point-of-sale program in any
language with a C foreign-function interface would: a whole sale, bad input,
ids, and calls from several threads.

Every test runs in a child interpreter of its own (the library, like the
module, stays loaded until its process ends)."""
import ctypes
import json
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("QOR_SOURCE_DIR") or os.path.abspath(os.path.join(HERE, "..", ".."))
BIN = os.environ.get("QOR_BUILD_BIN") or os.path.join(SOURCE, "build", "bin")

# What every child starts with: the library loaded, its three functions typed,
# `call` and `init` returning parsed answers, the example client's sale.
PRELUDE = textwrap.dedent("""
    import ctypes, json, sys, threading
    sys.path.insert(0, %(clients)r)
    import sale
    lib = ctypes.CDLL(%(library)r)
    lib.qor_init.argtypes = [ctypes.c_char_p]
    lib.qor_init.restype = ctypes.c_void_p   # the text is given back with qor_free
    lib.qor_call.argtypes = [ctypes.c_char_p]
    lib.qor_call.restype = ctypes.c_void_p
    lib.qor_free.argtypes = [ctypes.c_void_p]
    lib.qor_free.restype = None

    def take(pointer):
        assert pointer, "the library returned NULL"
        text = ctypes.string_at(pointer).decode("utf-8")
        lib.qor_free(pointer)
        return json.loads(text)

    def init(config):
        return take(lib.qor_init(json.dumps(config).encode()))

    def call(request):
        text = request if isinstance(request, (bytes, type(None))) else json.dumps(request).encode()
        return take(lib.qor_call(text))

    def check(condition, what):
        if not condition:
            print("FAILED: " + what)
            sys.exit(1)
    """)


class CEntry(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="qorcall-test-")
        self.config = {"host_dir": os.path.join(self.folder, "host"), "state": os.path.join(self.folder, "ecf"),
                       "journal": os.path.join(self.folder, "journal.jsonl")}

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_child(self, body):
        script = PRELUDE % {"clients": os.path.join(SOURCE, "examples", "clients"),
                            "library": os.path.join(BIN, "libqorcall.so")}
        script += "config = %r\n" % self.config + textwrap.dedent(body)
        env = dict(os.environ)
        if os.environ.get("QOR_PRELOAD"):  # a sanitized build: its run-time goes first
            env["LD_PRELOAD"] = os.environ["QOR_PRELOAD"]
            env["ASAN_OPTIONS"] = "detect_leaks=0"
        done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=env, timeout=300)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done.stdout

    def tape(self):
        with open(os.path.join(self.folder, "ecf", "tape.txt"), encoding="utf-8") as f:
            return f.read()

    def test_a_whole_sale_in_process(self):
        self.run_child("""
            answer = init(config)
            check(answer["ok"] is True, str(answer))
            check(answer["record"].endswith("qorservice.db"), str(answer))
            for request in sale.start_requests() + sale.sale_requests(1):
                answer = call(request)
                check("invalid" not in answer and answer.get("result") is not False, str(answer))
            check(answer["op"] == "FechaCupom" and answer["args"][2] == [0, "VENDA-1", "", ""], str(answer))
            check(answer["state"]["boImpFiscalOK"] is True, "the shared state lives across calls")
            status = call({"status": True})["status"]
            check(status["printer"]["reachable"] and not status["printer"]["coupon_open"], str(status))
            """)
        tape = self.tape()
        self.assertIn("CAFE TORRADO 500G", tape)
        self.assertIn("Cartao Credito                             36,98", tape)
        self.assertTrue(os.path.exists(os.path.join(self.folder, "host", "impdebug%s.txt" % __import__("time").strftime("%m%y"))))

    def test_bad_input_is_answered_and_nothing_crosses_the_boundary(self):
        self.run_child("""
            check(call(None)["invalid"] == "no request (a null pointer)", "null")
            check("not readable" in call(b"{")["invalid"], "malformed")
            check("not readable" in call(b"\\xff\\xfe")["invalid"], "not UTF-8")
            check('unknown operation "Nada"' in call({"op": "Nada"})["invalid"], "unknown operation")
            check("expected a string" in call({"op": "GetValue", "args": [1]})["invalid"], "wrong kind")
            check("nest deeper" in call(b'{"op": "GetValue", "args": [' + b"[" * 500 + b"]" * 500 + b"]}")["invalid"], "deep")
            check("longer than" in call(b'{"op": "GetValue", "args": ["' + b"1" * 2000000 + b'"]}')["invalid"], "long")
            # The module is loaded by the first call, with the defaults: a second init is refused.
            check("already loaded" in init(config)["invalid"], "second init")
            lib.qor_free(None)
            check(call({"op": "GetValue", "args": ["100"]})["result"] == 1.0, "still answering")
            """)

    def test_a_bad_configuration_is_refused_and_a_good_one_then_taken(self):
        self.run_child("""
            check("unknown member" in init({"host": "/tmp"})["invalid"], "unknown member")
            check("\\"default_answer\\" is true or false" in init({"default_answer": "yes"})["invalid"], "kind")
            check("not readable" in take(lib.qor_init(b"{")) ["invalid"], "malformed")
            config["default_answer"] = True
            check(init(config)["ok"] is True, "taken after the refusals")
            """)

    def test_ids_and_threads(self):
        self.run_child("""
            init(config)
            for request in sale.start_requests():
                call(request)
            first = call({"id": "x", "op": "Nr_Cupom", "args": ["", "001"]})
            again = call({"id": "x", "op": "Nr_Cupom", "args": ["", "001"]})
            check(again.get("replayed") is True and again["seq"] == first["seq"], str(again))
            results = []
            def client():
                for _ in range(20):
                    results.append(call({"op": "GetValue", "args": ["100"]})["seq"])
            threads = [threading.Thread(target=client) for _ in range(4)]
            for t in threads: t.start()
            for t in threads: t.join()
            # 80 requests, each with a number of its own (the replayed one took one too).
            check(sorted(results) == list(range(first["seq"] + 2, first["seq"] + 82)), str(sorted(results)))
            """)
        with open(self.config["journal"], encoding="utf-8") as f:
            numbers = [json.loads(line) for line in f if "Elgin_NumeroCupom" in line]
        self.assertEqual(len(numbers), 1)  # the id's second call never reached the printer


if __name__ == "__main__":
    unittest.main()
