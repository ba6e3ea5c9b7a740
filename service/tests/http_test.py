"""qorhost serve --http: the same answers as the standard-input door, the
reading pages (status, tape, journal, log, recent), the token, and the
limits on what it reads."""
import json
import subprocess
import unittest
import urllib.request

import servicetest
from servicetest import Service


def comparable(answer):
    """An answer without what depends on the moment it ran."""
    return {k: v for k, v in answer.items() if k != "seq"}


class HttpDoor(unittest.TestCase):
    def test_answers_are_those_of_the_stdio_door(self):
        requests = servicetest.sale.start_requests() + servicetest.sale.sale_requests(1)
        requests.append({"op": "Nada"})
        with Service("stdio") as stdio, Service("http") as http:
            for request in requests:
                with self.subTest(op=request["op"]):
                    a = stdio.call(request)
                    b, code = http.call_text(json.dumps(request))
                    self.assertEqual(comparable(a), comparable(b))
                    self.assertEqual(code, 400 if "invalid" in b else 200)

    def test_the_reading_pages_show_the_sale(self):
        with Service("http") as s:
            self.assertEqual(s.status()["driver_started"], False)
            self.assertEqual(s.status()["printer"]["reachable"], False)
            servicetest.start_driver(s)
            servicetest.run_sale(s, 1)
            status = s.status()
            self.assertTrue(status["driver_started"])
            self.assertEqual(status["printer"]["reachable"], True)
            self.assertEqual(status["printer"]["coupon_open"], False)
            self.assertEqual(status["printer"]["paper"], "ok")
            self.assertEqual(status["last"]["op"], "FechaCupom")
            self.assertEqual(status["last"]["result"], True)
            self.assertEqual(status["queue"], 0)

            code, tape = s.get("/tape")
            self.assertEqual(code, 200)
            self.assertEqual(servicetest.coupons_on_tape(tape), 1)
            self.assertIn("ARROZ TIPO 1 5KG", tape)
            code, tape = s.get("/tape?lines=3")
            self.assertEqual(len(tape.splitlines()), 3)

            code, journal = s.get("/journal?lines=50")
            lines = [json.loads(line) for line in journal.splitlines()]
            self.assertEqual(len(lines), 50)
            self.assertIn("Elgin_TerminaFechamentoCupom", [l.get("fn") for l in lines])

            code, log = s.get("/log")
            self.assertEqual(code, 200)
            self.assertIn("Elgin_VendeItem : 7891000100103 - ARROZ TIPO 1 5KG", log)
            self.assertIn("ERRO!!! Cupom aberto.", log)

            code, recent = s.get("/recent")
            ops = [e["op"] for e in json.loads(recent)]
            self.assertEqual(ops[-4:], ["AbreCupom", "VendaItem", "VendaItem", "FechaCupom"])

            code, page = s.get("/")
            self.assertEqual(code, 200)
            self.assertIn("<title>Fiscal printer driver", page)

    def test_the_log_is_read_in_utf8(self):
        with Service("http") as s:
            servicetest.start_driver(s)
            s.call({"sim": {"power": False}})
            self.assertEqual(s.call({"op": "Estado_Imp", "args": ["", False, False]})["result"], False)
            code, log = s.get("/log?lines=5")
            self.assertIn("ERRO!!! Impressora desligada ou desconectada.", log)
            self.assertEqual(s.status()["printer"]["reachable"], False)

    def test_over_long_bodies_unknown_pages_and_unreadable_requests_get_a_reason(self):
        with Service("http", extra=["--max-request", "1000"]) as s:
            answer, code = s.call_text(json.dumps({"op": "GetValue", "args": ["0" * 2000]}))
            self.assertEqual(code, 413)
            self.assertIn("longer than the 1000 bytes", answer["invalid"])
            code, body = s.get("/nada")
            self.assertEqual(code, 404)
            self.assertIn("no such page", json.loads(body)["invalid"])
            answer, code = s.call_text("{")
            self.assertEqual(code, 400)
            self.assertIn("not readable", answer["invalid"])
            self.assertEqual(s.calls(), [])
            self.assertEqual(s.call({"op": "GetValue", "args": ["100"]})["result"], 1.0)

    def test_a_token_is_required_beyond_loopback_and_checked_when_given(self):
        # Refused before anything is loaded.
        refused = subprocess.run(servicetest.command("serve", "--http", "0.0.0.0:0", "--host-dir", "/nonexistent/x"),
                                 capture_output=True, text=True, timeout=60)
        self.assertEqual(refused.returncode, 2)
        self.assertIn("give a --token", refused.stderr)
        with Service("http", token="s3cret") as s:
            code, body = s.get("/status", {"Authorization": ""})
            self.assertEqual(code, 401)
            self.assertIn("token", json.loads(body)["invalid"])
            code, body = s.get("/status", {"Authorization": "Bearer wrong"})
            self.assertEqual(code, 401)
            code, body = s.get("/status", {"Authorization": "Bearer s3cret"})
            self.assertEqual(code, 200)
            code, body = s.get("/?token=s3cret", {"Authorization": ""})
            self.assertEqual(code, 200)
            self.assertEqual(s.call({"op": "GetValue", "args": ["100"]})["result"], 1.0)
            req = urllib.request.Request(s.url + "/call", data=b'{"op": "GetValue", "args": ["100"]}', method="POST")
            with self.assertRaises(urllib.error.HTTPError) as refused:
                urllib.request.urlopen(req)
            self.assertEqual(refused.exception.code, 401)
            self.assertEqual(s.calls(), [])  # GetValue calls no printer; the refused request called nothing at all


if __name__ == "__main__":
    unittest.main()
