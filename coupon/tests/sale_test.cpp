// Coupon opening and item sale through the simulated printer: the vendor
// calls and their arguments, the result records, the retry questions.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/state.h"
#include "hostlib/params.h"
#include "tests/support/module_helpers.h"

namespace {

using nlohmann::json;
using rtl::Variant;

class SaleTest : public qortest::PrinterTest {
 protected:
  static Variant AbreParams(const std::string& idUtilTef = "N", bool utilTef = false) {
    return Variant::Record({{"ESQUEMACOR", Variant("001")},
                            {"INCLUICPF", Variant("12345678909")},
                            {"INCLUINOME", Variant("JOSE DA SILVA")},
                            {"INCLUIENDERECO", Variant("RUA A, 1")},
                            {"CUPNR", Variant("999")},
                            {"CONTCUPOM", Variant("5")},
                            {"TIPOTICKET", Variant("1")},
                            {"IVACOMP", Variant("")},
                            {"IVAPROP", Variant("")},
                            {"TIPODOC", Variant("")},
                            {"NRDOC", Variant("")},
                            {"MESA", Variant("")},
                            {"IDUTILTEF", Variant(idUtilTef)},
                            {"INTTEFERRO", Variant(0)},
                            {"UTILTEF", Variant(utilTef)}});
  }

  struct Item {
    std::string cod = "7891000100103", nome = "ARROZ TIPO 1", aliq = "00";
    double qtde = 2, valor = 10.99, desconto = 0, acrescimo = 0;
    std::string idUtilTef = "N";
    bool utilTef = false;
    Variant Params() const {
      return Variant::Record({{"ESQUEMACOR", Variant("001")},
                              {"CDARVPROD", Variant(cod)},
                              {"NMPROD", Variant(nome)},
                              {"CDALIQ", Variant(aliq)},
                              {"QTDE", Variant(qtde)},
                              {"VALOR", Variant(valor)},
                              {"DESCONT", Variant(desconto)},
                              {"ACRESCIMO", Variant(acrescimo)},
                              {"UNIDADE", Variant("UN")},
                              {"TIPOTICKET", Variant("1")},
                              {"VRPERCALIQ", Variant("18")},
                              {"IDUTILTEF", Variant(idUtilTef)},
                              {"UTILTEF", Variant(utilTef)},
                              {"INTTEFERRO", Variant(0)}});
    }
  };

  void OpenCoupon() {
    Variant p = AbreParams();
    ASSERT_TRUE(Qor01100::AbreCupom(p));
    ClearJournal();
  }

