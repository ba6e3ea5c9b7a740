// The coupon footer: line budget, layouts, balance blocks, loyalty and
// voucher lines; the CNPJ helper and the barcode stub.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/frame.h"
#include "tests/support/module_helpers.h"

namespace {

using qortest::Lines;
using qortest::ModuleTest;
using qortest::Row;

// The footer's arguments with the values of a plain sale.
struct Footer {
  int32_t orcamento = 8;
  std::string tipoVendaCons, primeira = "CPF/CNPJ: 12345678909", imposto = "Val Aprox Tributos R$ 1,00 (10,00%) Fonte:IBPT";
  std::string estado, uf = "SP", cdCli, nmCli, cdCons, nmCons, cdOp = "7", nmOp = "MARIA", mesa, senha;
  std::string obs, ecf = "001", cer, coo, modoSaldo, variante = "2";
  double totCons = 0, subsidio = 0, saldoAnt = 0;
  rtl::ClientDataSet* saldo = nullptr;
  rtl::ClientDataSet* familia = nullptr;
  rtl::ClientDataSet* emprestimo = nullptr;
  bool tefRed = false;
  rtl::StringList* tef = nullptr;
  std::string dotz, dotzExtra;
  bool imprimeCons = true;

  std::string Call() const {
    return Qor01100::Formata_rodape(orcamento, tipoVendaCons, primeira, imposto, estado, uf, cdCli, nmCli, cdCons,
                                    nmCons, cdOp, nmOp, mesa, senha, "p15", "p16", "p17", obs, ecf, cer, coo,
                                    modoSaldo, variante, totCons, subsidio, saldoAnt, saldo, familia, emprestimo,
                                    tefRed, tef, dotz, dotzExtra, imprimeCons);
  }
};

class FooterTest : public ModuleTest {
 protected:
  std::string Maker() { return Qor01100::Msg("Velmara"); }
  std::string Operador() { return "Operador: 7 - MARIA"; }

