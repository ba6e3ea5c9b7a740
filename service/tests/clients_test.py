"""The example clients (examples/clients/) against a running service: a sale
of two items paid by card, and the same sale sent again registered once."""
import os
import shutil
import subprocess
import sys
import unittest

import servicetest
from servicetest import Service

CLIENTS = os.path.join(servicetest.SOURCE, "examples", "clients")


class Clients(unittest.TestCase):
    def check_client(self, command):
        with Service("http") as s:
            first = subprocess.run(command(s.url, "41"), capture_output=True, text=True, timeout=300)
            self.assertEqual(first.returncode, 0, first.stdout + first.stderr)
            tape = s.tape()
            self.assertEqual(servicetest.coupons_on_tape(tape), 1)
            self.assertIn("ARROZ TIPO 1 5KG", tape)
            self.assertIn("CAFE TORRADO 500G", tape)
            self.assertIn("Cartao Credito                             36,98", tape)
            calls = s.calls()
            # The same sale again, as after a lost answer: answered from the record.
            again = subprocess.run(command(s.url, "41"), capture_output=True, text=True, timeout=300)
            self.assertEqual(again.returncode, 0, again.stdout + again.stderr)
            self.assertEqual(servicetest.coupons_on_tape(s.tape()), 1)
            self.assertEqual([c for c in s.calls()[len(calls):] if c != "Elgin_VerificaEstadoImpressora"], [])
            return first.stdout, again.stdout

    def test_python_client(self):
        first, again = self.check_client(
            lambda url, sale: [sys.executable, os.path.join(CLIENTS, "sale.py"), "--url", url, "--sale", sale])
        self.assertIn("FechaCupom         true", first)
        self.assertEqual(again.count("(answered before)"), 4)

    def test_curl_client(self):
        if not shutil.which("curl"):
            self.skipTest("curl is not installed")
        first, again = self.check_client(lambda url, sale: ["bash", os.path.join(CLIENTS, "sale.sh"), url, sale])
        self.assertEqual(again.count('"replayed":true'), 4)


if __name__ == "__main__":
    unittest.main()
