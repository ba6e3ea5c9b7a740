// Coupon closing through the simulated printer: the closing stages, the
// payments, the footer sent with the end of the coupon, the change receipt,
// the failure rule and the result array.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "platform/text.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin_facts.h"

namespace {

using nlohmann::json;
using qortest::ItemRecord;
using qortest::Lines;
using rtl::Variant;

// One movement row of the host's sale.
struct Movement {
  Movement(std::string tipo_, std::string cd_, double valor_, std::string ordem_ = "1", std::string id_ = "")
      : tipo(std::move(tipo_)), cd(std::move(cd_)), valor(valor_), ordem(std::move(ordem_)), id(std::move(id_)) {}
  std::string tipo;   // IDTIPOMOVIVE
  std::string cd;     // CDTIPORECE
  double valor;       // VRMOVIVEND
  std::string ordem;  // NRORDTROCO
  std::string id;     // IDTIPORECE as the movement carries it
  std::string banco;  // CDBANCARTCR
  std::string orig;   // CDTIPORECEORIG
  std::string dsImp;  // DSIMPFISCAL
  std::string nm;     // NMTIPORECE
};

// The host's movement packet; its payment-type index lists the kinds in
// descending order (cards before cash, so the change comes from the cash).
// A packet the host got wrong: without one field, or with the amount held as a text.
struct Fault {
  std::string semCampo;
  std::string valorTexto;  // VRMOVIVEND as a text field holding this
};

Variant Movimentos(const std::vector<Movement>& rows, bool comIndice = true, const Fault& defeito = {}) {
  rtl::ClientDataSet ds;
  const rtl::FieldType S = rtl::FieldType::String, F = rtl::FieldType::Float, D = rtl::FieldType::DateTime;
  const qortest::Column campos[] = {
      {"CDFILIAL", S, 50},     {"IDTIPOMOVIVE", S, 50}, {"DTHRINCMOV", D},       {"CDTIPORECE", S, 50},
      {"NMTIPORECE", S, 50},   {"IDTIPORECE", S, 50},   {"VRMOVIVEND", F},       {"VRMOVIVEOUT", F},
      {"VRCOTINDOUT", F},      {"CDTIPOTROCO", S, 50},  {"NRORDTROCO", S, 50},   {"CDCLIENTE", S, 50},
      {"CDCONSUMIDOR", S, 50}, {"DTMOVIMCAIXA", D},     {"DSIMPFISCAL", S, 50},  {"CDFPIMPFIS", S, 50},
      {"NRCARTBANCO", S, 50},  {"CDNSUHOSTTEF", S, 50}, {"CDBANCARTCR", S, 50},  {"CDTIPORECEORIG", S, 50}};
  for (const qortest::Column& c : campos) {
    if (c.name == defeito.semCampo) continue;
    const bool texto = !defeito.valorTexto.empty() && std::string(c.name) == "VRMOVIVEND";
    ds.AddFieldDef(c.name, texto ? S : c.type, texto ? 20 : c.size);
  }
  if (comIndice) ds.AddIndexDef("idxIDTIPORECE", "IDTIPORECE;NRORDTROCO", "IDTIPORECE");
  ds.CreateDataSet();
  const double base = rtl::EncodeDate(2026, 3, 5) + rtl::EncodeTime(9, 0, 0, 0);
  int i = 0;
  for (const Movement& m : rows) {
    std::vector<std::pair<std::string, Variant>> campos = {{"CDFILIAL", Variant("0001")},
                               {"IDTIPOMOVIVE", m.tipo},
                               {"DTHRINCMOV", base + (i++) / 1440.0},
                               {"CDTIPORECE", m.cd},
                               {"NMTIPORECE", m.nm},
                               {"IDTIPORECE", m.id},
                               {"VRMOVIVEND", m.valor},
                               {"NRORDTROCO", m.ordem},
                               {"DSIMPFISCAL", m.dsImp},
                               {"CDBANCARTCR", m.banco},
                               {"CDTIPORECEORIG", m.orig},
                               {"DTMOVIMCAIXA", rtl::EncodeDate(2026, 3, 5)}};
    for (auto& [nome, valor] : campos)
      if (nome == "VRMOVIVEND" && !defeito.valorTexto.empty()) valor = Variant(defeito.valorTexto);
    std::erase_if(campos, [&](const auto& c) { return c.first == defeito.semCampo; });
    qortest::AppendRecord(ds, campos);
  }
  return ds.Data();
}

// The host's payment types, each with the printer's name of its method.
Variant TiposRece() {
  rtl::ClientDataSet ds;
  qortest::MakeTable(ds,
                     {{"CDTIPORECE", rtl::FieldType::String, 3},
                      {"NMTIPORECE", rtl::FieldType::String, 40},
                      {"IDTIPORECE", rtl::FieldType::String, 1}},
                     {{"001", "Dinheiro", "1"},
                      {"002", "Cartao Credito", "4"},
                      {"003", "Convenio", "8"},
                      {"004", "Conta Cliente", "9"},
                      {"005", "Conta Cliente", "A"},
                      {"006", "Dinheiro        Especie", "1"},
                      {"007", "Cartao Debito", "4"}});
  return ds.Data();
}

// The host's positional list with the values of a plain sale.
struct Closing {
  std::vector<Variant> el = std::vector<Variant>(61);
  Closing() {
    el[1] = Variant("CONSUMIDOR NAO IDENTIFICADO");
    el[2] = Variant("001");
    el[4] = Variant(false);
    el[5] = Variant(true);
    el[6] = Variant(0.0);
    el[7] = Variant(0.0);
    el[8] = Variant(0.0);
    el[9] = Variant("N");
    el[10] = Variant("");
    el[11] = Variant(false);
    el[14] = TiposRece();
    el[22] = Variant("7");
    el[23] = Variant("MARIA");
    el[36] = Variant("");
    el[40] = Variant("N");
    el[41] = Variant("001");
    el[42] = Variant("VENDA-1");
    el[43] = Variant("SP");
    el[44] = Variant("11.222.333/0001-81");
    el[51] = Variant(0.0);
  }
  void Pagamentos(const std::vector<Movement>& rows) { el[13] = Movimentos(rows); }
};

class ClosingTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Programa();
  }
  // The payment methods and the voucher totalizer, as a technician programs them.
  void Programa() {
    for (std::string nome : {"Cartao Credito", "Cartao Debito", "Convenio", "Conta Cliente"}) {
      std::string um = "1";
      ASSERT_EQ(reinterpret_cast<int (*)(char*, char*)>(sim.Entry("Elgin_ProgramaFormaPagamentoMFD"))(nome.data(),
                                                                                                   um.data()),
                1)
          << nome;
    }
    std::string cv = "CONTRA-VALE EMITIDO";
    ASSERT_EQ(reinterpret_cast<int (*)(int, char*)>(sim.Entry("Elgin_NomeiaTotalizadorNaoSujeitoIcms"))(2, cv.data()),
              1);
    Qor01100::IdTotParcCV = "02";
  }

  // Opens a coupon with one item of the given value.
  void CupomCom(double valor) {
    Variant abre = Variant::Record({{"ESQUEMACOR", Variant("001")}});
    ASSERT_TRUE(Qor01100::AbreCupom(abre));
    Variant item = ItemRecord("1", "ITEM", 1.0, valor);
    ASSERT_TRUE(Qor01100::VendaItem(item));
    ClearJournal();
    dialogs.clear();
  }

  // Cancels the coupon left open, directly on the printer.
  void CancelaCupom() { reinterpret_cast<int (*)()>(sim.Entry("Elgin_CancelaCupom"))(); }

  bool Fechar(const Closing& f, Variant& ret, rtl::StringList* tef = nullptr) {
    if (ret.IsEmpty()) ret = Variant::CreateArray(4);
    return Qor01100::FechaCupom(Variant(f.el), tef, ret);
  }

  std::string Footer() {
    auto t = Calls("Elgin_TerminaFechamentoCupom");
    return t.empty() ? std::string("<no end of coupon>") : t.back().args[0].get<std::string>();
  }
  std::string Maker() { return rtl::Cp1252ToUtf8(Qor01100::Msg("Velmara")); }
};

