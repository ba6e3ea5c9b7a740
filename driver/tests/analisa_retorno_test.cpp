// The status analysis through the simulated printer: forced status bytes,
// failing status queries and return codes.
#include <string>
#include <vector>

#include "driver/operations.h"
#include "driver/state.h"
#include "tests/support/module_helpers.h"
#include "vendor/operations.h"

namespace {

class AnalisaRetornoTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    Qor01100::stMensagemTaa.clear();
  }
};

struct StatusCase {
  const char* name;
  int ret;
  int st1, st2;
  bool boMsg, boFecha, boAbre;
  bool expected;
  std::vector<std::string> appended;  // UTF-8 texts appended to stMensagemTaa, in order
  std::vector<std::string> logged;    // "ERRO!!! ..." lines after the trace, UTF-8
  int dialogs;
};

const StatusCase kStatusCases[] = {
    {"clean", 1, 0, 0, true, false, false, true, {}, {}, 0},
    {"low paper, no opening", 1, 64, 0, true, false, false, true, {},
     {"ERRO!!! Impressora fiscal com pouco papel."}, 0},
    {"low paper on coupon opening", 1, 64, 0, true, false, true, true, {},
     {"ERRO!!! Impressora fiscal com pouco papel."}, 1},
    {"low paper on opening without dialogs", 1, 64, 0, false, false, true, true, {},
     {"ERRO!!! Impressora fiscal com pouco papel."}, 0},
    {"paper out", 1, 128, 0, false, false, false, false, {"Impressora fiscal sem papel."},
     {"ERRO!!! Impressora fiscal sem papel."}, 0},
    {"command not executed", 1, 0, 1, true, false, false, false,
     {"Comando não executado pela impressora fiscal."},
     {"ERRO!!! Comando não executado pela impressora fiscal."}, 1},
    {"port error code with clean status", -5, 0, 0, false, false, false, false,
     {"Erro ao abrir porta de comunicação."}, {"ERRO!!! Erro ao abrir porta de comunicação."}, 0},
    {"several bits in table order", 1, 128 + 32 + 1, 16 + 4, true, false, false, false,
     {"Impressora fiscal sem papel.", "Erro no relógio da impressora fiscal.",
      "Número inválido de parâmetros do comando da impressora fiscal.",
      "Alíquota não programada na impressora fiscal.", "Cancelamento não permitido pela impressora fiscal."},
     {"ERRO!!! Impressora fiscal sem papel.", "ERRO!!! Erro no relógio da impressora fiscal.",
      "ERRO!!! Número inválido de parâmetros do comando da impressora fiscal.",
      "ERRO!!! Alíquota não programada na impressora fiscal.",
      "ERRO!!! Cancelamento não permitido pela impressora fiscal."},
     5},
    {"codes outside the table pass", -9, 0, 0, true, false, false, true, {}, {}, 0},
    {"positive codes pass", 7, 0, 0, true, false, false, true, {}, {}, 0},
    {"status 2 every bit", 1, 0, 255, false, false, false, false,
     {"Tipo incorreto do parâmetro enviado para a impressora fiscal.", "Memória da impressora fiscal lotada.",
      "Erro na memória da impressora fiscal.", "Alíquota não programada na impressora fiscal.",
      "Capacidade de alíquotas da impressora fiscal lotada.", "Cancelamento não permitido pela impressora fiscal.",
      "CGC/IE do proprietário não programados na impressora fiscal.",
      "Comando não executado pela impressora fiscal."},
     {}, 0},
};

TEST_F(AnalisaRetornoTest, StatusTable) {
  for (const StatusCase& c : kStatusCases) {
    SCOPED_TRACE(c.name);
    Qor01100::stMensagemTaa.clear();
    dialogs.clear();
    // Each case reads its own lines: the log is emptied, not removed (the
    // module holds it open, and a folder with an open file in it cannot be
    // removed everywhere).
    ClearDebugLog();
    sim.force_status(6, c.st1, c.st2, 1);
    Qor01100::stImpDebug = "Elgin_Teste";
    bool r = Qor01100::AnalisaRetorno(c.ret, c.boMsg, c.boFecha, c.boAbre);
    EXPECT_EQ(r, c.expected);
    std::string expectedTaa;
    for (auto& t : c.appended) expectedTaa += " " + A(t);
    EXPECT_EQ(Qor01100::stMensagemTaa, expectedTaa);
    EXPECT_TRUE(Qor01100::stImpDebug.empty());
    auto log = LogMessages();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "Elgin_Teste");
    if (!c.logged.empty()) {
      std::vector<std::string> expectedLog;
      for (auto& t : c.logged) expectedLog.push_back(A(t));
      EXPECT_EQ(std::vector<std::string>(log.begin() + 1, log.end()), expectedLog);
    }
    EXPECT_EQ(static_cast<int>(dialogs.size()), c.dialogs);
  }
}

