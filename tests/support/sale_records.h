// The host's records of the first sale of examples/sale.json, as a point of
// sale hands them to the module: the start record, the payment types, the
// coupon opening, the items and the closing list with its movements. The
// fault loops sell this sale; the driver benchmark times it.
#pragma once
#include "platform/dataset.h"
#include "platform/variant.h"

namespace qortest {

inline constexpr const char* kSerial = "ECFSIM00000000000001";

// The fiscal application's configuration: this printer, active, grand-total
// check on, stored total not initialised yet (the hidden form of 10,10).
inline constexpr const char* kKalvora =
    "<?xml version=\"1.0\" standalone=\"yes\"?>\n<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/><FIELD attrname=\"CDCAIXA\" fieldtype=\"string\" "
    "WIDTH=\"3\"/><FIELD attrname=\"NRSERIEECF\" fieldtype=\"string\" WIDTH=\"20\"/><FIELD attrname=\"IDSITECFIMPF\" "
    "fieldtype=\"string\" WIDTH=\"1\"/><FIELD attrname=\"CAMPO01\" fieldtype=\"string\" WIDTH=\"1\"/><FIELD "
    "attrname=\"CAMPO02\" fieldtype=\"string\" WIDTH=\"40\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW "
    "CDFILIAL=\"0001\" CDCAIXA=\"01\" NRSERIEECF=\"ECFSIM00000000000001\" IDSITECFIMPF=\"A\" CAMPO01=\"S\" "
    "CAMPO02=\"FJPOKMAKJG\"/></ROWDATA></DATAPACKET>\n";

// StartImpFiscal's record for this printer.
rtl::Variant StartRecord();
// Atu_TotGeral's record, the grand-total check on.
rtl::Variant TotGeralRecord();
// The host's payment types of the first sale of examples/sale.json: cash
// is known to the printer, the two cards are programmed.
void TiposRece(rtl::ClientDataSet& ds);
// AbreCupom's record, for a sale with electronic funds transfer or without.
rtl::Variant AbreCupomRecord(bool tef);

struct Item {
  const char* code;
  const char* name;
  double qty, price, discount, surcharge;
};

// The items of the first sale of examples/sale.json: a discount on the
// first, a surcharge on the second, nothing on the third.
inline const Item kItems[] = {
    {"7891000100103", "ARROZ TIPO 1 5KG", 2, 10.99, 1.98, 0},
    {"7891000200200", "CAFE TORRADO 500G", 1, 15.0, 0, 1.0},
    {"7891000300307", "LEITE INTEGRAL 1L", 1, 4.0, 0, 0},
};

// VendaItem's record of an item.
rtl::Variant VendaItemRecord(const Item& it, bool tef);
// The movement packet of the first sale: 20,00 in cash and 20,00 on the
// credit card, paid in the order of the host's payment-type index.
rtl::Variant Movimentos();
// The host's payment types as a packet (code, name, kind).
rtl::Variant TiposPacote();
// The closing list of the first sale of examples/sale.json: a subtotal
// discount of 5,999 (5,99 sent), 20,00 on the card and 20,00 in cash, change
// 5,99 registered as a change voucher. In the electronic-funds-transfer
// variant positions 9 and 11 say so.
rtl::Variant FechaCupomList(bool tef);

}  // namespace qortest