TEST_F(ClosingTest, ASaleWithDiscountsTwoPaymentsAndChange) {
  Variant abre = Variant::Record({{"ESQUEMACOR", Variant("001")}});
  ASSERT_TRUE(Qor01100::AbreCupom(abre));
  struct {
    const char* cod;
    double qtde, valor, desconto, acrescimo;
  } itens[] = {{"101", 2, 10.99, 1.98, 0}, {"102", 1, 15, 0, 1}, {"103", 1, 4, 0, 0}};
  for (auto& i : itens) {
    Variant p = ItemRecord(i.cod, "PRODUTO", i.qtde, i.valor, {{"DESCONT", i.desconto}, {"ACRESCIMO", i.acrescimo}});
    ASSERT_TRUE(Qor01100::VendaItem(p));
  }
  ClearJournal();

  Closing f;
  f.el[4] = Variant(true);      // the change as a non-fiscal receipt
  f.el[6] = Variant(5.999);     // subtotal discount: truncated to 5,99
  f.el[7] = Variant(5.99);      // change
  f.el[10] = Variant("Obrigado, volte sempre!");
  f.el[51] = Variant(6.80);
  f.Pagamentos({{"E", "001", 20.00, "1", "1"}, {"E", "002", 20.00, "2", "4"}});
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));

  EXPECT_EQ(ArgsOf("Elgin_IniciaFechamentoCupom"), (std::vector<json>{{"D", "$", "5,99"}}));
  EXPECT_EQ(ArgsOf("Elgin_EfetuaFormaPagamento"),
            (std::vector<json>{{"Cartao Credito", "20,00"}, {"Dinheiro", "20,00"}}))
      << "in the order of the host's payment-type index";
  EXPECT_EQ(Footer(), "CONSUMIDOR NAO IDENTIFICADO\n"
                      "Val Aprox Tributos R$ 6,80 (19,99%) Fonte:IBPT\n"
                      "\n"
                      "Operador: 7 - MARIA\n" +
                          Maker() + "\nObrigado, volte sempre!");
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal"), (std::vector<json>{{"02", "5,99", "Dinheiro"}}));
  std::vector<std::string> ordem;
  // The commands, without the status queries and the readings of the
  // printer's record taken before each registering step.
  for (auto& n : CallNames())
    if (n != "Elgin_VerificaEstadoImpressora" && n != "Elgin_FlagsFiscais" && n != "Elgin_VerificaFormasPagamento")
      ordem.push_back(n);
  EXPECT_EQ(ordem, (std::vector<std::string>{"Elgin_IniciaFechamentoCupom", "Elgin_EfetuaFormaPagamento",
                                             "Elgin_EfetuaFormaPagamento", "Elgin_TerminaFechamentoCupom",
                                             "Elgin_RecebimentoNaoFiscal"}));

  ASSERT_EQ(ret.ArrayLength(), 4u);
  EXPECT_EQ(ret[0].AsInteger(), 0);
  EXPECT_EQ(ret[1].AsString(), "VENDA-1");
  EXPECT_EQ(ret[2].AsString(), "");
  EXPECT_EQ(ret[3].AsString(), "");
  EXPECT_TRUE(SimState()["document"].is_null());

  // The working copy of the movements stays in the data module, in change order.
  rtl::ClientDataSet& copia = Qor01100::DataModule().cdsMovCaixaTef;
  EXPECT_EQ(copia.IndexName(), "idxNRORDTROCO");
  EXPECT_EQ(copia.RecordCount(), 2);
}

TEST_F(ClosingTest, StartOfClosingByDiscountAndServiceCharge) {
  struct Case {
    const char* name;
    double desconto, servico;
    json args;
    const char* trace;
  } casos[] = {
      {"discount and service charge: only the discount", 10.999, 3, {"D", "$", "10,99"},
       "Elgin_IniciaFechamentoCupom : d - $ - 10,99"},
      {"service charge", 0, 2.5, {"A", "$", "2,50"}, "Elgin_IniciaFechamentoCupom : a - $ - 2,50"},
      {"neither", 0, 0, {"d", "$", "0"}, "Elgin_IniciaFechamentoCupom : d - $ - 0"},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    CupomCom(50);
    Closing f;
    f.el[6] = Variant(c.desconto);
    f.el[8] = Variant(c.servico);
    f.Pagamentos({{"E", "001", 100}});
    Variant ret;
    EXPECT_TRUE(Fechar(f, ret));
    EXPECT_EQ(ArgsOf("Elgin_IniciaFechamentoCupom"), std::vector<json>{c.args});
    bool traced = false;
    for (auto& l : DebugLog()) traced = traced || l.find(c.trace) != std::string::npos;
    EXPECT_TRUE(traced);
    EXPECT_TRUE(SimState()["document"].is_null());
  }
}