  // Balance tables as the host's packets carry them: family, name, balance;
  // family, balance; family, movement kind, amount.
  static void Saldos(rtl::ClientDataSet& ds, const std::vector<Row>& rows) {
    qortest::MakeTable(ds,
                       {{"CDFAMILISALD", rtl::FieldType::String, 10},
                        {"NMFAMILISALD", rtl::FieldType::String, 40},
                        {"VRSALDCONFAM", rtl::FieldType::Float}},
                       rows);
  }
  static void FamiliaSaldo(rtl::ClientDataSet& ds, const std::vector<Row>& rows) {
    qortest::MakeTable(ds, {{"CDFAMILISALD", rtl::FieldType::String, 10}, {"VRSALDCONFAM", rtl::FieldType::Float}},
                       rows);
  }
  static void Emprestimos(rtl::ClientDataSet& ds, const std::vector<Row>& rows) {
    qortest::MakeTable(ds,
                       {{"CDFAMILISALD", rtl::FieldType::String, 10},
                        {"IDTPMOVEXT", rtl::FieldType::String, 1},
                        {"VRMOVEXTCONS", rtl::FieldType::Float}},
                       rows);
  }
};

TEST_F(FooterTest, PlainSaleHasOperatorMakerAndObservation) {
  Footer r;
  r.obs = "Volte sempre";
  EXPECT_EQ(r.Call(), r.primeira + "\n" + r.imposto + "\n" + "\n" + Operador() + "\n" + Maker() + "\n" + "Volte sempre");
}

TEST_F(FooterTest, OptionalLinesStopAtTheBudget) {
  Footer r;
  r.estado = "MINAS LEGAL: 12345678 05032026 1000";
  r.mesa = "Mesa  : 12           - ";
  r.ecf = "001";
  r.cer = "000010";
  r.coo = "000123";
  r.cdCli = "C1";
  r.nmCli = "JOSE";
  r.cdCons = "55";
  r.nmCons = "ANA";
  r.tipoVendaCons = "2";
  r.modoSaldo = "0";
  r.saldoAnt = 100;
  r.totCons = 30;
  r.subsidio = 5;
  r.senha = "SENHA : 77";
  r.dotz = "Nesta compra voce ganhou 10 DOTZ";
  r.obs = "x";
  const std::vector<std::string> esperado = {r.primeira,
                                             r.imposto,
                                             r.estado,
                                             "ECF:001-Conf.Mesa -CER: 000010- COO: 000123",
                                             "Cliente: C1 - JOSE",
                                             "Consumidor : 55 - ANA",
                                             "Saldo Final :   75,00",
                                             A("Preço subsidiado:  5,00")};
  const std::string rodape = r.Call();
  EXPECT_EQ(Lines(rodape), esperado);
  EXPECT_EQ(rodape.back(), '\n') << "the observation has no room left";
}

// A budget below zero (the smallest integer included, whose room left used
// to overflow) leaves no room, as zero does; the largest fits every line.
TEST_F(FooterTest, BudgetsOutsideTheUsualRangeAreClamped) {
  Footer r;
  r.cdCli = "C1";
  r.nmCli = "JOSE";
  r.obs = "Volte sempre";
  r.orcamento = 0;
  const std::string semEspaco = r.Call();
  EXPECT_EQ(semEspaco, r.primeira + "\n" + r.imposto + "\n");
  r.orcamento = 100;
  const std::string comEspaco = r.Call();
  const struct {
    int32_t orcamento;
    const std::string& esperado;
  } casos[] = {{-1, semEspaco}, {INT32_MIN, semEspaco}, {INT32_MIN + 1, semEspaco}, {INT32_MAX, comEspaco}};
  for (const auto& c : casos) {
    r.orcamento = c.orcamento;
    EXPECT_EQ(r.Call(), c.esperado) << c.orcamento;
  }
}

TEST_F(FooterTest, CustomerAndConsumerLinesAreCutTo48Columns) {
  Footer r;
  r.cdCli = "000123";
  r.nmCli = std::string(60, 'N');
  r.cdCons = "000456";
  r.nmCons = std::string(60, 'M');
  const auto linhas = Lines(r.Call());
  ASSERT_GE(linhas.size(), 4u);
  // 9 columns of caption and 40 of customer, cut to 48.
  EXPECT_EQ(linhas[2], ("Cliente: 000123 - " + std::string(60, 'N')).substr(0, 48));
  EXPECT_EQ(linhas[2].size(), 48u);
  EXPECT_EQ(linhas[3], ("Consumidor : 000456 - " + std::string(60, 'M')).substr(0, 48));
}

TEST_F(FooterTest, ConsumerLineNeedsTheFlagAndACode) {
  struct Case {
    const char* name;
    bool flag;
    std::string code;
    bool shown;
  } casos[] = {{"flag and code", true, "55", true}, {"flag off", false, "55", false}, {"no code", true, "", false}};
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    Footer r;
    r.imprimeCons = c.flag;
    r.cdCons = c.code;
    r.nmCons = "ANA";
    EXPECT_EQ(r.Call().find("Consumidor : ") != std::string::npos, c.shown);
  }
}

TEST_F(FooterTest, LoyaltyTextsAreCentredIn40Columns) {
  Footer r;
  r.dotz = "Nesta compra voce ganhou 10 DOTZ";
  r.dotzExtra = "Nesta compra voce ganhou 5 DOTZ extras";
  const auto linhas = Lines(r.Call());
  ASSERT_EQ(linhas.size(), 7u);
  EXPECT_EQ(linhas[5], "    Nesta compra voce ganhou 10 DOTZ    ");
  EXPECT_EQ(linhas[6], " Nesta compra voce ganhou 5 DOTZ extras ");
}

TEST_F(FooterTest, ObservationNeedsRoomForAllItsLines) {
  struct Case {
    const char* name;
    std::string estado;  // one more line before the optional ones
    std::string obs;
    bool included;
  } casos[] = {
      {"three lines, three left", "", "L1\nL2\nL3\n", true},
      {"three lines, two left", "PROGRAMA", "L1\nL2\nL3\n", false},
      {"two lines, two left", "PROGRAMA", "L1\nL2\n", true},
      {"one line without line feed", "PROGRAMA", "Obrigado", true},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    Footer r;
    r.estado = c.estado;
    r.obs = c.obs;
    const std::string rodape = r.Call();
    const std::string semObs = rodape.substr(0, rodape.size() - (c.included ? c.obs.size() : 0));
    EXPECT_EQ(rodape.size() >= c.obs.size() && rodape.compare(rodape.size() - c.obs.size(), c.obs.size(), c.obs) == 0,
              c.included);
    EXPECT_EQ(semObs.substr(semObs.size() - Maker().size() - 1), Maker() + "\n");
  }
}