  static std::string Get(const Variant& rec, const char* key) { return hostlib::RecebeParams(rec, key).AsString(); }
  static std::vector<std::string> Keys(const Variant& rec) {
    std::vector<std::string> out;
    for (const Variant& pair : rec.Items()) out.push_back(pair[0].AsString());
    return out;
  }
};

// ------------------------------------------------------------------ opening

TEST_F(SaleTest, OpeningSendsTheConsumerAndAnswersTheCounters) {
  Qor01100::stMensagemTaa = "old message";
  Variant p = AbreParams();
  ASSERT_TRUE(Qor01100::AbreCupom(p));

  auto abre = Calls("Elgin_AbreCupomMFD");
  ASSERT_EQ(abre.size(), 1u);
  EXPECT_EQ(abre[0].args, json({"12345678909", "JOSE DA SILVA", "RUA A, 1"}));

  EXPECT_EQ(Keys(p), (std::vector<std::string>{"INTTEFERRO", "INCLUICPF", "INCLUINOME", "INCLUIENDERECO", "CUPNR",
                                               "CONTCUPOM", "MENSAGEMTAA"}));
  EXPECT_EQ(hostlib::RecebeParams(p, "INTTEFERRO").AsInteger(), 0);
  EXPECT_EQ(Get(p, "INCLUICPF"), "12345678909");
  EXPECT_EQ(Get(p, "INCLUINOME"), "JOSE DA SILVA");
  EXPECT_EQ(Get(p, "INCLUIENDERECO"), "RUA A, 1");
  auto numero = Calls("Elgin_NumeroCupom");
  ASSERT_EQ(numero.size(), 1u);
  EXPECT_EQ(Get(p, "CUPNR"), numero[0].out[0].get<std::string>());
  EXPECT_EQ(Get(p, "CUPNR").size(), 6u);
  EXPECT_EQ(Get(p, "CONTCUPOM"), "000001");
  EXPECT_EQ(Get(p, "MENSAGEMTAA"), "") << "the opening clears the collected messages";
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(SaleTest, FailedOpeningEchoesTheHostsValues) {
  sim.fail("Elgin_AbreCupomMFD", 0, 1);
  Variant p = AbreParams();
  EXPECT_FALSE(Qor01100::AbreCupom(p));
  EXPECT_EQ(Calls("Elgin_AbreCupomMFD").size(), 1u);
  EXPECT_TRUE(Calls("Elgin_NumeroCupom").empty());
  EXPECT_EQ(Keys(p).size(), 7u);
  EXPECT_EQ(Get(p, "CUPNR"), "999");
  EXPECT_EQ(Get(p, "CONTCUPOM"), "000005");
  EXPECT_EQ(Get(p, "MENSAGEMTAA"), A(" Erro de comunicação."));
  // The operator is told, but not asked to retry outside an electronic-funds-transfer sale.
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_FALSE(Dialogs()[0].request.question);
}

TEST_F(SaleTest, OpeningRetriesInAnElectronicFundsTransferSale) {
  sim.fail("Elgin_AbreCupomMFD", 0, 1);
  answers.push_back(true);
  Qor01100::boClieUtil = true;
  Variant p = AbreParams("T", true);
  ASSERT_TRUE(Qor01100::AbreCupom(p));
  EXPECT_EQ(Calls("Elgin_AbreCupomMFD").size(), 2u);
  EXPECT_EQ(hostlib::RecebeParams(p, "INTTEFERRO").AsInteger(), 1);
  EXPECT_EQ(Get(p, "MENSAGEMTAA"), "") << "cleared again before the second attempt";
  EXPECT_FALSE(Qor01100::boClieUtil);
  const auto questions = [&] {
    std::vector<hostlib::DialogRecord> q;
    for (auto& d : Dialogs())
      if (d.request.question) q.push_back(d);
    return q;
  }();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].request.text, A("Impressora não responde. Imprimir novamente?"));
  EXPECT_EQ(questions[0].request.kind, 3);
  EXPECT_EQ(questions[0].request.scheme, "001");
}

TEST_F(SaleTest, RefusedOpeningRetryLeavesTheRecord) {
  sim.fail("Elgin_AbreCupomMFD", 0, 1);
  answers.push_back(false);
  Variant p = AbreParams("S", true);
  const Variant antes = p;
  EXPECT_FALSE(Qor01100::AbreCupom(p));
  EXPECT_TRUE(p == antes);
  EXPECT_EQ(Calls("Elgin_AbreCupomMFD").size(), 1u);
}

TEST_F(SaleTest, SelfServiceOpeningIsNeverAsked) {
  Qor01100::boNUtilTaa = false;
  sim.fail("Elgin_AbreCupomMFD", 0, 1);
  answers.push_back(true);
  Variant p = AbreParams("T", true);
  EXPECT_FALSE(Qor01100::AbreCupom(p));
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_EQ(Keys(p).size(), 7u);
  EXPECT_EQ(Get(p, "MENSAGEMTAA"), A(" Erro de comunicação."));
}

// ------------------------------------------------------------------ items

TEST_F(SaleTest, AmountsAreSentWithThreeDecimalsFromTheirDecimalValue) {
  OpenCoupon();
  struct Case {
    double qtde, valor;
    const char* qtdeTexto;
    const char* valorTexto;
  } casos[] = {
      {2, 10.99, "2,000", "10,990"},
      {0.35, 4.35, "0,350", "4,350"},     // 4.35 is 4.3499999... as a double
      {1, 10.999, "1,000", "10,990"},     // the price is truncated to cents
      {1.0005, 1, "1,001", "1,000"},      // 1.0005 is 1.000499999... as a double
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.qtdeTexto);
    ClearJournal();
    Item it;
    it.qtde = c.qtde;
    it.valor = c.valor;
    Variant p = it.Params();
    ASSERT_TRUE(Qor01100::VendaItem(p));
    auto v = Calls("Elgin_VendeItem");
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].args, json({"7891000100103", "ARROZ TIPO 1", "00", "F", c.qtdeTexto, 3, c.valorTexto, "$", "0000"}));
  }
}

