"""The support page in a real browser (headless Chromium) against a running
service that just sold a coupon: what a person sees once the page's script
has run. Reported as skipped (exit status 77) where Chromium is not
installed."""
import html.parser
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import servicetest
from servicetest import Service

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")


class Texts(html.parser.HTMLParser):
    """The text inside each element that has an id, as a browser would show it."""

    def __init__(self):
        super().__init__()
        self.open = []   # (tag, id or None)
        self.text = {}

    def handle_starttag(self, tag, attrs):
        if tag in ("br", "input", "meta", "link", "img"):
            return
        self.open.append((tag, dict(attrs).get("id")))
        if self.open[-1][1]:
            self.text.setdefault(self.open[-1][1], "")

    def handle_endtag(self, tag):
        while self.open:
            if self.open.pop()[0] == tag:
                break

    def handle_data(self, data):
        for _, ident in self.open:
            if ident:
                self.text[ident] += data


def rendered(url, folder):
    """The page's DOM after its script ran, from headless Chromium."""
    profile = tempfile.mkdtemp(prefix="profile-", dir=folder)
    done = subprocess.run(
        [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile, "--virtual-time-budget=15000", "--dump-dom", url],
        capture_output=True, text=True, timeout=180)
    if done.returncode != 0:
        raise RuntimeError("chromium failed (%d): %s" % (done.returncode, done.stderr[-2000:]))
    parser = Texts()
    parser.feed(done.stdout)
    return parser.text


class SupportPage(unittest.TestCase):
    def test_a_person_sees_the_coupon_the_operations_and_the_status(self):
        with Service("http", token="t0k3n") as s:
            servicetest.start_driver(s)
            servicetest.run_sale(s, 1)
            s.call({"op": "Nada"})  # a refused request is listed too
            text = rendered(s.url + "/?token=t0k3n", s.folder)

        tape = text["tape-text"]
        self.assertIn("CUPOM FISCAL", tape)
        self.assertIn("ARROZ TIPO 1 5KG", tape)
        self.assertIn("Cartao Credito                             36,98", tape)

        ops = text["ops-body"]
        for op in ("StartImpFiscal", "AbreCupom", "VendaItem", "FechaCupom"):
            self.assertIn(op, ops)
        self.assertIn("id sale-1-close", ops)
        self.assertIn('unknown operation "Nada"', ops)

        status = text["status-list"]
        self.assertIn("Driver startedyes", status)
        self.assertIn("Printerreachable", status)
        self.assertIn("no coupon open", status)
        self.assertIn("Paperok", status)
        self.assertIn("FechaCupom \u2192 true", status)

        # The debug log in UTF-8, its routine "Cupom aberto." lines folded into the line before.
        log = text["log-text"]
        self.assertIn("Elgin_TerminaFechamentoCupom", log)
        self.assertNotIn("ERRO!!! Cupom aberto.", log)
        self.assertIn("[+1 Cupom aberto.]", log)
        self.assertRegex(text["log-folded"], r"^[1-9]\d* routine \u201cCupom aberto.\u201d lines folded\.$")


if __name__ == "__main__":
    if not CHROMIUM:
        print("skipped: Chromium is not installed (Debian package chromium; scripts/deps.sh --tests installs it)")
        sys.exit(77)
    unittest.main()
