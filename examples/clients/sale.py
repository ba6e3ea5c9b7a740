#!/usr/bin/env python3
"""A sale through the resident driver's HTTP service: two items paid by card.

Start the service, then run the client:

    build/bin/qorhost serve --http 127.0.0.1:8080 --state /tmp/ecf --host-dir /tmp/pdv &
    python3 examples/clients/sale.py --url http://127.0.0.1:8080 --sale 1

Python's standard library only. Every request carries an id made from the
sale's number: when an answer is lost (a timeout, a dropped connection) the
client sends the same request again, and the service answers it from its
record instead of printing again. Running the script twice with the same
--sale registers the sale once.
"""
import argparse
import json
import sys
import time
import urllib.error
import urllib.request

# The host's record for StartImpFiscal: branch, till, printer, port, and a
# terminal with an operator (BOUTILTAA false: dialogs allowed).
START = {"CDFILIAL": "0001", "CDCAIXA": "01", "NRSERIEIMP": "ECFSIM00000000000001", "ESQUEMA": "001",
         "CDPORTAIMPFIS": "COM1", "IDTIPOIMPFIS": "1", "BOUTILTAA": False,
         "NRSERIE": "ECFSIM00000000000001", "ESQUEMACOR": "001"}

# The host's payment types; CarregaRecebimento programs the card in the printer.
PAYMENT_TYPES = {
    "fields": [{"name": "CDFILIAL", "type": "string", "size": 4},
               {"name": "CDTIPORECE", "type": "string", "size": 3},
               {"name": "NMTIPORECE", "type": "string", "size": 40},
               {"name": "IDTIPORECE", "type": "string", "size": 1},
               {"name": "IDTPBUTTON", "type": "string", "size": 1},
               {"name": "IDMOSTRARECE", "type": "string", "size": 1},
               {"name": "DSIMPFISCAL", "type": "string", "size": 50},
               {"name": "CDFPIMPFIS", "type": "string", "size": 10},
               {"name": "IDEMIVALE", "type": "string", "size": 1}],
    "rows": [["0001", "001", "DINHEIRO", "1", "5", "S", "DINHEIRO", None, None],
             ["0001", "002", "CARTAO CREDITO", "4", "5", "S", "Cartao Credito", None, None]]}

ITEMS = [("7891000100103", "ARROZ TIPO 1 5KG", 2, 10.99), ("7891000200200", "CAFE TORRADO 500G", 1, 15.00)]

MOVEMENT_FIELDS = [("CDFILIAL", "string", 4), ("IDTIPOMOVIVE", "string", 1), ("DTHRINCMOV", "datetime", None),
                   ("CDTIPORECE", "string", 3), ("NMTIPORECE", "string", 40), ("IDTIPORECE", "string", 1),
                   ("VRMOVIVEND", "float", None), ("VRMOVIVEOUT", "float", None), ("VRCOTINDOUT", "float", None),
                   ("CDTIPOTROCO", "string", 3), ("NRORDTROCO", "string", 3), ("CDCLIENTE", "string", 15),
                   ("CDCONSUMIDOR", "string", 15), ("DTMOVIMCAIXA", "datetime", None),
                   ("DSIMPFISCAL", "string", 50), ("CDFPIMPFIS", "string", 10), ("NRCARTBANCO", "string", 20),
                   ("CDNSUHOSTTEF", "string", 20), ("CDBANCARTCR", "string", 10), ("CDTIPORECEORIG", "string", 3)]


def movements(amount):
    """The sale's movement table: one card payment of `amount`."""
    fields = [dict(name=n, type=t, **({"size": s} if s else {})) for n, t, s in MOVEMENT_FIELDS]
    today = time.strftime("%Y-%m-%d")
    row = ["0001", "E", today + "T10:00:00", "002", "Cartao Credito", "4", amount, 0, 0, None, "1", None, None,
           today, "Cartao Credito", "S", None, None, None, None]
    return {"fields": fields, "rows": [row],
            "indexes": [{"name": "idxIDTIPORECE", "fields": "IDTIPORECE;NRORDTROCO", "desc_fields": "IDTIPORECE"}]}