TEST_F(SaleTest, DiscountOrSurchargeFollowsTheItem) {
  OpenCoupon();
  struct Case {
    const char* name;
    double desconto, acrescimo;
    const char* tipo;   // "" = no adjustment
    const char* valor;
  } casos[] = {
      {"discount", 12.34, 0, "D", "1,234"},
      {"surcharge", 0, 5, "A", "0,500"},
      {"both: only the discount", 1, 2, "D", "0,100"},
      {"discount of a binary-inexact amount", 4.35, 0, "D", "0,435"},
      {"neither", 0, 0, "", ""},
  };
  int n = 0;
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    Item it;
    it.desconto = c.desconto;
    it.acrescimo = c.acrescimo;
    Variant p = it.Params();
    ASSERT_TRUE(Qor01100::VendaItem(p));
    ++n;
    auto ultimo = Calls("Elgin_UltimoItemVendido");
    auto ajuste = Calls("Elgin_AcrescimoDescontoItemMFD");
    if (std::string(c.tipo).empty()) {
      EXPECT_TRUE(ultimo.empty());
      EXPECT_TRUE(ajuste.empty());
      continue;
    }
    ASSERT_EQ(ultimo.size(), 1u);
    ASSERT_EQ(ajuste.size(), 1u);
    char item[16];
    std::snprintf(item, sizeof item, "%04d", n);
    EXPECT_EQ(ultimo[0].out[0], item);
    EXPECT_EQ(ajuste[0].args, json({item, c.tipo, "$", c.valor}));
    // Before each registering step, the reading of the printer's record that
    // would tell, should its answer be lost, whether it took effect.
    EXPECT_EQ(CallNames(), (std::vector<std::string>{"Elgin_VerificaEstadoImpressora", "Elgin_VerificaEstadoImpressora",
                                                     "Elgin_VendaBruta", "Elgin_VendeItem",
                                                     "Elgin_VerificaEstadoImpressora", "Elgin_UltimoItemVendido",
                                                     "Elgin_VerificaEstadoImpressora", "Elgin_Descontos",
                                                     "Elgin_Acrescimos", "Elgin_AcrescimoDescontoItemMFD",
                                                     "Elgin_VerificaEstadoImpressora"}));
  }
}

TEST_F(SaleTest, ItemResultRecordAndTraces) {
  OpenCoupon();
  Item it;
  it.desconto = 12.34;
  Variant p = it.Params();
  ASSERT_TRUE(Qor01100::VendaItem(p));
  EXPECT_EQ(Keys(p), (std::vector<std::string>{"INTTEFERRO", "MENSAGEMTAA"}));
  EXPECT_EQ(hostlib::RecebeParams(p, "INTTEFERRO").AsInteger(), 0);
  auto log = DebugLog();
  auto has = [&](const std::string& s) {
    for (auto& l : log)
      if (l.size() >= s.size() && l.compare(l.size() - s.size(), s.size(), s) == 0) return true;
    return false;
  };
  EXPECT_TRUE(has("Elgin_VendeItem : 7891000100103 - ARROZ TIPO 1 - 00 - F - 2,000 - 10,990 - 0000"));
  EXPECT_TRUE(has("Elgin_UltimoItemVendido : 0001"));
  EXPECT_TRUE(has("Elgin_AcrescimoDescontoItemMFD : 0001 - D - $ - 1,234"));
}