TEST_F(FooterTest, FamilyBlockShowsTheFirstTwoFamiliesAfterTheSale) {
  rtl::ClientDataSet saldo, familia, emprestimo;
  Saldos(saldo, {{"F1", "FAMILIA UM", 100}, {"F2", "FAMILIA DOIS", 50}, {"F3", "FAMILIA TRES", 70}});
  FamiliaSaldo(familia, {{"f1", 20}, {"F2", 10}});
  Emprestimos(emprestimo, {{"F1", "D", 5}, {"F1", "C", 1000}, {"F2", "C", 3}});
  Footer r;
  r.tipoVendaCons = "1";
  r.modoSaldo = "1";
  r.saldo = &saldo;
  r.familia = &familia;
  r.emprestimo = &emprestimo;
  const std::vector<std::string> esperado = {
      r.primeira,
      r.imposto,
      "FAMILIA UM" + std::string(15, ' ') + std::string(17, ' ') + "75,00",    // 100 - 20 - 5 (debit wins)
      "FAMILIA DOIS" + std::string(13, ' ') + std::string(17, ' ') + "43,00",  // 50 - 10 + 3 (credit, no debit)
      "",
      Operador(),
      Maker()};
  EXPECT_EQ(Lines(r.Call()), esperado);
}

TEST_F(FooterTest, FamilyBlockSkipsZeroBalancesAndLeavesOutWhatDoesNotFit) {
  rtl::ClientDataSet saldo;
  Saldos(saldo, {{"F1", "FAMILIA UM", 0}, {"F2", "FAMILIA DOIS", 12.5}});
  Footer r;
  r.tipoVendaCons = "1";
  r.modoSaldo = "1";
  r.saldo = &saldo;
  {
    // No family or loan table: the balance is shown as it is.
    const auto linhas = Lines(r.Call());
    ASSERT_GE(linhas.size(), 3u);
    EXPECT_EQ(linhas[2], "FAMILIA DOIS" + std::string(13, ' ') + std::string(17, ' ') + "12,50");
  }
  {
    // A budget of three lines leaves one for a block of one: it fits.
    r.orcamento = 3;
    EXPECT_EQ(Lines(r.Call()).size(), 3u);
  }
  rtl::ClientDataSet saldo2;
  Saldos(saldo2, {{"F1", "FAMILIA UM", 1}, {"F2", "FAMILIA DOIS", 2}});
  r.saldo = &saldo2;
  r.orcamento = 3;
  // A block of two lines in one line of budget is left out; the password
  // and table line takes the last line.
  EXPECT_EQ(Lines(r.Call()), (std::vector<std::string>{r.primeira, r.imposto, ""}));
}

TEST_F(FooterTest, TotalBalanceBlocks) {
  rtl::ClientDataSet saldo, vazio;
  Saldos(saldo, {{"F1", "A", 100}, {"F2", "B", 50.5}});
  Saldos(vazio, {});
  struct Case {
    const char* name;
    std::string tipo, modo;
    rtl::ClientDataSet* tabela;
    std::string linha;  // "" = no balance line
  } casos[] = {
      {"consumer sale, total of the families less the account", "1", "0", &saldo, "Saldo Final :   130,25"},
      {"consumer sale, empty table", "1", "0", &vazio, "Saldo Final :   0,00"},
      {"consumer sale, no table", "1", "0", nullptr, "Saldo Final :   0,00"},
      {"card sale, balance before less account plus subsidy", "2", "0", nullptr, "Saldo Final :   89,75"},
      {"card sale per family mode", "2", "1", nullptr, "Saldo Final :   89,75"},
      {"no consumer sale", "", "0", &saldo, ""},
  };
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    Footer r;
    r.tipoVendaCons = c.tipo;
    r.modoSaldo = c.modo;
    r.saldo = c.tabela;
    r.totCons = 20.25;
    r.saldoAnt = 110;
    const auto linhas = Lines(r.Call());
    if (c.linha.empty()) {
      EXPECT_EQ(linhas.size(), 5u);
    } else {
      ASSERT_GE(linhas.size(), 3u);
      EXPECT_EQ(linhas[2], c.linha);
    }
  }
}