TEST_F(ClosingTest, PaymentsAreSentFromTheirDecimalValueUnder16CharacterNames) {
  CupomCom(1.12);
  Closing f;
  f.Pagamentos({{"E", "006", 1.115}});  // 1.115 is 1.11499999... as a double
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));
  EXPECT_EQ(ArgsOf("Elgin_EfetuaFormaPagamento"), (std::vector<json>{{"Dinheiro        ", "1,12"}}));
  EXPECT_TRUE(SimState()["document"].is_null());
}

TEST_F(ClosingTest, TransferRowsArePaidButCountOnlyInATransferSale) {
  struct Case {
    const char* name;
    std::string modo;
    bool tef;
    const char* estado;  // the MG programme line carries the net total
  } casos[] = {
      {"no transfer sale: only cash rows count", "N", false, "MINAS LEGAL: 11222333 05032026 1000"},
      {"transfer sale: both count", "S", true, "MINAS LEGAL: 11222333 05032026 4000"},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    CupomCom(40);
    Closing f;
    f.el[9] = Variant(c.modo);
    f.el[11] = Variant(c.tef);
    f.el[43] = Variant("MG");
    f.Pagamentos({{"E", "001", 10, "1", "1"}, {"T", "007", 30, "2", "4"}});
    Variant ret;
    ASSERT_TRUE(Fechar(f, ret));
    EXPECT_EQ(ArgsOf("Elgin_EfetuaFormaPagamento"),
              (std::vector<json>{{"Cartao Debito", "30,00"}, {"Dinheiro", "10,00"}}));
    auto linhas = Lines(Footer());
    ASSERT_GE(linhas.size(), 3u);
    EXPECT_EQ(linhas[2], c.estado);
  }
}

// Packets the closing cannot pay: nothing reaches the printer, the coupon
// stays in its sale stage, the call answers false with the reason logged,
// shown and handed back in the result array; the host can then close again.
// The host's balance tables (elements 32 to 34) as the footer reads them,
// or without the named field.
Variant Saldos(const std::vector<qortest::Column>& colunas, const std::string& semCampo = "") {
  rtl::ClientDataSet ds;
  std::vector<qortest::Column> usadas;
  for (const qortest::Column& c : colunas)
    if (c.name != semCampo) usadas.push_back(c);
  qortest::MakeTable(ds, usadas, {});
  return ds.Data();
}
const std::vector<qortest::Column> kSaldoCred = {{"CDFAMILISALD", rtl::FieldType::String, 10},
                                                 {"NMFAMILISALD", rtl::FieldType::String, 40},
                                                 {"VRSALDCONFAM", rtl::FieldType::Float}};

// Every packet is checked before anything reaches the printer (the printer
// check of a transfer sale included): a packet the closing cannot read is
// refused naming its element and what is wrong, the coupon stays in its
// sale stage, and the host can close it again with good packets.
TEST_F(ClosingTest, PacketsThatCannotBePaidSendNothing) {
  const Variant semIndice = Movimentos({{"E", "001", 10}}, false);
  const struct Case {
    const char* nome;
    std::function<void(Closing&)> estraga;
    const char* motivo;  // in the message
  } casos[] = {
      {"no payment row", [](Closing& f) { f.el[13] = Movimentos({{"S", "001", 10}}); }, "nao tem pagamentos"},
      {"no row at all", [](Closing& f) { f.el[13] = Movimentos({}); }, "nao tem pagamentos"},
      {"no movement packet", [](Closing& f) { f.el[13] = Variant(); }, "elemento 13"},
      {"no payment-type index", [&](Closing& f) { f.el[13] = semIndice; }, "idxIDTIPORECE"},
      {"no movement kind", [](Closing& f) { f.el[13] = Movimentos({{"E", "001", 10}}, true, {"IDTIPOMOVIVE", ""}); },
       "a tabela de movimentos (elemento 13) nao tem o campo IDTIPOMOVIVE"},
      {"no amount", [](Closing& f) { f.el[13] = Movimentos({{"E", "001", 10}}, true, {"VRMOVIVEND", ""}); },
       "VRMOVIVEND"},
      {"an amount that is not a number", [](Closing& f) { f.el[13] = Movimentos({{"E", "001", 10}}, true, {"", "dez"}); },
       "dez"},
      {"no change order, which the movement index needs",
       [](Closing& f) { f.el[13] = Movimentos({{"E", "001", 10}}, true, {"NRORDTROCO", ""}); },
       "a tabela de movimentos (elemento 13) nao tem o campo NRORDTROCO; o indice idxNRORDTROCO precisa de "
       "NRORDTROCO e DTHRINCMOV"},
      {"no movement time, which the movement index needs",
       [](Closing& f) { f.el[13] = Movimentos({{"E", "001", 10}}, true, {"DTHRINCMOV", ""}); },
       "nao tem o campo DTHRINCMOV; o indice idxNRORDTROCO"},
      {"movements given as a text", [](Closing& f) { f.el[13] = Variant("<DATAPACKET/>"); },
       "a tabela de movimentos (elemento 13) nao e um pacote de dados: Invalid data packet"},
      {"payment types without a name", [](Closing& f) { f.el[14] = Saldos({{"CDTIPORECE", rtl::FieldType::String, 3}}); },
       "a tabela de tipos de recebimento (elemento 14) nao tem os campos NMTIPORECE, IDTIPORECE"},
      {"an empty text for the family balances", [](Closing& f) { f.el[33] = Variant(""); },
       "(elemento 33) nao e um pacote de dados: Invalid data packet: a String value"},
      {"a number for the loans", [](Closing& f) { f.el[34] = Variant(7); }, "(elemento 34) nao e um pacote de dados"},
      {"balances without the balance, in a total-balance sale",
       [](Closing& f) {
         f.el[36] = Variant("1");
         f.el[27] = Variant("0");
         f.el[32] = Saldos(kSaldoCred, "VRSALDCONFAM");
       },
       "a tabela de saldos das familias (elemento 32) nao tem o campo VRSALDCONFAM"},
      {"balances without the family name, in a per-family sale",
       [](Closing& f) {
         f.el[36] = Variant("1");
         f.el[27] = Variant("1");
         f.el[32] = Saldos(kSaldoCred, "NMFAMILISALD");
       },
       "(elemento 32) nao tem o campo NMFAMILISALD"},
      {"a bad packet in a transfer sale, before its printer check",
       [](Closing& f) {
         f.el[9] = Variant("T");
         f.el[11] = Variant(true);
         f.el[33] = Variant("");
       },
       "elemento 33"},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.nome);
    CupomCom(10);
    Qor01100::stMensagemTaa.clear();
    Qor01100::boClieUtil = true;
    Closing f;
    f.Pagamentos({{"E", "001", 10}});
    c.estraga(f);
    Variant ret;
    EXPECT_FALSE(Fechar(f, ret));
    EXPECT_EQ(CallNames(), std::vector<std::string>{}) << "nothing reached the printer";
    EXPECT_EQ(SimState()["document"]["stage"], "items");
    EXPECT_EQ(ret[1].AsString(), "VENDA-1") << "the result array is written";
    EXPECT_NE(ret[3].AsString().find(c.motivo), std::string::npos) << ret[3].AsString();
    EXPECT_NE(ret[3].AsString().find("nada foi enviado a impressora."), std::string::npos) << ret[3].AsString();
    EXPECT_FALSE(Qor01100::boClieUtil);
    ASSERT_EQ(Dialogs().size(), 1u);
    EXPECT_NE(Dialogs()[0].request.text.find(c.motivo), std::string::npos);
    bool logado = false;
    for (const std::string& l : DebugLog()) logado |= l.find("ERRO!!! FechaCupom: ") != std::string::npos;
    EXPECT_TRUE(logado);
    // The host closes again with good packets.
    Closing bom;
    bom.Pagamentos({{"E", "001", 10}});
    Variant ret2;
    EXPECT_TRUE(Fechar(bom, ret2));
    EXPECT_TRUE(SimState()["document"].is_null());
    ClearJournal();
    dialogs.clear();
  }
}