TEST_F(SaleTest, LongNamesAreCutForThePrinterAndTheQuestion) {
  OpenCoupon();
  const std::string nome = "PRODUTO COM UM NOME MUITO COMPRIDO PARA A IMPRESSORA FISCAL XYZ";
  ASSERT_GT(nome.size(), 50u);
  sim.fail("Elgin_VendeItem", -1, 1);
  answers.push_back(false);
  Item it;
  it.nome = nome;
  Variant p = it.Params();
  const Variant antes = p;
  EXPECT_FALSE(Qor01100::VendaItem(p));
  EXPECT_TRUE(p == antes) << "a refused retry leaves the host's record";
  auto v = Calls("Elgin_VendeItem");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].args[1], nome.substr(0, 50));
  ASSERT_FALSE(Dialogs().empty());
  const auto q = Dialogs().back();
  EXPECT_TRUE(q.request.question);
  EXPECT_EQ(q.request.text, A("Erro ao imprimir o item: ") + "\r\n7891000100103 - " + nome.substr(0, 20) + "\r\n" +
                                "Deseja imprimir novamente?");
}

TEST_F(SaleTest, RefusedItemKeepsItsDiscountOffThePreviousItem) {
  OpenCoupon();
  Item primeiro;
  Variant p1 = primeiro.Params();
  ASSERT_TRUE(Qor01100::VendaItem(p1));
  ClearJournal();
  Qor01100::boNUtilTaa = false;  // no question: the item simply fails
  sim.fail("Elgin_VendeItem", 0, 1);
  Item segundo;
  segundo.desconto = 1;
  Variant p2 = segundo.Params();
  EXPECT_FALSE(Qor01100::VendaItem(p2));
  EXPECT_TRUE(Calls("Elgin_UltimoItemVendido").empty());
  EXPECT_TRUE(Calls("Elgin_AcrescimoDescontoItemMFD").empty());
  EXPECT_EQ(Keys(p2), (std::vector<std::string>{"INTTEFERRO", "MENSAGEMTAA"}));
  EXPECT_FALSE(Qor01100::boClieUtil);
}

TEST_F(SaleTest, RetryAfterAFailedDiscountDoesNotSellTheItemTwice) {
  OpenCoupon();
  sim.fail("Elgin_AcrescimoDescontoItemMFD", 0, 1);
  answers.push_back(true);
  Item it;
  it.desconto = 2;
  Variant p = it.Params();
  ASSERT_TRUE(Qor01100::VendaItem(p));
  EXPECT_EQ(Calls("Elgin_VendeItem").size(), 1u);
  EXPECT_EQ(Calls("Elgin_UltimoItemVendido").size(), 1u);
  auto ajuste = Calls("Elgin_AcrescimoDescontoItemMFD");
  ASSERT_EQ(ajuste.size(), 2u);
  EXPECT_EQ(ajuste[1].args, json({"0001", "D", "$", "0,200"}));
  EXPECT_EQ(SimState()["document"]["items"].size(), 1u);
}

TEST_F(SaleTest, ItemRetryInAnElectronicFundsTransferSale) {
  OpenCoupon();
  {
    sim.fail("Elgin_VendeItem", 0, 1);
    answers.push_back(true);
    Item it;
    it.idUtilTef = "S";
    it.utilTef = true;
    Variant p = it.Params();
    ASSERT_TRUE(Qor01100::VendaItem(p));
    EXPECT_EQ(Calls("Elgin_VendeItem").size(), 2u);
    EXPECT_EQ(Dialogs().back().request.text, A("Impressora não responde. Imprimir novamente?"));
    EXPECT_EQ(hostlib::RecebeParams(p, "INTTEFERRO").AsInteger(), 0);
  }
  {
    ClearJournal();
    sim.fail("Elgin_VendeItem", 0, 1);
    answers.push_back(false);
    Item it;
    it.idUtilTef = "T";
    it.utilTef = true;
    Variant p = it.Params();
    EXPECT_FALSE(Qor01100::VendaItem(p));
    ASSERT_EQ(p.ArrayLength(), 1u);
    EXPECT_EQ(p[0][0].AsString(), "INTTEFERRO");
    EXPECT_EQ(p[0][1].AsInteger(), 3);
  }
}