TEST_F(FooterTest, AgreementLayoutHasEveryLineWithoutBudget) {
  Footer r;
  r.variante = "1";
  r.orcamento = 2;
  r.cdCli = "C1";
  r.nmCli = "EMPRESA";
  r.cdCons = "55";
  r.nmCons = "ANA";
  r.saldoAnt = 100;
  r.totCons = 30;
  r.subsidio = 5;
  r.senha = "SENHA : 9";
  r.mesa = "Mesa  : 3           - ";
  r.obs = "Obrigado";
  const std::string rodape = r.Call();
  EXPECT_EQ(Lines(rodape),
            (std::vector<std::string>{r.primeira, r.imposto, "ECF:001-Conf.Mesa -CER: - COO: ",
                                      A("Convênio ..: C1 - EMPRESA"), "Consumidor : 55 - ANA",
                                      "Saldo Final :  - 75,00", A("Preço subsidiado: - 5,00"),
                                      "SENHA : 9Mesa  : 3           - ", Operador(), Maker(), "Obrigado"}));
  r.obs = "L1\nL2\n";
  const std::string comDuasLinhas = r.Call();
  EXPECT_EQ(comDuasLinhas.substr(comDuasLinhas.size() - Maker().size() - 1), Maker() + "\n")
      << "an observation of two lines is left out";
}

TEST_F(FooterTest, OtherLayoutsHaveOnlyTheFixedLines) {
  Footer r;
  r.variante = "3";
  r.estado = "PROGRAMA";
  r.mesa = "Mesa  : 3           - ";
  r.cer = "1";
  r.coo = "2";
  r.cdCli = "C1";
  r.obs = "x";
  EXPECT_EQ(r.Call(), r.primeira + "\n" + r.imposto + "\nPROGRAMA\nECF:001-Conf.Mesa -CER: 1- COO: 2\n");
}

TEST_F(FooterTest, AnEmptyFamilyBlockTakesItsLineOfTheBudget) {
  // Every family at zero: the block prints nothing but counts one line, so a
  // one-line observation no longer fits in a budget of 6.
  rtl::ClientDataSet saldo;
  Saldos(saldo, {{"F1", "FAMILIA UM", 0}, {"F2", "FAMILIA DOIS", 0}});
  Footer r;
  r.tipoVendaCons = "1";
  r.modoSaldo = "1";
  r.saldo = &saldo;
  r.orcamento = 6;
  r.obs = "Volte sempre";
  EXPECT_EQ(Lines(r.Call()), (std::vector<std::string>{r.primeira, r.imposto, "", Operador(), Maker()}));
}

TEST_F(FooterTest, ReducedVoucherLinesComeBeforeTheCustomer) {
  rtl::StringList tef;
  tef.Add("VIA CLIENTE\nREDE X\n");
  tef.Add("NSU 123");  // a last piece without a line feed is printed too
  tef.Add("");         // an empty entry adds nothing and takes no line
  Footer r;
  r.tef = &tef;
  r.cdCli = "C1";
  r.nmCli = "JOSE";
  r.tefRed = true;
  EXPECT_EQ(Lines(r.Call()), (std::vector<std::string>{r.primeira, r.imposto, "VIA CLIENTE", "REDE X", "NSU 123",
                                                        "Cliente: C1 - JOSE", "", Operador()}))
      << "voucher lines count against the budget: the maker line has no room left";
  r.tefRed = false;
  EXPECT_EQ(Lines(r.Call()), (std::vector<std::string>{r.primeira, r.imposto, "Cliente: C1 - JOSE", "", Operador(),
                                                        Maker()}));
}

TEST_F(FooterTest, FormataCNPJRemovesThePunctuation) {
  const std::pair<std::string, std::string> casos[] = {
      {"12.345.678/0001-90", "12345678000190"}, {"12345678000190", "12345678000190"}, {"", ""}, {"a-b.c/d e", "abcd e"}};
  for (auto& [in, out] : casos) EXPECT_EQ(Qor01100::FormataCNPJ(in), out) << in;
}

TEST_F(FooterTest, CodigoBarraPrintsNothing) {
  ASSERT_TRUE(BindPrinter());
  ClearJournal();
  EXPECT_TRUE(Qor01100::CodigoBarra("EAN13", "7891234567895", "", 0, "", ""));
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