// A closing that stops after it reached the printer (the printer refuses a
// step, or its library throws) says where and why in the debug log, and the
// host's messages hold the reason.
TEST_F(ClosingTest, AClosingThatStopsMidwaySaysWhereAndWhy) {
  const struct {
    const char* fn;
    bool lanca;
    const char* porque;
  } casos[] = {
      {"Elgin_IniciaFechamentoCupom", false, "Erro de execu"},
      {"Elgin_EfetuaFormaPagamento", false, "Erro de execu"},
      {"Elgin_TerminaFechamentoCupom", false, "Erro de execu"},
      {"Elgin_IniciaFechamentoCupom", true, "simulated fault in Elgin_IniciaFechamentoCupom"},
      {"Elgin_EfetuaFormaPagamento", true, "simulated fault in Elgin_EfetuaFormaPagamento"},
  };
  for (const auto& c : casos) {
    SCOPED_TRACE(std::string(c.fn) + (c.lanca ? " throws" : " refused"));
    CupomCom(10);
    Qor01100::stMensagemTaa.clear();
    if (c.lanca) sim.raise(c.fn, 1);
    else sim.fail(c.fn, -1, 1);
    Closing f;
    f.el[5] = Variant(false);
    f.Pagamentos({{"E", "001", 10}});
    Variant ret;
    EXPECT_FALSE(Fechar(f, ret));
    std::string linha;
    for (const std::string& l : DebugLog())
      if (l.find("ERRO!!! FechaCupom: o fechamento parou em " + std::string(c.fn)) != std::string::npos) linha = l;
    EXPECT_NE(linha.find(c.porque), std::string::npos) << "log: " << linha;
    EXPECT_NE(Qor01100::stMensagemTaa.find(c.porque), std::string::npos) << Qor01100::stMensagemTaa;
    CancelaCupom();
    ClearJournal();
    dialogs.clear();
  }
}

TEST_F(ClosingTest, ArgumentsWithoutPacketsSendNothing) {
  // The host's list holds only three elements: no movements, no dialogs asked for.
  CupomCom(10);
  Variant args = Variant(std::vector<Variant>{Variant(std::vector<Variant>{}), Variant(std::vector<Variant>{}), Variant(4)});
  Variant ret;
  EXPECT_FALSE(Qor01100::FechaCupom(args, nullptr, ret));
  EXPECT_TRUE(Calls("Elgin_IniciaFechamentoCupom").empty());
  EXPECT_EQ(SimState()["document"]["stage"], "items");
  ASSERT_TRUE(ret.IsArray());
  EXPECT_NE(ret[3].AsString().find("elemento 13"), std::string::npos);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ClosingTest, FailureRuleWithoutDialogsStopsAtOnce) {
  struct Case {
    const char* name;
    const char* fn;
    std::string modo;
    bool tef, operador;
  } casos[] = {
      {"payment refused, no transfer sale", "Elgin_EfetuaFormaPagamento", "N", false, true},
      {"start refused, no transfer sale", "Elgin_IniciaFechamentoCupom", "N", false, true},
      {"end refused, transfer sale on a self-service terminal", "Elgin_TerminaFechamentoCupom", "S", true, false},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    Qor01100::boNUtilTaa = true;
    CupomCom(10);
    Qor01100::boNUtilTaa = c.operador;
    Qor01100::boClieUtil = true;
    sim.fail(c.fn, -1, 1);
    Closing f;
    f.el[5] = Variant(false);
    f.el[9] = Variant(c.modo);
    f.el[11] = Variant(c.tef);
    f.Pagamentos({{"E", "001", 10}});
    Variant ret = Variant(std::vector<Variant>{Variant("x"), Variant("x"), Variant("x"), Variant("x")});
    EXPECT_FALSE(Fechar(f, ret));
    EXPECT_EQ(ret[0].AsString(), "x") << "the result array is not written";
    EXPECT_EQ(ret[3].AsString(), "x");
    EXPECT_FALSE(Qor01100::boClieUtil);
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(Calls(c.fn).size(), 1u);
    // Leave the printer without an open coupon for the next case.
    CancelaCupom();
  }
}

