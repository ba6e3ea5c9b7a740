#include "tests/support/sale_records.h"

#include <array>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/datetime.h"

namespace qortest {

using rtl::Variant;

namespace {

void AddFields(rtl::ClientDataSet& ds, const std::vector<std::pair<const char*, int>>& fields) {
  for (auto& [name, size] : fields)
    ds.AddFieldDef(name, size > 0 ? rtl::FieldType::String : rtl::FieldType::Float, size);
}

void SetText(rtl::ClientDataSet& ds, const char* field, const char* value) {
  if (value) ds.FieldByName(field).SetAsString(value);
}

}  // namespace

Variant StartRecord() {
  return Variant::Record({{"CDFILIAL", "0001"},
                          {"CDCAIXA", "01"},
                          {"NRSERIEIMP", kSerial},
                          {"ESQUEMA", "001"},
                          {"CDPORTAIMPFIS", "COM1"},
                          {"IDTIPOIMPFIS", "1"},
                          {"BOUTILTAA", false},
                          {"NRSERIE", kSerial},
                          {"ESQUEMACOR", "001"}});
}

Variant TotGeralRecord() {
  return Variant::Record({{"CDFILIAL", "0001"},
                          {"CDCAIXA", "01"},
                          {"NRSERIEIMP", kSerial},
                          {"ESQUEMACOR", "001"},
                          {"IDVALIDA", "S"}});
}

void TiposRece(rtl::ClientDataSet& ds) {
  AddFields(ds, {{"CDFILIAL", 4},
                 {"CDTIPORECE", 3},
                 {"NMTIPORECE", 40},
                 {"IDTIPORECE", 1},
                 {"IDTPBUTTON", 1},
                 {"IDMOSTRARECE", 1},
                 {"DSIMPFISCAL", 50},
                 {"CDFPIMPFIS", 10},
                 {"IDEMIVALE", 1}});
  ds.CreateDataSet();
  const std::array<std::array<const char*, 7>, 3> rows = {{
      {"0001", "001", "DINHEIRO", "1", "5", "S", "DINHEIRO"},
      {"0001", "002", "CARTAO CREDITO", "4", "5", "S", "Cartao Credito"},
      {"0001", "003", "CARTAO DEBITO", "4", "5", "S", "Cartao Debito"},
  }};
  const char* names[] = {"CDFILIAL", "CDTIPORECE", "NMTIPORECE", "IDTIPORECE", "IDTPBUTTON", "IDMOSTRARECE",
                         "DSIMPFISCAL"};
  for (auto& r : rows) {
    ds.Append();
    for (size_t i = 0; i < r.size(); ++i) SetText(ds, names[i], r[i]);
    ds.Post();
  }
}

Variant AbreCupomRecord(bool tef) {
  return Variant::Record({{"ESQUEMACOR", "001"},
                          {"INCLUICPF", "12345678909"},
                          {"INCLUINOME", "JOSE DA SILVA"},
                          {"INCLUIENDERECO", "RUA DAS FLORES, 10"},
                          {"CUPNR", ""},
                          {"CONTCUPOM", ""},
                          {"TIPOTICKET", "1"},
                          {"IVACOMP", ""},
                          {"IVAPROP", ""},
                          {"TIPODOC", ""},
                          {"NRDOC", ""},
                          {"MESA", ""},
                          {"IDUTILTEF", tef ? "T" : "N"},
                          {"INTTEFERRO", 0},
                          {"UTILTEF", tef}});
}

Variant VendaItemRecord(const Item& it, bool tef) {
  return Variant::Record({{"ESQUEMACOR", "001"},
                          {"CDARVPROD", it.code},
                          {"NMPROD", it.name},
                          {"CDALIQ", "00"},
                          {"QTDE", it.qty},
                          {"VALOR", it.price},
                          {"DESCONT", it.discount},
                          {"ACRESCIMO", it.surcharge},
                          {"UNIDADE", "UN"},
                          {"TIPOTICKET", "1"},
                          {"VRPERCALIQ", "18"},
                          {"IDUTILTEF", tef ? "T" : "N"},
                          {"UTILTEF", tef},
                          {"INTTEFERRO", 0}});
}

Variant Movimentos() {
  rtl::ClientDataSet ds;
  using rtl::FieldType;
  const std::vector<std::tuple<const char*, FieldType, int>> fields = {
      {"CDFILIAL", FieldType::String, 4},       {"IDTIPOMOVIVE", FieldType::String, 1},
      {"DTHRINCMOV", FieldType::DateTime, 0},   {"CDTIPORECE", FieldType::String, 3},
      {"NMTIPORECE", FieldType::String, 40},    {"IDTIPORECE", FieldType::String, 1},
      {"VRMOVIVEND", FieldType::Float, 0},      {"VRMOVIVEOUT", FieldType::Float, 0},
      {"VRCOTINDOUT", FieldType::Float, 0},     {"CDTIPOTROCO", FieldType::String, 3},
      {"NRORDTROCO", FieldType::String, 3},     {"CDCLIENTE", FieldType::String, 15},
      {"CDCONSUMIDOR", FieldType::String, 15},  {"DTMOVIMCAIXA", FieldType::DateTime, 0},
      {"DSIMPFISCAL", FieldType::String, 50},   {"CDFPIMPFIS", FieldType::String, 10},
      {"NRCARTBANCO", FieldType::String, 20},   {"CDNSUHOSTTEF", FieldType::String, 20},
      {"CDBANCARTCR", FieldType::String, 10},   {"CDTIPORECEORIG", FieldType::String, 3}};
  for (auto& [name, type, size] : fields) ds.AddFieldDef(name, type, size);
  ds.AddIndexDef("idxIDTIPORECE", "IDTIPORECE;NRORDTROCO", "IDTIPORECE");
  ds.CreateDataSet();
  struct Row {
    int minute;
    const char *cd, *nm, *id;
    const char* ordem;
  };
  for (const Row& r : {Row{5, "001", "Dinheiro", "1", "1"}, Row{6, "002", "Cartao Credito", "4", "2"}}) {
    ds.Append();
    ds.FieldByName("CDFILIAL").SetAsString("0001");
    ds.FieldByName("IDTIPOMOVIVE").SetAsString("E");
    ds.FieldByName("DTHRINCMOV").SetAsDateTime(rtl::EncodeDate(2026, 3, 5) + rtl::EncodeTime(10, r.minute, 0, 0));
    ds.FieldByName("CDTIPORECE").SetAsString(r.cd);
    ds.FieldByName("NMTIPORECE").SetAsString(r.nm);
    ds.FieldByName("IDTIPORECE").SetAsString(r.id);
    ds.FieldByName("VRMOVIVEND").SetAsFloat(20.0);
    ds.FieldByName("VRMOVIVEOUT").SetAsFloat(0);
    ds.FieldByName("VRCOTINDOUT").SetAsFloat(0);
    ds.FieldByName("NRORDTROCO").SetAsString(r.ordem);
    ds.FieldByName("DTMOVIMCAIXA").SetAsDateTime(rtl::EncodeDate(2026, 3, 5));
    ds.FieldByName("DSIMPFISCAL").SetAsString(r.nm);
    ds.FieldByName("CDFPIMPFIS").SetAsString("S");
    ds.Post();
  }
  return ds.Data();
}

Variant TiposPacote() {
  rtl::ClientDataSet ds;
  AddFields(ds, {{"CDTIPORECE", 3}, {"NMTIPORECE", 40}, {"IDTIPORECE", 1}});
  ds.CreateDataSet();
  for (auto& r : {std::array<const char*, 3>{"001", "Dinheiro", "1"}, {"002", "Cartao Credito", "4"},
                  {"003", "Cartao Debito", "4"}}) {
    ds.Append();
    ds.FieldByName("CDTIPORECE").SetAsString(r[0]);
    ds.FieldByName("NMTIPORECE").SetAsString(r[1]);
    ds.FieldByName("IDTIPORECE").SetAsString(r[2]);
    ds.Post();
  }
  return ds.Data();
}

Variant FechaCupomList(bool tef) {
  std::vector<Variant> el(61, Variant(""));
  el[1] = "Obrigado pela preferencia!";
  el[2] = "001";
  el[3] = 0;
  el[4] = true;
  el[5] = true;
  el[6] = 5.999;
  el[7] = 5.99;
  el[8] = 0;
  el[9] = tef ? "T" : "N";
  el[10] = "Trocas somente com este cupom.";
  el[11] = tef;
  el[13] = Movimentos();
  el[14] = TiposPacote();
  el[22] = "7";
  el[23] = "MARIA";
  for (size_t i : {32, 33, 34, 49, 60}) el[i] = Variant::Null();
  el[37] = 0;
  el[38] = 0;
  el[40] = "N";
  el[41] = "001";
  el[42] = "VENDA-000001";
  el[43] = "SP";
  el[44] = "11.222.333/0001-81";
  el[50] = 0;
  el[51] = 6.8;
  el[52] = 0;
  el[53] = 0;
  el[54] = 0;
  return Variant(el);
}

}  // namespace qortest
