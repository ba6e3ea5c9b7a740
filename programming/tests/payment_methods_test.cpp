// Programming the host's payment types into the simulated printer: new and
// known methods, the printer's spelling, the room check of slot 14, the
// left-on filter, and the management-report name.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/datamodule/layouts.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "programming/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using nlohmann::json;

// A payment type of the host's table.
struct PaymentType {
  const char* cd;
  const char* dsImpFiscal;
  const char* mostra;  // IDMOSTRARECE
  const char* botao;   // IDTPBUTTON
  const char* tipo;    // IDTIPORECE
  const char* nome;    // NMTIPORECE
};

class PaymentMethodsTest : public qortest::PrinterTest {
 protected:
  static void Tabela(rtl::ClientDataSet& ds, const std::vector<PaymentType>& tipos) {
    for (const auto& f : Qor01100::layouts::kPaymentType) ds.AddFieldDef(f.name, f.type, f.size);
    ds.CreateDataSet();
    for (const PaymentType& t : tipos)
      qortest::AppendRecord(ds, {{"CDFILIAL", "0001"},
                                 {"CDTIPORECE", t.cd},
                                 {"DSIMPFISCAL", t.dsImpFiscal},
                                 {"IDMOSTRARECE", t.mostra},
                                 {"IDTPBUTTON", t.botao},
                                 {"IDTIPORECE", t.tipo},
                                 {"NMTIPORECE", t.nome}});
  }

  // Every row (filter off), by CDTIPORECE, as field -> value for a few fields.
  static std::map<std::string, std::map<std::string, std::string>> Linhas(rtl::ClientDataSet& ds) {
    const bool filtrado = ds.Filtered();
    ds.SetFiltered(false);
    std::map<std::string, std::map<std::string, std::string>> out;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      auto& r = out[ds.FieldByName("CDTIPORECE").AsString()];
      for (const char* f : {"NMTIPORECE", "CDFPIMPFIS", "IDEMIVALE", "IDMOSTRARECE"}) r[f] = ds.FieldByName(f).AsString();
    }
    ds.SetFiltered(filtrado);
    return out;
  }

  std::vector<json> Programados() const { return ArgsOf("Elgin_ProgramaFormaPagamentoMFD"); }

  std::vector<std::string> MetodosDaImpressora() {
    std::vector<std::string> out;
    const json estado = SimState();
    for (auto& [nome, valor] : estado["totals"]["payments"].items()) out.push_back(nome);
    return out;
  }
};

const std::vector<PaymentType> kTipos = {
    {"001", "DINHEIRO", "S", "5", "1", "DINHEIRO DO HOST"},  // known to the printer as "Dinheiro"
    {"002", "Cartao Credito", "", "5", "4", "CARTAO DO HOST"},  // new
    {"003", "CARTAO CREDITO", "S", "5", "4", "OUTRO CARTAO"},   // same method: programmed just before
    {"004", "Vale Refeicao", "N", "5", "1", "VALE"},            // not shown to the operator
    {"005", "Ticket", "S", "3", "1", "TICKET"},                 // another kind of button
    {"006", "Convenio", "S", "5", "B", "CONVENIO"},             // new, hidden after programming
    {"007", "Cartao", " ", "5", "4", "CARTAO"},                 // a prefix of a programmed name: new
    {"008", "", "S", "5", "1", "SEM NOME"},                     // no printer name: cannot be programmed
};