TEST_F(ClosingTest, FailureRuleAsksTheOperatorInATransferSale) {
  for (const char* fn : {"Elgin_IniciaFechamentoCupom", "Elgin_EfetuaFormaPagamento", "Elgin_TerminaFechamentoCupom"}) {
    SCOPED_TRACE(fn);
    CupomCom(10);
    sim.fail(fn, -1, 1);
    answers.push_back(true);
    Closing f;
    f.el[9] = Variant("S");
    f.el[11] = Variant(true);
    f.Pagamentos({{"E", "001", 10}});
    Variant ret;
    ASSERT_TRUE(Fechar(f, ret));
    EXPECT_EQ(Calls(fn).size(), 2u) << "the failed step is repeated";
    EXPECT_EQ(Calls("Elgin_EfetuaFormaPagamento").size(), std::string(fn) == "Elgin_EfetuaFormaPagamento" ? 2u : 1u);
    EXPECT_EQ(ret[0].AsInteger(), 1);
    std::vector<std::string> perguntas;
    for (auto& d : Dialogs())
      if (d.request.question) perguntas.push_back(d.request.text);
    EXPECT_EQ(perguntas, std::vector<std::string>{A("Impressora não responde. Imprimir novamente?")});
    EXPECT_TRUE(SimState()["document"].is_null());
  }
  // The operator gives up: false, the result array untouched.
  CupomCom(10);
  sim.fail("Elgin_EfetuaFormaPagamento", -1, 1);
  answers.push_back(false);
  Closing f;
  f.el[9] = Variant("T");
  f.el[11] = Variant(true);
  f.Pagamentos({{"E", "001", 10}});
  Variant ret = Variant(std::vector<Variant>{Variant("x"), Variant("x"), Variant("x"), Variant("x")});
  EXPECT_FALSE(Fechar(f, ret));
  EXPECT_EQ(ret[0].AsString(), "x");
}

TEST_F(ClosingTest, PrinterCheckOnlyInTransferModeT) {
  struct Case {
    const char* modo;
    bool checked;
  } casos[] = {{"T", true}, {"S", false}};
  for (const Case& c : casos) {
    SCOPED_TRACE(c.modo);
    CupomCom(10);
    Closing f;
    f.el[9] = Variant(c.modo);
    f.el[11] = Variant(true);
    f.Pagamentos({{"E", "001", 10}});
    // The first status query fails: in mode T it is the printer check, which
    // the operator repeats.
    sim.fail("Elgin_VerificaEstadoImpressora", 0, 1);
    if (c.checked) answers.push_back(true);
    Variant ret;
    EXPECT_TRUE(Fechar(f, ret) || !c.checked);
    auto nomes = CallNames();
    if (!nomes.empty() && nomes[0] == "Elgin_FlagsFiscais") nomes.erase(nomes.begin());  // a reading of the record
    ASSERT_FALSE(nomes.empty());
    EXPECT_EQ(nomes[0], c.checked ? "Elgin_VerificaEstadoImpressora" : "Elgin_IniciaFechamentoCupom");
    if (c.checked) {
      EXPECT_EQ(ret[0].AsInteger(), 1);
      EXPECT_TRUE(SimState()["document"].is_null());
    } else {
      CancelaCupom();
    }
  }
}

TEST_F(ClosingTest, APaymentTheLibraryThrowsOnIsDecidedByThePrinter) {
  // The library throws and the printer's payment list shows the payment was
  // not taken: a failed step. In a transfer sale the operator is asked and a
  // yes sends it once more; in a plain sale (no retry question) the closing
  // answers false and the coupon waits in its payment stage, paid nothing.
  for (bool tef : {true, false}) {
    SCOPED_TRACE(tef ? "transfer sale" : "plain sale");
    CupomCom(10);
    sim.raise("Elgin_EfetuaFormaPagamento", 1);
    if (tef) answers.push_back(true);
    Closing f;
    f.el[9] = Variant(tef ? "S" : "N");
    f.el[11] = Variant(tef);
    f.Pagamentos({{"E", "001", 10}});
    Variant ret;
    EXPECT_EQ(Fechar(f, ret), tef);
    const json s = SimState();
    if (tef) {
      EXPECT_EQ(Calls("Elgin_EfetuaFormaPagamento").size(), 2u);
      EXPECT_TRUE(s["document"].is_null());
      EXPECT_EQ(s["last_sale"]["payments"].size(), 1u);
      EXPECT_EQ(ret[1].AsString(), "VENDA-1");
    } else {
      EXPECT_EQ(Calls("Elgin_EfetuaFormaPagamento").size(), 1u);
      ASSERT_TRUE(s["document"].is_object());
      EXPECT_TRUE(s["document"]["payments"].empty());
      CancelaCupom();
    }
    ClearJournal();
    dialogs.clear();
  }
}

TEST_F(ClosingTest, UnknownPaymentTypeUsesTheMovementsOwnMethod) {
  CupomCom(10);
  Closing f;
  Movement m{"E", "099", 10};
  m.dsImp = "Cartao Debito";
  m.id = "4";
  f.Pagamentos({m});
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));
  EXPECT_EQ(ArgsOf("Elgin_EfetuaFormaPagamento"), (std::vector<json>{{"Cartao Debito", "10,00"}}));
}

TEST_F(ClosingTest, CardBankRowsLookUpTheOriginalType) {
  CupomCom(10);
  Closing f;
  Movement m{"T", "099", 10};
  m.banco = "341";
  m.orig = "002";
  f.el[9] = Variant("S");
  f.el[11] = Variant(true);
  f.Pagamentos({m});
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));
  EXPECT_EQ(ArgsOf("Elgin_EfetuaFormaPagamento"), (std::vector<json>{{"Cartao Credito", "10,00"}}));
}

TEST_F(ClosingTest, ABadElementDoesNotLoseTheOnesAfterIt) {
  CupomCom(10);
  Closing f;
  f.el[19] = Variant::Null();  // consumer CPF
  f.el[22] = Variant("8");
  f.el[23] = Variant("JOAO");
  f.Pagamentos({{"E", "001", 10}});
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));
  EXPECT_NE(Footer().find("Operador: 8 - JOAO\n"), std::string::npos);
}

