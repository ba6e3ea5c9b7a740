"""One printer, one queue: requests from several clients at once are carried
out one at a time, in arrival order, and never share the printer: each
request's vendor calls lie together in the call journal, under its note."""
import threading
import unittest

import servicetest
from servicetest import Service


def blocks(journal):
    """The call journal cut at the service's notes: [(note, [entry points])]."""
    out = []
    for e in journal:
        if "note" in e:
            out.append((e["note"], []))
        elif out:
            out[-1][1].append(e["fn"])
    return out


def batch(number):
    """A whole sale as one request: no other request may come between its steps."""
    return {"id": "batch-%d" % number,
            "steps": [{k: v for k, v in r.items() if k != "id"} for r in servicetest.sale.sale_requests(number)]}


class Queue(unittest.TestCase):
    def test_two_clients_selling_at_once_both_get_whole_sales(self):
        with Service("http") as s:
            servicetest.start_driver(s)
            answers = {}
            errors = []

            def client(number):
                try:
                    answers[number] = s.call(batch(number))
                except Exception as e:  # reported below, not lost in the thread
                    errors.append(e)

            def watcher():  # a support person refreshing the status meanwhile
                for _ in range(10):
                    s.status()

            threads = [threading.Thread(target=client, args=(n,)) for n in (1, 2)] + [threading.Thread(target=watcher)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            self.assertEqual(errors, [])
            for number in (1, 2):
                steps = answers[number]["steps"]
                self.assertEqual([a["result"] for a in steps], [True] * 4, answers[number])
                self.assertNotIn("stopped", answers[number])
            # Both coupons on the tape, one after the other.
            self.assertEqual(servicetest.coupons_on_tape(s.tape()), 2)
            coupons = sorted(a["steps"][0]["args"][0][4][1] for a in answers.values())
            self.assertEqual(coupons, ["000001", "000002"])
            # Each sale's calls under its own note, from the opening to the end of the coupon.
            sales = [calls for note, calls in blocks(s.journal()) if "4 steps" in note]
            self.assertEqual(len(sales), 2)
            for calls in sales:
                self.assertEqual(calls.count("Elgin_AbreCupomMFD"), 1)
                self.assertEqual(calls.count("Elgin_VendeItem"), 2)
                self.assertEqual(calls.count("Elgin_TerminaFechamentoCupom"), 1)
                self.assertLess(calls.index("Elgin_AbreCupomMFD"), calls.index("Elgin_TerminaFechamentoCupom"))
            status_blocks = [calls for note, calls in blocks(s.journal()) if note == "status request"]
            self.assertEqual(len(status_blocks), 10)
            for calls in status_blocks:
                self.assertEqual(calls, ["Elgin_VerificaEstadoImpressora"])

    def test_single_requests_from_many_clients_never_overlap_and_keep_each_clients_order(self):
        with Service("http") as s:
            servicetest.start_driver(s)
            seqs = {n: [] for n in range(4)}

            def client(n):
                for _ in range(15):
                    seqs[n].append(s.call({"op": "Nr_Cupom", "args": ["", "001"]})["seq"])

            threads = [threading.Thread(target=client, args=(n,)) for n in range(4)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            for n, numbers in seqs.items():
                self.assertEqual(numbers, sorted(numbers), "client %d" % n)
            every = sorted(x for numbers in seqs.values() for x in numbers)
            self.assertEqual(every, list(range(every[0], every[0] + 60)))
            queried = [calls for note, calls in blocks(s.journal()) if note.endswith(": Nr_Cupom")]
            self.assertEqual(len(queried), 60)
            for calls in queried:
                self.assertEqual(calls, ["Elgin_NumeroCupom", "Elgin_VerificaEstadoImpressora"])


if __name__ == "__main__":
    unittest.main()
