"""qorhost serve --stdio: one request per line, one answer per line, the
module loaded once for the run; bad requests refused and the service going on."""
import json
import unittest

import servicetest
from servicetest import Service


class StdioDoor(unittest.TestCase):
    def test_the_module_and_its_open_coupon_live_across_requests(self):
        with Service("stdio") as s:
            servicetest.start_driver(s)
            # The shared state stays: a later, unrelated request sees the driver started.
            answer = s.call({"op": "GetValue", "args": ["000000012345"]})
            self.assertEqual(answer["result"], 123.45)
            self.assertTrue(answer["state"]["boImpFiscalOK"])
            # The coupon opened by one request is sold into and closed by the next ones.
            answers = servicetest.run_sale(s, 1)
            self.assertEqual([a["seq"] for a in answers], list(range(5, 9)))
            self.assertEqual(answers[0]["args"][0][4], ["CUPNR", "000001"])
            self.assertEqual(answers[-1]["args"][2], [0, "VENDA-1", "", ""])
            status = s.status()
            self.assertFalse(status["printer"]["coupon_open"])
            self.assertEqual(status["last"]["op"], "FechaCupom")
            self.assertEqual(s.stop(), 0)
            tape = s.tape()
            self.assertEqual(servicetest.coupons_on_tape(tape), 1)
            self.assertIn("CAFE TORRADO 500G", tape)
            self.assertIn("Cartao Credito                             36,98", tape)

    def test_bad_requests_are_answered_with_the_reason_and_change_nothing(self):
        long_line = json.dumps({"op": "GetValue", "args": ["1" * 5000]})
        cases = [
            ('{"op": "GetValue", "args": [', "the request is not readable"),
            ("GetValue 1", "the request is not readable"),
            ('{"op": "Nada", "args": []}', 'unknown operation "Nada"'),
            ('{"op": "GetValue", "args": [12345]}', "argument 1 (S: text): text: expected a string"),
            ('{"op": "AbreCupom", "args": [1]}', "argument 1 (Params: record&)"),
            ('{"op": "FechaCupom", "args": [{"61": 1}, [], 4]}', "positions 0 to 60"),
            ('{"op": "GetValue", "args": []}', "GetValue takes 1 argument(s) (S: text)"),
            ('{"op": "VendaItem", "args": [' + "[" * 100 + "]" * 100 + "]}", "nest deeper than 64"),
            (long_line, "longer than the 4096 bytes"),
            ('{"op": "GetValue", "args": ["1"], "answer": [true]}', 'unknown member "answer"'),
            ('{"sim": {"paper": "torn"}}', 'sim "paper" is "ok", "low" or "out"'),
        ]
        with Service("stdio", extra=["--max-request", "4096"]) as s:
            servicetest.start_driver(s)
            s.call({"id": "open", "op": "AbreCupom", "args": [sale_opening()]})
            # The status sees the coupon open and leaves it so (the sale goes on below).
            self.assertTrue(s.status()["printer"]["coupon_open"])
            calls = s.calls()
            state = s.call({"op": "GetValue", "args": ["0"]})["state"]
            for text, reason in cases:
                with self.subTest(request=text[:60]):
                    answer, _ = s.call_text(text)
                    self.assertIn("invalid", answer)
                    self.assertIn(reason, answer["invalid"])
                    self.assertNotIn("result", answer)
            # Nothing reached the printer, the shared state is as it was, and the service goes on.
            self.assertEqual(s.calls(), calls)
            self.assertEqual(s.call({"op": "GetValue", "args": ["0"]})["state"], state)
            self.assertEqual(s.call({"op": "VendaItem", "args": [sale_item()]})["result"], True)
            self.assertEqual(s.stop(), 0)

    def test_questions_take_the_requests_answers_then_the_default(self):
        with Service("stdio") as s:
            servicetest.start_driver(s)
            for r in servicetest.sale.sale_requests(1)[:-1]:
                s.call(r)
            close = servicetest.sale.sale_requests(1)[-1]
            del close["id"]
            close["args"][0].update({"9": "T", "11": True})  # a card sale in progress: the operator may print again
            # The printer does not answer the payment once; the request's answer says print again.
            s.call({"sim": {"fail": "Elgin_EfetuaFormaPagamento", "code": 0}})
            answer = s.call(dict(close, answers=[True]))
            self.assertEqual(answer["result"], True)
            self.assertEqual(answer["args"][2][0], 1)  # the operator asked for a retry
            question = [d for d in answer["dialogs"] if d["question"]]
            self.assertEqual(question[0]["text"], "Impressora não responde. Imprimir novamente?")
            self.assertTrue(question[0]["answer"])
            self.assertNotIn("unanswered", question[0])
            # The next sale's payment fails too, and its request has no answer: the default, no.
            for r in servicetest.sale.sale_requests(2)[:-1]:
                s.call(r)
            s.call({"sim": {"fail": "Elgin_EfetuaFormaPagamento", "code": 0}})
            answer = s.call(close)
            self.assertEqual(answer["result"], False)
            question = [d for d in answer["dialogs"] if d["question"]]
            self.assertEqual(len(question), 1)
            self.assertFalse(question[0]["answer"])
            self.assertTrue(question[0]["unanswered"])


def sale_opening():
    return servicetest.sale.sale_requests(0)[0]["args"][0]


def sale_item():
    return servicetest.sale.sale_requests(0)[1]["args"][0]


if __name__ == "__main__":
    unittest.main()
