"""A retried request never prints twice: a repeated id gets the first run's
answer and the module is not called again, also after the service restarts."""
import unittest

import servicetest
from servicetest import Service


class Idempotency(unittest.TestCase):
    def test_the_same_sale_sent_twice_is_registered_once(self):
        with Service("http") as s:
            servicetest.start_driver(s)
            first = servicetest.run_sale(s, 7)
            calls = s.calls()
            again = [s.call(r) for r in servicetest.sale.sale_requests(7)]
            for a, b in zip(first, again):
                self.assertTrue(b["replayed"])
                self.assertEqual({k: v for k, v in b.items() if k != "replayed"}, a)
            self.assertEqual(s.calls(), calls)  # not one more printer call
            self.assertEqual(servicetest.coupons_on_tape(s.tape()), 1)

    def test_a_retry_after_a_restart_gets_the_kept_answer(self):
        with Service("http") as s:
            servicetest.start_driver(s)
            requests = servicetest.sale.sale_requests(8)
            answers = [s.call(r) for r in requests[:-1]]
            closed = s.call(requests[-1])
            self.assertTrue(closed["result"])
            folder = s.folder
            s.stop()  # the client never saw the answer of the closing; the service goes away
            with Service("http", folder=folder) as again:
                # The driver of the new process is not started: only the record answers.
                self.assertFalse(again.status()["driver_started"])
                calls = again.calls()
                retry = again.call(requests[-1])
                self.assertTrue(retry["replayed"])
                self.assertEqual(retry["seq"], closed["seq"])
                self.assertEqual(retry["args"], closed["args"])
                self.assertEqual(again.calls(), calls)
                self.assertEqual(servicetest.coupons_on_tape(again.tape()), 1)
                # A new request runs as usual.
                servicetest.start_driver(again)
                self.assertEqual(len(answers), 3)
                servicetest.run_sale(again, 9)
                self.assertEqual(servicetest.coupons_on_tape(again.tape()), 2)

    def test_an_id_reused_for_another_request_is_refused(self):
        with Service("stdio") as s:
            servicetest.start_driver(s)
            s.call({"id": "a", "op": "GetValue", "args": ["100"]})
            answer = s.call({"id": "a", "op": "GetValue", "args": ["200"]})
            self.assertIn("already used for a different request", answer["invalid"])


if __name__ == "__main__":
    unittest.main()