TEST_F(SaleTest, AnErrorInsideTheLibraryIsShownAndTheItemRetried) {
  OpenCoupon();
  sim.raise("Elgin_VendeItem", 1);
  answers.push_back(true);
  Item it;
  Variant p = it.Params();
  ASSERT_TRUE(Qor01100::VendaItem(p));
  EXPECT_EQ(SimState()["document"]["items"].size(), 1u);
  ASSERT_GE(Dialogs().size(), 2u);
  const auto aviso = Dialogs().front().request;
  EXPECT_FALSE(aviso.question);
  EXPECT_EQ(aviso.kind, 3);
  EXPECT_EQ(aviso.scheme, "001");
  EXPECT_EQ(Dialogs().back().request.text.rfind(A("Erro ao imprimir o item: "), 0), 0u);
}

TEST_F(SaleTest, AnItemNeedsItsProductFields) {
  OpenCoupon();
  Variant p = Variant::Record({{"CDARVPROD", Variant("1")}, {"NMPROD", Variant("X")}});
  EXPECT_THROW(Qor01100::VendaItem(p), hostlib::EParamNotFound);
  EXPECT_TRUE(Calls("Elgin_VendeItem").empty());
}

// ------------------------------------------------------------------ small services

TEST_F(SaleTest, CouponNumber) {
  OpenCoupon();
  const std::string n = Qor01100::Nr_Cupom("", "001");
  EXPECT_EQ(n.size(), 6u);
  EXPECT_EQ(Qor01100::stRetorno, n);
  sim.fail("Elgin_NumeroCupom", 0, 1);
  EXPECT_EQ(Qor01100::Nr_Cupom("", "001"), "");
}

TEST_F(SaleTest, SurchargeTotalKeepsInRetornoAndCancelsAnOpenCoupon) {
  OpenCoupon();
  Item it;
  it.acrescimo = 5;
  Variant p = it.Params();
  ASSERT_TRUE(Qor01100::VendaItem(p));
  ClearJournal();
  // With the coupon open the printer reports it, and the query cancels it.
  std::string total;
  EXPECT_TRUE(Qor01100::Acrescimo_Imp("", total));
  EXPECT_EQ(total, "0000000000500");
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
  EXPECT_TRUE(SimState()["document"].is_null());
  EXPECT_TRUE(Dialogs().empty());
  // Without a coupon the query's code is analysed but not kept.
  ClearJournal();
  Qor01100::inRetorno = 42;
  EXPECT_TRUE(Qor01100::Acrescimo_Imp("", total));
  EXPECT_EQ(total, "0000000000500");
  EXPECT_EQ(Qor01100::inRetorno, 42);
  EXPECT_TRUE(Calls("Elgin_CancelaCupom").empty());
}

TEST_F(SaleTest, RemoveAcentosOnlyReplacesBackslashes) {
  const std::pair<std::string, std::string> casos[] = {
      {"a\\b", "a|b"}, {A("ação é"), A("ação é")}, {"", ""}, {"\\\\", "||"}};
  for (auto& [in, out] : casos) EXPECT_EQ(Qor01100::RemoveAcentos(in), out) << in;
}

}  // namespace

namespace {

// Operations called before the driver was started fail as a communication
// error instead of crashing the host.
class NotStartedTest : public qortest::ModuleTest {};

TEST_F(NotStartedTest, OpeningAndItemsFailCleanly) {
  Qor01100::boNUtilTaa = false;
  rtl::Variant abre = rtl::Variant::Record({{"CUPNR", rtl::Variant("10")}});
  EXPECT_FALSE(Qor01100::AbreCupom(abre));
  EXPECT_EQ(hostlib::RecebeParams(abre, "MENSAGEMTAA").AsString().rfind(A(" Erro de comunicação."), 0), 0u);
  rtl::Variant item = qortest::ItemRecord("1", "X", 1.0, 1.0, {{"DESCONT", 0.5}});
  EXPECT_FALSE(Qor01100::VendaItem(item));
  EXPECT_EQ(Qor01100::Nr_Cupom("", ""), "");
  std::string total;
  EXPECT_FALSE(Qor01100::Acrescimo_Imp("", total));
}

}  // namespace
