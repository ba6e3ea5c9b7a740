// The exchange voucher through the simulated printer: the report opened,
// the text sent in blocks of whole lines, the report closed, and a voucher
// the printer did not take whole never reported as printed.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using nlohmann::json;

class ExchangeVoucherTest : public qortest::PrinterTest {
 protected:
  // The texts sent with Elgin_RelatorioGerencial, in order (UTF-8 as the journal keeps them).
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    for (const json& a : ArgsOf("Elgin_RelatorioGerencial")) out.push_back(a[0].get<std::string>());
    return out;
  }
  // `n` lines of `width` characters, each ended by a line feed.
  static std::string Lines(int n, int width) {
    std::string out;
    for (int i = 0; i < n; ++i) out += std::string(width - 1, static_cast<char>('a' + i % 26)) + "\n";
    return out;
  }
};

TEST_F(ExchangeVoucherTest, TextGoesInBlocksOfWholeLines) {
  const std::string texto = Lines(100, 10);
  EXPECT_TRUE(Qor01100::Cupom_Troca("001", "0001", "01", texto));
  const std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0], "");  // the report's opening
  EXPECT_EQ(sent[1], texto.substr(0, 430));
  EXPECT_EQ(sent[2], texto.substr(430, 430));
  EXPECT_EQ(sent[3], texto.substr(860));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_NE(Tape().find(std::string(9, 'a')), std::string::npos);
}

TEST_F(ExchangeVoucherTest, EmptyTextOpensAndClosesTheReport) {
  EXPECT_TRUE(Qor01100::Cupom_Troca("001", "0001", "01", ""));
  EXPECT_EQ(Sent(), (std::vector<std::string>{""}));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
}

TEST_F(ExchangeVoucherTest, LastLineWithoutLineFeedIsSent) {
  EXPECT_TRUE(Qor01100::Cupom_Troca("001", "0001", "01", "LINHA 1\nLINHA 2"));
  EXPECT_EQ(Sent(), (std::vector<std::string>{"", "LINHA 1\nLINHA 2"}));
}

TEST_F(ExchangeVoucherTest, LongBlocksReachThePrinterWhole) {
  // A long line after 420 characters makes a block of 720: the printer
  // takes 620 characters a call, so the block goes in two calls cut at a
  // line end, and no character of the voucher is lost.
  const std::string texto = Lines(42, 10) + std::string(299, 'y') + "\n" + "FIM\n";
  EXPECT_TRUE(Qor01100::Cupom_Troca("001", "0001", "01", texto));
  const std::vector<std::string> sent = Sent();
  std::string all;
  for (size_t i = 1; i < sent.size(); ++i) {
    EXPECT_LE(sent[i].size(), 620u);
    all += sent[i];
  }
  EXPECT_EQ(all, texto);
  EXPECT_EQ(sent[1], texto.substr(0, 420));
  EXPECT_EQ(sent[2], std::string(299, 'y') + "\n");
}

TEST_F(ExchangeVoucherTest, EveryBlockIsSentAndARefusedOneIsNotReportedAsPrinted) {
  // The first text block refused in different ways: the blocks after it
  // still go to the printer, each with one call and no status query of its
  // own, the report is closed, and the host is told the voucher was not
  // printed.
  const std::string texto = Lines(100, 10);
  const std::vector<std::string> blocks = {"", texto.substr(0, 430), texto.substr(430, 430), texto.substr(860)};
  ASSERT_TRUE(Qor01100::Cupom_Troca("001", "0001", "01", texto));
  // Which call of the voucher is its first text block.
  const std::vector<std::string> names = CallNames();
  size_t lines = 0, at = 0;
  for (size_t i = 0; i < names.size() && at == 0; ++i)
    if (names[i] == "Elgin_RelatorioGerencial" && ++lines == 2) at = i + 1;
  ASSERT_GT(at, 0u);
  struct Case { const char* name; const char* kind; int code; };
  for (const Case& c : {Case{"execution error", "fail", -1}, Case{"no answer", "fail", 0},
                        Case{"the library throws", "raise", 0}}) {
    SCOPED_TRACE(c.name);
    ClearJournal();
    ASSERT_EQ(sim.fault_call(static_cast<int>(at), c.kind, c.code), 0);
    EXPECT_FALSE(Qor01100::Cupom_Troca("001", "0001", "01", texto));
    EXPECT_EQ(Sent(), blocks);
    // Status queries: the opening's and the closing's analyses only.
    EXPECT_EQ(Calls("Elgin_VerificaEstadoImpressora").size(), 2u);
    EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
    EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
  }
}

TEST_F(ExchangeVoucherTest, RefusedClosingShowsItsDialog) {
  ASSERT_EQ(sim.fail("Elgin_FechaRelatorioGerencial", -1, 1), 0);
  EXPECT_FALSE(Qor01100::Cupom_Troca("001", "0001", "01", "TROCA\n"));
  EXPECT_FALSE(Dialogs().empty());
}

}  // namespace
