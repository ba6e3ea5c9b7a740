#!/usr/bin/env bash
# A sale through the resident driver's HTTP service with curl: two items
# paid by card, the same sale as sale.py.
#
#   build/bin/qorhost serve --http 127.0.0.1:8080 --state /tmp/ecf --host-dir /tmp/pdv &
#   bash examples/clients/sale.sh http://127.0.0.1:8080 2
#
# Every request carries an id made from the sale's number (the second
# argument): sent again, it is answered from the service's record and
# nothing is printed twice. A refused request or a false result stops the
# script with status 1.
set -euo pipefail
url=${1:-http://127.0.0.1:8080}
sale=${2:-1}
today=$(date +%Y-%m-%d)

# POSTs one request (standard input) and prints the answer; fails unless the
# operation ran and did not answer false.
call() {
  local answer
  answer=$(curl -sS -H 'Content-Type: application/json' --data-binary @- "$url/call")
  echo "$answer"
  case "$answer" in
    *'"invalid":'* | *'"result":false'* | *'"error":{'*) return 1 ;;
  esac
}

payment_types='{"fields": [{"name": "CDFILIAL", "type": "string", "size": 4},
  {"name": "CDTIPORECE", "type": "string", "size": 3}, {"name": "NMTIPORECE", "type": "string", "size": 40},
  {"name": "IDTIPORECE", "type": "string", "size": 1}, {"name": "IDTPBUTTON", "type": "string", "size": 1},
  {"name": "IDMOSTRARECE", "type": "string", "size": 1}, {"name": "DSIMPFISCAL", "type": "string", "size": 50},
  {"name": "CDFPIMPFIS", "type": "string", "size": 10}, {"name": "IDEMIVALE", "type": "string", "size": 1}],
 "rows": [["0001", "001", "DINHEIRO", "1", "5", "S", "DINHEIRO", null, null],
          ["0001", "002", "CARTAO CREDITO", "4", "5", "S", "Cartao Credito", null, null]]}'

# The driver is started once per run of the service: the status says whether it is.
if curl -sS "$url/status" | grep -q '"driver_started":false'; then
  call <<'EOF'
{"op": "StartImpFiscal", "args": [{"CDFILIAL": "0001", "CDCAIXA": "01", "NRSERIEIMP": "ECFSIM00000000000001",
  "ESQUEMA": "001", "CDPORTAIMPFIS": "COM1", "IDTIPOIMPFIS": "1", "BOUTILTAA": false,
  "NRSERIE": "ECFSIM00000000000001", "ESQUEMACOR": "001"}]}
EOF
  call <<'EOF'
{"op": "CarregaTotalizador", "args": ["", "", "", "", "", "001", 1, {"fields": []}]}
EOF
  call <<EOF
{"op": "CarregaRecebimento", "args": ["", "001", 1, $payment_types]}
EOF
fi

call <<EOF
{"id": "sale-$sale-open", "op": "AbreCupom", "args": [{"ESQUEMACOR": "001", "INCLUICPF": "", "INCLUINOME": "",
  "INCLUIENDERECO": "", "CUPNR": "", "CONTCUPOM": "", "TIPOTICKET": "1", "IVACOMP": "", "IVAPROP": "",
  "TIPODOC": "", "NRDOC": "", "MESA": "", "IDUTILTEF": "N", "INTTEFERRO": 0, "UTILTEF": false}]}
EOF
call <<EOF
{"id": "sale-$sale-item-1", "op": "VendaItem", "args": [{"ESQUEMACOR": "001", "CDARVPROD": "7891000100103",
  "NMPROD": "ARROZ TIPO 1 5KG", "CDALIQ": "00", "QTDE": 2, "VALOR": 10.99, "DESCONT": 0, "ACRESCIMO": 0,
  "UNIDADE": "UN", "TIPOTICKET": "1", "VRPERCALIQ": "18", "IDUTILTEF": "N", "UTILTEF": false, "INTTEFERRO": 0}]}
EOF
call <<EOF
{"id": "sale-$sale-item-2", "op": "VendaItem", "args": [{"ESQUEMACOR": "001", "CDARVPROD": "7891000200200",
  "NMPROD": "CAFE TORRADO 500G", "CDALIQ": "00", "QTDE": 1, "VALOR": 15.0, "DESCONT": 0, "ACRESCIMO": 0,
  "UNIDADE": "UN", "TIPOTICKET": "1", "VRPERCALIQ": "18", "IDUTILTEF": "N", "UTILTEF": false, "INTTEFERRO": 0}]}
EOF
# FechaCupom's list by position (docs/OPERATIONS.md): 13 the movements (one
# card payment of the whole 36,98), 14 the payment types.
call <<EOF
{"id": "sale-$sale-close", "op": "FechaCupom", "args": [{"1": "Obrigado pela preferencia!", "2": "001", "5": true,
  "13": {"fields": [{"name": "CDFILIAL", "type": "string", "size": 4}, {"name": "IDTIPOMOVIVE", "type": "string", "size": 1},
    {"name": "DTHRINCMOV", "type": "datetime"}, {"name": "CDTIPORECE", "type": "string", "size": 3},
    {"name": "NMTIPORECE", "type": "string", "size": 40}, {"name": "IDTIPORECE", "type": "string", "size": 1},
    {"name": "VRMOVIVEND", "type": "float"}, {"name": "VRMOVIVEOUT", "type": "float"}, {"name": "VRCOTINDOUT", "type": "float"},
    {"name": "CDTIPOTROCO", "type": "string", "size": 3}, {"name": "NRORDTROCO", "type": "string", "size": 3},
    {"name": "CDCLIENTE", "type": "string", "size": 15}, {"name": "CDCONSUMIDOR", "type": "string", "size": 15},
    {"name": "DTMOVIMCAIXA", "type": "datetime"}, {"name": "DSIMPFISCAL", "type": "string", "size": 50},
    {"name": "CDFPIMPFIS", "type": "string", "size": 10}, {"name": "NRCARTBANCO", "type": "string", "size": 20},
    {"name": "CDNSUHOSTTEF", "type": "string", "size": 20}, {"name": "CDBANCARTCR", "type": "string", "size": 10},
    {"name": "CDTIPORECEORIG", "type": "string", "size": 3}],
   "indexes": [{"name": "idxIDTIPORECE", "fields": "IDTIPORECE;NRORDTROCO", "desc_fields": "IDTIPORECE"}],
   "rows": [["0001", "E", "${today}T10:00:00", "002", "Cartao Credito", "4", 36.98, 0, 0, null, "1", null, null,
             "$today", "Cartao Credito", "S", null, null, null, null]]},
  "14": $payment_types, "22": "7", "23": "MARIA", "42": "VENDA-$sale", "51": 7.40}, [], 4]}
EOF