TEST_F(PaymentMethodsTest, ProgramsNewMethodsAndTakesThePrintersSpelling) {
  rtl::ClientDataSet tipos;
  Tabela(tipos, kTipos);
  Qor01100::CarregaRecebimento("", "001", 1, &tipos);

  EXPECT_EQ(Programados(), (std::vector<json>{{"Cartao Credito", "1"},
                                              {"Convenio", "1"},
                                              {"Cartao", "1"},
                                              {"Rel Gerencial", "1"}}));
  auto metodos = MetodosDaImpressora();
  for (const char* m : {"Dinheiro", "Cartao Credito", "Convenio", "Cartao", "Rel Gerencial"})
    EXPECT_NE(std::find(metodos.begin(), metodos.end(), m), metodos.end()) << m;

  EXPECT_TRUE(tipos.Filtered());
  EXPECT_EQ(tipos.Filter(), "IDTPBUTTON = '5'");
  EXPECT_EQ(tipos.RecordCount(), 6) << "rows 001, 002, 003, 004, 006, 007 remain visible";

  auto linhas = Linhas(tipos);
  EXPECT_EQ(linhas.count("008"), 0u) << "a type without a printer name is removed";
  using R = std::map<std::string, std::string>;
  EXPECT_EQ(linhas["001"], (R{{"NMTIPORECE", "Dinheiro"}, {"CDFPIMPFIS", "S"}, {"IDEMIVALE", "S"}, {"IDMOSTRARECE", "S"}}));
  EXPECT_EQ(linhas["002"],
            (R{{"NMTIPORECE", "CARTAO DO HOST"}, {"CDFPIMPFIS", "S"}, {"IDEMIVALE", "N"}, {"IDMOSTRARECE", ""}}));
  EXPECT_EQ(linhas["003"],
            (R{{"NMTIPORECE", "Cartao Credito"}, {"CDFPIMPFIS", "S"}, {"IDEMIVALE", "N"}, {"IDMOSTRARECE", "S"}}));
  EXPECT_EQ(linhas["004"], (R{{"NMTIPORECE", "VALE"}, {"CDFPIMPFIS", ""}, {"IDEMIVALE", ""}, {"IDMOSTRARECE", "N"}}));
  EXPECT_EQ(linhas["005"], (R{{"NMTIPORECE", "TICKET"}, {"CDFPIMPFIS", ""}, {"IDEMIVALE", ""}, {"IDMOSTRARECE", "S"}}));
  EXPECT_EQ(linhas["006"], (R{{"NMTIPORECE", "CONVENIO"}, {"CDFPIMPFIS", "S"}, {"IDEMIVALE", "S"}, {"IDMOSTRARECE", "N"}}));
  EXPECT_EQ(linhas["007"], (R{{"NMTIPORECE", "CARTAO"}, {"CDFPIMPFIS", "S"}, {"IDEMIVALE", "N"}, {"IDMOSTRARECE", " "}}));

  // The module's copy of the host's table records the programmed methods.
  auto copia = Linhas(Qor01100::DataModule().cdsReceb);
  EXPECT_EQ(copia.size(), kTipos.size());
  EXPECT_EQ(copia["002"]["CDFPIMPFIS"], "S");
  EXPECT_EQ(copia["002"]["IDEMIVALE"], "N");

  bool traced = false;
  for (auto& l : DebugLog()) traced = traced || l.find("Elgin_ProgramaFormaPagamentoMFD : Cartao Credito1") != std::string::npos;
  EXPECT_TRUE(traced);
  EXPECT_GE(env.processMessagesCalls, static_cast<int>(kTipos.size()) - 1) << "the host stays responsive";
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(PaymentMethodsTest, KnownMethodTakesTheCodeOfAnEarlierRowOfTheSameMethod) {
  rtl::ClientDataSet tipos;
  Tabela(tipos, {{"001", "DINHEIRO", "S", "5", "1", "A"}, {"002", "dinheiro", "S", "5", "4", "B"}});
  Qor01100::DataModule();
  Qor01100::CarregaRecebimento("", "001", 1, &tipos);
  auto linhas = Linhas(tipos);
  EXPECT_EQ(linhas["001"]["NMTIPORECE"], "Dinheiro");
  EXPECT_EQ(linhas["002"]["NMTIPORECE"], "Dinheiro");
  EXPECT_EQ(linhas["002"]["CDFPIMPFIS"], "S");
  EXPECT_EQ(linhas["002"]["IDEMIVALE"], "N");
  EXPECT_EQ(Programados(), (std::vector<json>{{"Rel Gerencial", "1"}}));
}

TEST_F(PaymentMethodsTest, WithoutRoomInThePrinterNewMethodsAreRemoved) {
  struct Case {
    const char* name;
    int code;
    const char* resposta;
  } casos[] = {{"slot 14 holds a method", 1, "Cheque"}, {"code 0 with another answer", 0, "Ocupado"}};
  for (const Case& c : casos) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    ASSERT_EQ(sim.answer("Elgin_ExecutaLeitura", c.code, json::array({c.resposta}).dump().c_str(), 100), 0);
    rtl::ClientDataSet tipos;
    Tabela(tipos, kTipos);
    Qor01100::CarregaRecebimento("", "001", 1, &tipos);
    auto linhas = Linhas(tipos);
    std::vector<std::string> codigos;
    for (auto& [cd, r] : linhas) codigos.push_back(cd);
    EXPECT_EQ(codigos, (std::vector<std::string>{"001", "004", "005"}));
    EXPECT_EQ(linhas["001"]["NMTIPORECE"], "Dinheiro");
    auto leituras = Calls("Elgin_ExecutaLeitura");
    ASSERT_FALSE(leituras.empty());
    EXPECT_EQ(leituras[0].args[0], "LeMeioPagamento");
    EXPECT_EQ(leituras[0].args[1], "CodMeioPagamentoProgram=14");
    for (auto& p : Programados()) EXPECT_EQ(p, json({"Rel Gerencial", "1"})) << "no payment method is programmed";
    ASSERT_EQ(sim.answer("Elgin_ExecutaLeitura", 0, "[]", 0), 0);
  }
}

TEST_F(PaymentMethodsTest, UnconfirmedProgrammingRemovesTheMethod) {
  // The printer answers "done" without keeping the name.
  ASSERT_EQ(sim.fail("Elgin_ProgramaFormaPagamentoMFD", 1, 1), 0);
  rtl::ClientDataSet tipos;
  Tabela(tipos, {{"001", "DINHEIRO", "S", "5", "1", "A"}, {"002", "Pix", "S", "5", "4", "PIX"}});
  Qor01100::CarregaRecebimento("", "001", 1, &tipos);
  auto linhas = Linhas(tipos);
  EXPECT_EQ(linhas.count("002"), 0u);
  EXPECT_EQ(linhas.count("001"), 1u);
}