TEST_F(AnalisaRetornoTest, ReturnCodeTable) {
  const std::pair<int, const char*> cases[] = {
      {0, "Erro de comunicação."},
      {-1, "Erro de execução na função."},
      {-2, "Parâmetro inválido."},
      {-3, "Alíquota não programada na impressora fiscal."},
      {-4, "O arquivo de inicialização da impressora não foi encontrada no diretório de sistema do Windows."},
      {-5, "Erro ao abrir porta de comunicação."},
      {-6, "Impressora desligada ou desconectada."},
      {-7, "Banco não cadastrado no arquivo de inicializção da impressora."},
      {-18, "Não foi possível abrir arquivo INTPOS.001."},
      {-19, "Número inválido de parâmetros do comando da impressora fiscal."},
      {-20, "Transação cancelada pelo operador."},
      {-21, "A Transação não foi aprovada."},
      {-22, "Não foi possível terminar a impressão."},
      {-23, "Não foi possível terminar a operação."},
      {-24, "Forma de pagamento não programada."},
      {-25, "Totalizador não fiscal não programado."},
      {-26, "Transação já efetuada."},
      {-28, "Não há informações para serem impressas."},
  };
  for (auto& [code, text] : cases) {
    SCOPED_TRACE(code);
    Qor01100::stMensagemTaa.clear();
    dialogs.clear();
    EXPECT_FALSE(Qor01100::AnalisaRetorno(code, true, false, false));
    EXPECT_EQ(Qor01100::stMensagemTaa, " " + A(text));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].request.text, A(text));
    EXPECT_FALSE(dialogs[0].request.question);
    EXPECT_EQ(dialogs[0].request.kind, 0);
    EXPECT_EQ(dialogs[0].request.scheme, code == 0 ? "002" : "");
  }
}

TEST_F(AnalisaRetornoTest, RecordingErrorCodeLooksUpAKeyOnlyTheSecondTableHas) {
  // The first table has no "Erro_Gravacao": the message service answers with the key itself.
  EXPECT_FALSE(Qor01100::AnalisaRetorno(-8, false, false, false));
  EXPECT_EQ(Qor01100::stMensagemTaa, " Erro_Gravacao");
}

TEST_F(AnalisaRetornoTest, NakSkipsTheStatusBytes) {
  sim.force_status(21, 128, 0, 1);
  EXPECT_FALSE(Qor01100::AnalisaRetorno(1, true, false, false));
  EXPECT_EQ(Qor01100::stMensagemTaa, " " + A("Impressora fiscal com erro."));
  auto log = LogMessages();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1], "ERRO!!! NAK recebido");
  ASSERT_EQ(dialogs.size(), 1u);
}

TEST_F(AnalisaRetornoTest, FailingStatusQueryAfterCommunicationError) {
  sim.fail("Elgin_VerificaEstadoImpressora", 0, 1);
  EXPECT_FALSE(Qor01100::AnalisaRetorno(0, true, false, false));
  EXPECT_EQ(Qor01100::stMensagemTaa, " " + A("Erro de comunicação.") + " " + A("Impressora fiscal com erro."));
  auto log = LogMessages();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], "ERRO!!! Ret recebido");
  EXPECT_EQ(dialogs.size(), 2u);
}

TEST_F(AnalisaRetornoTest, OpenCouponIsCancelledOnlyWhenAsked) {
  sim.force_status(6, 2, 0, 1);
  EXPECT_TRUE(Qor01100::AnalisaRetorno(1, false, false, false));
  EXPECT_TRUE(Calls("Elgin_CancelaCupom").empty());
  EXPECT_TRUE(Qor01100::stMensagemTaa.empty());

  sim.force_status(6, 2, 0, 1);
  EXPECT_TRUE(Qor01100::AnalisaRetorno(1, true, true, false));
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
  // Two status queries: the command's and the nested analysis of the cancellation.
  EXPECT_EQ(Calls("Elgin_VerificaEstadoImpressora").size(), 3u);
  EXPECT_TRUE(dialogs.empty());
}

TEST_F(AnalisaRetornoTest, TheCancellationLeavesInRetornoAsTheCallerHadIt) {
  // The analysis is given 7 (a code that passes); the cancellation it runs
  // answers 1, analysed but not stored: inRetorno stays what the caller had.
  sim.force_status(6, 2, 0, 1);
  ASSERT_EQ(sim.answer("Elgin_CancelaCupom", 1, "[]", 1), 0);
  Qor01100::inRetorno = 42;
  EXPECT_TRUE(Qor01100::AnalisaRetorno(7, false, true, false));
  EXPECT_EQ(Calls("Elgin_CancelaCupom").size(), 1u);
  EXPECT_EQ(Qor01100::inRetorno, 42);
}

TEST_F(AnalisaRetornoTest, UnboundStatusEntryFailsInsteadOfCrashing) {
  Qor01100::StopImpFiscal();
  EXPECT_FALSE(Qor01100::AnalisaRetorno(1, false, false, false));
  EXPECT_EQ(Qor01100::stMensagemTaa, " " + A("Impressora fiscal com erro."));
}

}  // namespace