TEST_F(ClosingTest, AgreementPaymentSelectsTheAgreementFooter) {
  CupomCom(10);
  Closing f;
  f.el[15] = Variant("C1");
  f.el[16] = Variant("EMPRESA X");
  f.el[17] = Variant("55");
  f.el[18] = Variant("ANA");
  f.Pagamentos({{"E", "003", 10}});
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));
  auto linhas = Lines(Footer());
  ASSERT_GE(linhas.size(), 4u);
  EXPECT_EQ(linhas[2], "Convênio ..: C1 - EMPRESA X");
  EXPECT_EQ(linhas[3], "Consumidor : 55 - ANA");
}

TEST_F(ClosingTest, ConsumerAccountPaymentsReduceTheBalance) {
  CupomCom(30);
  Closing f;
  f.el[36] = Variant("2");
  f.el[27] = Variant("0");
  f.el[37] = Variant(100.0);  // balance before the sale
  f.el[38] = Variant(2.5);    // subsidised price
  f.Pagamentos({{"E", "004", 10, "1"}, {"E", "005", 5, "2"}, {"E", "001", 15, "3"}});
  Variant ret;
  ASSERT_TRUE(Fechar(f, ret));
  auto linhas = Lines(Footer());
  ASSERT_GE(linhas.size(), 4u);
  EXPECT_EQ(linhas[2], "Saldo Final :   87,50");  // 100 - (10 + 5) + 2,50
  EXPECT_EQ(linhas[3], "Preço subsidiado:  2,50");
}

TEST_F(ClosingTest, StateProgrammesAndTaxLine) {
  struct Case {
    const char* name;
    std::string uf;
    double imposto;
    std::vector<std::string> inicio;  // first footer lines
  } casos[] = {
      {"no programme, no tax", "SP", 0,
       {"CONSUMIDOR NAO IDENTIFICADO", "Val Aprox Tributos R$ 0,00(0,00%) Fonte IBPT", ""}},
      {"MG", "MG", 2.5,
       {"CONSUMIDOR NAO IDENTIFICADO", "Val Aprox Tributos R$ 2,50 (10,00%) Fonte:IBPT",
        "MINAS LEGAL: 11222333 05032026 2500"}},
      {"PB", "PB", 2.5,
       {"CONSUMIDOR NAO IDENTIFICADO", "Val Aprox Tributos R$ 2,50 (10,00%) Fonte:IBPT",
        "PARAIBA LEGAL - RECEITA CIDADA", "\rTORPEDO PREMIADO: 11222333000181 05032026 2500 12345678909"}},
      {"DF", "DF", 2.5,
       {"CONSUMIDOR NAO IDENTIFICADONL", "Val Aprox Tributos R$ 2,50 (10,00%) Fonte:IBPT",
        "\rESTABELECIMENTO INCLUIDO NO PROGRAMA DE ", "\rCONCESSAO DE CREDITOS - LEI nº 4.159/08.",
        "\r\033ENOTA LEGAL:\033F ICMS = 1.234,56", ""}},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    CupomCom(25);
    Closing f;
    f.el[19] = Variant("12345678909999");
    f.el[43] = Variant(c.uf);
    f.el[50] = Variant(1234.56);
    f.el[51] = Variant(c.imposto);
    f.Pagamentos({{"E", "001", 25}});
    Variant ret;
    ASSERT_TRUE(Fechar(f, ret));
    auto linhas = Lines(Footer());
    ASSERT_GE(linhas.size(), c.inicio.size());
    EXPECT_EQ(std::vector<std::string>(linhas.begin(), linhas.begin() + c.inicio.size()), c.inicio);
  }
}

TEST_F(ClosingTest, TableLoyaltyPasswordAndConsumerLine) {
  struct Case {
    const char* name;
    std::string mesa;
    Variant consumidor;  // element 60
    std::vector<std::string> esperado;
  } casos[] = {
      {"table, consumer line by default (null)", "12", Variant::Null(),
       {"CONSUMIDOR NAO IDENTIFICADO", "Val Aprox Tributos R$ 0,00(0,00%) Fonte IBPT",
        "ECF:001-Conf.Mesa -CER: 000010- COO: 000123", "Consumidor : 55 - ANA",
        "SENHA : 42Mesa  : 12           - ", "Operador: 7 - MARIA", "MAKER",
        "    Nesta compra voce ganhou 10 DOTZ    "}},  // the budget of 8 lines leaves out the extra points
      {"tab, no consumer line", "12345", Variant(false),
       {"CONSUMIDOR NAO IDENTIFICADO", "Val Aprox Tributos R$ 0,00(0,00%) Fonte IBPT",
        "ECF:001-Conf.Mesa -CER: 000010- COO: 000123", "SENHA : 42Comanda : 12345   - ", "Operador: 7 - MARIA",
        "MAKER", "    Nesta compra voce ganhou 10 DOTZ    ", "Nesta compra voce ganhou 2,5 DOTZ extras"}},
  };
  for (Case& c : casos) {
    SCOPED_TRACE(c.name);
    for (auto& l : c.esperado)
      if (l == "MAKER") l = Maker();
    CupomCom(10);
    Closing f;
    f.el[17] = Variant("55");
    f.el[18] = Variant("ANA");
    f.el[21] = Variant(c.mesa);
    f.el[28] = Variant("000123");
    f.el[29] = Variant("000010");
    f.el[31] = Variant("42");
    f.el[52] = Variant(10.0);
    f.el[54] = Variant(2.5);
    f.el[60] = c.consumidor;
    f.Pagamentos({{"E", "001", 10}});
    Variant ret;
    ASSERT_TRUE(Fechar(f, ret));
    EXPECT_EQ(Lines(Footer()), c.esperado);
  }
}