def start_requests():
    """Starting the driver and programming the payment methods: once per run of the service."""
    return [{"op": "StartImpFiscal", "args": [START]},
            {"op": "CarregaTotalizador", "args": ["", "", "", "", "", "001", 1, {"fields": []}]},
            {"op": "CarregaRecebimento", "args": ["", "001", 1, PAYMENT_TYPES]}]


def sale_requests(sale):
    """The sale's requests, each with an id of its own made from the sale's number."""
    opening = {"ESQUEMACOR": "001", "INCLUICPF": "", "INCLUINOME": "", "INCLUIENDERECO": "", "CUPNR": "",
               "CONTCUPOM": "", "TIPOTICKET": "1", "IVACOMP": "", "IVAPROP": "", "TIPODOC": "", "NRDOC": "",
               "MESA": "", "IDUTILTEF": "N", "INTTEFERRO": 0, "UTILTEF": False}
    requests = [{"id": "sale-%s-open" % sale, "op": "AbreCupom", "args": [opening]}]
    total = 0.0
    for n, (code, name, quantity, price) in enumerate(ITEMS, 1):
        total += round(quantity * price, 2)
        item = {"ESQUEMACOR": "001", "CDARVPROD": code, "NMPROD": name, "CDALIQ": "00", "QTDE": quantity,
                "VALOR": price, "DESCONT": 0, "ACRESCIMO": 0, "UNIDADE": "UN", "TIPOTICKET": "1",
                "VRPERCALIQ": "18", "IDUTILTEF": "N", "UTILTEF": False, "INTTEFERRO": 0}
        requests.append({"id": "sale-%s-item-%d" % (sale, n), "op": "VendaItem", "args": [item]})
    # FechaCupom's list given by position (docs/OPERATIONS.md names the 61
    # positions); the positions left out are empty.
    closing = {"1": "Obrigado pela preferencia!", "2": "001", "5": True, "13": movements(round(total, 2)),
               "14": PAYMENT_TYPES, "22": "7", "23": "MARIA", "42": "VENDA-%s" % sale, "51": 7.40}
    requests.append({"id": "sale-%s-close" % sale, "op": "FechaCupom", "args": [closing, [], 4]})
    return requests


def call(url, request, token=None, attempts=3):
    """POSTs one request and returns its answer; a lost answer is asked for again with the same id."""
    body = json.dumps(request).encode("utf-8")
    headers = {"Content-Type": "application/json"}
    if token:
        headers["Authorization"] = "Bearer " + token
    for attempt in range(attempts):
        try:
            req = urllib.request.Request(url.rstrip("/") + "/call", data=body, headers=headers, method="POST")
            with urllib.request.urlopen(req, timeout=60) as res:
                return json.load(res)
        except urllib.error.HTTPError as e:  # a refused request: its answer says why
            return json.load(e)
        except (urllib.error.URLError, TimeoutError, ConnectionError):
            if attempt + 1 == attempts or "id" not in request:
                raise
            time.sleep(1)


def status(url, token=None):
    headers = {"Authorization": "Bearer " + token} if token else {}
    with urllib.request.urlopen(urllib.request.Request(url.rstrip("/") + "/status", headers=headers)) as res:
        return json.load(res)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--url", default="http://127.0.0.1:8080")
    parser.add_argument("--sale", default="1", help="the sale's number, part of every request's id")
    parser.add_argument("--token", help="the service's token, when it has one")
    args = parser.parse_args()

    requests = sale_requests(args.sale)
    if not status(args.url, args.token)["driver_started"]:
        requests = start_requests() + requests
    for request in requests:
        answer = call(args.url, request, args.token)
        replayed = " (answered before)" if answer.get("replayed") else ""
        if "invalid" in answer:
            print("%s refused: %s" % (request["op"], answer["invalid"]), file=sys.stderr)
            return 1
        print("%-18s %-6s return code %s%s" % (answer["op"], json.dumps(answer.get("result")),
                                               answer["state"]["inRetorno"], replayed))
        messages = answer["state"]["stMensagemTaa"].strip()
        if answer.get("result") is False or "error" in answer:
            print("  the printer says: %s %s" % (messages, answer.get("error", "")), file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