TEST_F(PaymentMethodsTest, ALibraryThatThrowsFailsThatRowsReadingAndTheOthersGoOn) {
  // A throwing library is a failed command like any other: the reading of
  // free room failed, so that method cannot be programmed.
  ASSERT_EQ(sim.raise("Elgin_ExecutaLeitura", 1), 0);
  Qor01100::stMensagemTaa.clear();
  rtl::ClientDataSet tipos;
  Tabela(tipos, {{"001", "Pix", "S", "5", "4", "PIX"}, {"002", "Cheque", "S", "5", "1", "CHEQUE"}});
  Qor01100::CarregaRecebimento("", "003", 1, &tipos);
  auto linhas = Linhas(tipos);
  EXPECT_EQ(linhas.count("001"), 0u);
  EXPECT_EQ(linhas["002"]["CDFPIMPFIS"], "S");
  EXPECT_NE(Qor01100::stMensagemTaa.find("simulated fault in Elgin_ExecutaLeitura"), std::string::npos);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(PaymentMethodsTest, ARowThatCannotBeUpdatedIsLeftAsItWasAndTheOthersGoOn) {
  // A host table without the voucher flag: updating a row fails half-way.
  rtl::ClientDataSet tipos;
  for (const auto& f : Qor01100::layouts::kPaymentType)
    if (std::string(f.name) != "IDEMIVALE") tipos.AddFieldDef(f.name, f.type, f.size);
  tipos.CreateDataSet();
  for (auto [cd, ds] : {std::pair{"001", "DINHEIRO"}, std::pair{"002", "Pix"}})
    qortest::AppendRecord(tipos, {{"CDTIPORECE", cd}, {"DSIMPFISCAL", ds}, {"IDMOSTRARECE", "S"},
                                  {"IDTPBUTTON", "5"}, {"IDTIPORECE", "1"}, {"NMTIPORECE", "HOST"}});
  Qor01100::CarregaRecebimento("", "001", 1, &tipos);

  EXPECT_EQ(tipos.RecordCount(), 2) << "no row is removed";
  for (tipos.First(); !tipos.Eof(); tipos.Next()) {
    const std::string cd = tipos.FieldByName("CDTIPORECE").AsString();
    EXPECT_EQ(tipos.FieldByName("NMTIPORECE").AsString(), "HOST") << cd << ": the half-made change is undone";
    EXPECT_EQ(tipos.FieldByName("CDFPIMPFIS").AsString(), "") << cd;
  }
  EXPECT_EQ(Programados(), (std::vector<json>{{"Pix", "1"}, {"Rel Gerencial", "1"}}));
  EXPECT_FALSE(Qor01100::DataModule().cdsReceb.Filtered());
  std::vector<std::string> avisos;
  for (auto& d : Dialogs()) avisos.push_back(d.request.text);
  EXPECT_EQ(avisos, std::vector<std::string>(2, Qor01100::Msg("ComandoNExec")));
}

TEST_F(PaymentMethodsTest, ReportNameIsProgrammedOnlyWhenMissing) {
  struct Case {
    const char* lista;
    bool programa;
  } casos[] = {{"Dinheiro        00000000000000000000", true},
               {"REL GERENCIAL   00000000000000000000", false},
               {"rel gerencial", false},
               {"", true}};
  for (const Case& c : casos) {
    SCOPED_TRACE(c.lista);
    ClearJournal();
    EXPECT_TRUE(Qor01100::Carrega_Rel_Gerencial(c.lista));
    EXPECT_EQ(Programados().size(), c.programa ? 1u : 0u);
    if (c.programa) {
      EXPECT_EQ(Programados()[0], json({"Rel Gerencial", "1"}));
    }
  }
}

TEST_F(PaymentMethodsTest, ConfigFormaPagamentoProgramsSixteenCharacters) {
  EXPECT_TRUE(Qor01100::Config_Forma_Pagamento("", "Cartao Credito Visa Gold", false, false));
  EXPECT_EQ(Programados(), (std::vector<json>{{"Cartao Credito V", "1"}}));
  // A refusal: shown only when the host asks for messages.
  for (bool mostra : {false, true}) {
    SCOPED_TRACE(mostra);
    dialogs.clear();
    ASSERT_EQ(sim.fail("Elgin_ProgramaFormaPagamentoMFD", -2, 1), 0);
    EXPECT_FALSE(Qor01100::Config_Forma_Pagamento("", "Pix", mostra, false));
    EXPECT_EQ(Dialogs().size(), mostra ? 1u : 0u);
  }
}

TEST_F(PaymentMethodsTest, CarregaRelatorioGerChangesNothing) {
  std::string a = "1", b = "2", c = "3", d = "4", e = "5", f = "6";
  EXPECT_TRUE(Qor01100::CarregaRelatorioGer(a, b, c, d, e, f, "001", 1));
  EXPECT_EQ(a + b + c + d + e + f, "123456");
  EXPECT_TRUE(Journal().empty());
}

}  // namespace