TEST_F(ClosingTest, ReducedVoucherInsideTheFooter) {
  struct Case {
    const char* modo;
    std::string imprime;
    bool dentro;
  } casos[] = {{"T", "S", true}, {"T", "N", false}, {"S", "S", false}};
  for (const Case& c : casos) {
    SCOPED_TRACE(std::string(c.modo) + c.imprime);
    CupomCom(10);
    rtl::StringList tef;
    tef.Add("REDE X - VIA REDUZIDA");
    tef.Add("NSU 000123 AUT 654321");
    Closing f;
    f.el[9] = Variant(c.modo);
    f.el[11] = Variant(true);
    f.el[40] = Variant(c.imprime);
    f.Pagamentos({{"T", "002", 10}});
    Variant ret;
    ASSERT_TRUE(Fechar(f, ret, &tef));
    const std::string rodape = Footer();
    EXPECT_EQ(rodape.find("REDE X - VIA REDUZIDA\nNSU 000123 AUT 654321\n") != std::string::npos, c.dentro);
  }
}

TEST_F(ClosingTest, ChangeReceiptOutcomeDoesNotChangeTheResult) {
  CupomCom(10);
  sim.fail("Elgin_RecebimentoNaoFiscal", 0, 1);
  Closing f;
  f.el[4] = Variant(true);
  f.el[5] = Variant(false);
  f.el[7] = Variant(2.5);
  f.Pagamentos({{"E", "001", 12.5}});
  Variant ret;
  EXPECT_TRUE(Fechar(f, ret));
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal"), (std::vector<json>{{"02", "2,50", "Dinheiro"}}));
  EXPECT_EQ(ret[3].AsString(), A(" Erro de comunicação.")) << "its message reaches the host";
}

TEST_F(ClosingTest, ASmallResultArrayIsGrown) {
  CupomCom(10);
  Closing f;
  f.Pagamentos({{"E", "001", 10}});
  Variant ret = Variant::CreateArray(1);
  ASSERT_TRUE(Fechar(f, ret));
  ASSERT_EQ(ret.ArrayLength(), 4u);
  EXPECT_EQ(ret[1].AsString(), "VENDA-1");
}

}  // namespace

namespace {

// Lines of the tape found in this order (each after the one before).
::testing::AssertionResult EmOrdem(const std::string& fita, const std::vector<std::string>& linhas) {
  const std::vector<std::string> todas = Lines(fita);
  size_t i = 0;
  for (const std::string& l : linhas) {
    while (i < todas.size() && todas[i] != l) ++i;
    if (i == todas.size()) return ::testing::AssertionFailure() << "missing or out of order: \"" << l << "\"\n" << fita;
    ++i;
  }
  return ::testing::AssertionSuccess();
}

std::string Direita(const std::string& esquerda, const std::string& direita) {
  return esquerda + std::string(48 - esquerda.size() - direita.size(), ' ') + direita;
}

TEST_F(ClosingTest, TheTapeReadsLikeACoupon) {
  // The first sale of examples/sale.json.
  Variant abre = Variant::Record({{"ESQUEMACOR", Variant("001")},
                                  {"INCLUICPF", Variant("12345678909")},
                                  {"INCLUINOME", Variant("JOSE DA SILVA")},
                                  {"INCLUIENDERECO", Variant("RUA DAS FLORES, 10")}});
  ASSERT_TRUE(Qor01100::AbreCupom(abre));
  struct {
    const char* cod;
    const char* nome;
    double qtde, valor, desconto, acrescimo;
  } itens[] = {{"7891000100103", "ARROZ TIPO 1 5KG", 2, 10.99, 1.98, 0},
               {"7891000200200", "CAFE TORRADO 500G", 1, 15, 0, 1},
               {"7891000300307", "LEITE INTEGRAL 1L", 1, 4, 0, 0}};
  for (auto& i : itens) {
    Variant p = ItemRecord(i.cod, i.nome, i.qtde, i.valor, {{"DESCONT", i.desconto}, {"ACRESCIMO", i.acrescimo}});
    ASSERT_TRUE(Qor01100::VendaItem(p));
  }
  Closing f1;
  f1.el[1] = Variant("Obrigado pela preferencia!");
  f1.el[4] = Variant(true);
  f1.el[6] = Variant(5.999);
  f1.el[7] = Variant(5.99);
  f1.el[10] = Variant("Trocas somente com este cupom.");
  f1.el[51] = Variant(6.80);
  f1.Pagamentos({{"E", "001", 20.00, "1", "1"}, {"E", "002", 20.00, "2", "4"}});
  Variant ret1;
  ASSERT_TRUE(Fechar(f1, ret1));

  // The second: an electronic-funds-transfer sale whose payment is sent twice.
  Variant abre2 = Variant::Record({{"ESQUEMACOR", Variant("001")}, {"IDUTILTEF", Variant("T")}, {"UTILTEF", Variant(true)}});
  ASSERT_TRUE(Qor01100::AbreCupom(abre2));
  Variant item =
      ItemRecord("7891000400404", "AZEITE EXTRA VIRGEM 500ML", 1.0, 32.90, {{"IDUTILTEF", "T"}, {"UTILTEF", true}});
  ASSERT_TRUE(Qor01100::VendaItem(item));
  sim.fail("Elgin_EfetuaFormaPagamento", -1, 1);
  answers.push_back(true);
  rtl::StringList tef;
  tef.Add("REDE - CARTAO DEBITO");
  tef.Add("NSU 000123456  AUT 654321");
  Closing f2;
  f2.el[1] = Variant("Obrigado pela preferencia!");
  f2.el[9] = Variant("T");
  f2.el[11] = Variant(true);
  f2.el[40] = Variant("S");
  f2.el[51] = Variant(5.92);
  f2.Pagamentos({{"T", "007", 32.90, "1", "4"}});
  Variant ret2;
  ASSERT_TRUE(Fechar(f2, ret2, &tef));
  EXPECT_EQ(ret2[0].AsInteger(), 1);

  EXPECT_TRUE(EmOrdem(Tape(), {
      "CPF/CNPJ consumidor: 123.456.789-09",
      "NOME: JOSE DA SILVA",
      "END.: RUA DAS FLORES, 10",
      "001 7891000100103 ARROZ TIPO 1 5KG",
      Direita("     2,000 UN x 10,990  01T18,00%", "21,98"),
      Direita("   desconto item 001", "-1,98"),
      "002 7891000200200 CAFE TORRADO 500G",
      Direita("     1,000 UN x 15,000  01T18,00%", "15,00"),
      Direita("   acrescimo item 002", "+1,00"),
      "003 7891000300307 LEITE INTEGRAL 1L",
      Direita("SUBTOTAL R$", "40,00"),
      Direita("DESCONTO R$", "-5,99"),
      Direita("TOTAL R$", "34,01"),
      Direita("Cartao Credito", "20,00"),
      Direita("Dinheiro", "20,00"),
      Direita("TROCO R$", "5,99"),
      "Obrigado pela preferencia!",
      "Val Aprox Tributos R$ 6,80 (19,99%) Fonte:IBPT",
      "",
      "Operador: 7 - MARIA",
      Maker(),
      "Trocas somente com este cupom.",
      Direita("02 CONTRA-VALE EMITIDO", "5,99"),
      "001 7891000400404 AZEITE EXTRA VIRGEM 500ML",
      Direita("TOTAL R$", "32,90"),
      Direita("Cartao Debito", "32,90"),
      "Obrigado pela preferencia!",
      "Val Aprox Tributos R$ 5,92 (17,99%) Fonte:IBPT",
      "REDE - CARTAO DEBITO",
      "NSU 000123456  AUT 654321",
      "Operador: 7 - MARIA",
  }));
  EXPECT_EQ(Calls("Elgin_EfetuaFormaPagamento").size(), 4u) << "two payments, then the transfer payment twice";
}

// ------------------------------------------------------------------ exactly once

// A sale of one item with a discount, closed with a subtotal discount and one
// cash payment with change. Each registering step in turn is made to fail
// once: not executed by the printer (then retried), or executed with its
// answer lost (with the operator's retry question, and without it on a
// self-service terminal). Each time the operations answer true, every
// registering command is executed once, and the printer's record of the day
// is the clean sale's.
class ExactlyOnceTest : public ClosingTest {
 protected:
  // Every operation of the sale answered true.
  bool Venda(bool tef) {
    const Variant modo = Variant(tef ? "S" : "N");
    Variant abre = Variant::Record({{"ESQUEMACOR", Variant("001")}, {"IDUTILTEF", modo}, {"UTILTEF", Variant(tef)}});
    if (!Qor01100::AbreCupom(abre)) return false;
    Variant item =
        ItemRecord("101", "PRODUTO", 2, 10.99, {{"DESCONT", 1.98}, {"IDUTILTEF", modo}, {"UTILTEF", Variant(tef)}});
    if (!Qor01100::VendaItem(item)) return false;
    Closing f;
    f.el[6] = Variant(0.50);
    f.el[7] = Variant(0.49);
    f.el[9] = modo;
    f.el[11] = Variant(tef);
    // Two payments, so that the first is one the printer's end of the
    // closing cannot vouch for.
    f.Pagamentos({{"E", "001", 10.00, "1", "1"}, {"E", "002", 10.00, "2", "4"}});
    Variant ret;
    return Fechar(f, ret);
  }
  json Registro() {
    const json s = SimState();
    return {{"totals", s["totals"]}, {"last_sale", s["last_sale"]}, {"document", s["document"]}};
  }
  // The journal's calls of fn that the printer executed: answered 1 (not
  // the 1 of a command it did not execute), or executed with the answer lost.
  int Executados(const std::string& fn) {
    int n = 0;
    for (const auto& c : Journal())
      if (c.fn == fn && ((c.ret == 1 && c.injected != "not_executed") || c.injected == "lost_answer")) ++n;
    return n;
  }
  void Novo() {
    ASSERT_EQ(sim.reset(), 0);
    ASSERT_TRUE(BindPrinter());
    Programa();
    ClearJournal();
    dialogs.clear();
    answers.clear();
    Qor01100::boNUtilTaa = true;
  }
};

TEST_F(ExactlyOnceTest, EachRegisteringStepIsRegisteredOnce) {
  ASSERT_TRUE(Venda(true));
  const json limpo = Registro();
  ASSERT_TRUE(limpo["document"].is_null());
  // The registering commands of the clean sale and how often the printer executed each.
  std::map<std::string, int> registrados;
  for (const auto& c : Journal())
    if (const elgin::EntryFacts* e = elgin::FindEntry(c.fn); e && e->effect == elgin::Effect::Registers)
      registrados[c.fn] = Executados(c.fn);
  ASSERT_EQ(registrados.size(), 6u) << "opening, item, its discount, closing start, payments, closing end";

  struct Mode {
    const char* nome;
    bool perda;     // lost answer (else: not executed)
    bool operador;  // the retry question can be asked (else a self-service terminal)
  } modos[] = {{"not executed, retried", false, true},
               {"lost answer, with the question", true, true},
               {"lost answer, self-service", true, false}};
  for (const auto& [fn, vezes] : registrados) {
    for (const Mode& m : modos) {
      SCOPED_TRACE(fn + ": " + m.nome);
      Novo();
      Qor01100::boNUtilTaa = m.operador;
      if (m.perda)
        ASSERT_EQ(sim.lost_answer(fn.c_str(), 1), 0);
      else
        ASSERT_EQ(sim.not_executed(fn.c_str(), 1), 0);
      answers.assign(4, true);
      EXPECT_TRUE(Venda(true));
      for (const auto& [r, n] : registrados) EXPECT_EQ(Executados(r), n) << r;
      EXPECT_EQ(Registro(), limpo);
    }
  }
}

// An item the printer holds whose discount cannot be applied in the end:
// VendaItem answers false and leaves nothing of the item on the coupon.
TEST_F(ExactlyOnceTest, AnItemWhoseDiscountFailsInTheEndIsVoided) {
  Variant abre = Variant::Record({{"ESQUEMACOR", Variant("001")}});
  ASSERT_TRUE(Qor01100::AbreCupom(abre));
  sim.fail("Elgin_AcrescimoDescontoItemMFD", -1, 1);
  answers.push_back(false);  // the operator does not try again
  Variant item = ItemRecord("101", "PRODUTO", 2, 10.99, {{"DESCONT", 1.98}});
  EXPECT_FALSE(Qor01100::VendaItem(item));
  const json doc = SimState()["document"];
  ASSERT_TRUE(doc.is_object());
  ASSERT_EQ(doc["items"].size(), 1u);
  EXPECT_EQ(doc["items"][0]["cancelled"], true);
  EXPECT_EQ(Calls("Elgin_CancelaItemAnterior").size(), 1u);
}

}  // namespace
