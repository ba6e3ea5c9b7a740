// Readings and the Z reduction through the simulated printer: the vendor
// calls and traces, the documents recorded in the host's register with their
// counters, refusals with dialogs, and lost answers decided by the printer's
// document number.
#include <string>
#include <vector>

#include "driver/state.h"
#include "fiscal/operations.h"
#include "hostlib/records.h"
#include "tests/support/module_helpers.h"

namespace {

using nlohmann::json;

class ReadingsTest : public qortest::PrinterTest {
 protected:
  // The register's document records (type DocNaoFiscal), in order.
  static std::vector<json> Register() {
    std::vector<json> out;
    for (const std::string& line : hostlib::ReadRecords()) {
      json r = json::parse(line);
      if (r["type"] == "DocNaoFiscal") out.push_back(r);
    }
    return out;
  }
  int Coo() const { return SimState()["counters"]["coo"].get<int>(); }
  bool LogHas(const std::string& line) const {
    const std::vector<std::string> log = LogMessages();
    return std::find(log.begin(), log.end(), line) != log.end();
  }
};

TEST_F(ReadingsTest, XReadingIsPrintedAndRecorded) {
  EXPECT_TRUE(Qor01100::Leitura_X_Imp("ECFSIM00000000000001", "", "001", ""));
  EXPECT_EQ(Calls("Elgin_LeituraX").size(), 1u);
  EXPECT_TRUE(LogHas("Elgin_LeituraX"));
  EXPECT_NE(Tape().find("LEITURA X"), std::string::npos);
  const std::vector<json> reg = Register();
  ASSERT_EQ(reg.size(), 1u);
  EXPECT_EQ(reg[0]["docType"], "LX");
  EXPECT_EQ(reg[0]["serial"], "ECFSIM00000000000001");
  EXPECT_EQ(reg[0]["coo"], "000001");
  EXPECT_EQ(reg[0]["gnf"], "");  // an X reading records its COO only
  EXPECT_EQ(reg[0]["grg"], "");
  EXPECT_EQ(reg[0]["saleNumber"], "");
}

TEST_F(ReadingsTest, ZReductionSendsThePrintersMovementDateAndTime) {
  ASSERT_TRUE(Qor01100::Leitura_X_Imp("S", "", "001", ""));  // the day's first document
  ClearJournal();
  EXPECT_TRUE(Qor01100::Reducao_Z_Imp("ECFSIM00000000000001", "", "001", ""));
  EXPECT_EQ(CallNames().front(), "Elgin_DataHoraImpressora");
  EXPECT_EQ(ArgsOf("Elgin_DataMovimento")[0], json::array({"      "}));
  EXPECT_EQ(ArgsOf("Elgin_ReducaoZ"), (std::vector<json>{json::array({"000000", "100000"})}));
  EXPECT_TRUE(LogHas("Elgin_ReducaoZ"));
  EXPECT_EQ(SimState()["counters"]["crz"], 1);
  const std::vector<json> reg = Register();
  ASSERT_EQ(reg.size(), 2u);
  EXPECT_EQ(reg[1]["docType"], "RZ");
  EXPECT_EQ(reg[1]["coo"], "000002");
  EXPECT_EQ(reg[1]["grg"], "");
  EXPECT_EQ(reg[1]["cdc"], "");
}

TEST_F(ReadingsTest, ZReductionQueriesAreNotAnalysed) {
  // The printer does not answer its clock: the reduction goes on with blanks.
  ASSERT_EQ(sim.fail("Elgin_DataHoraImpressora", 0, 1), 0);
  ASSERT_EQ(sim.fail("Elgin_DataMovimento", 0, 1), 0);
  EXPECT_TRUE(Qor01100::Reducao_Z_Imp("S", "", "001", ""));
  EXPECT_EQ(ArgsOf("Elgin_ReducaoZ"), (std::vector<json>{json::array({"      ", "      "})}));
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ReadingsTest, RefusedReadingsShowTheDialogAndRecordNothing) {
  ASSERT_EQ(sim.set_cover(1), 0);
  struct Case {
    const char* name;
    bool (*run)();
  } cases[] = {{"X", [] { return Qor01100::Leitura_X_Imp("S", "", "001", ""); }},
               {"Z", [] { return Qor01100::Reducao_Z_Imp("S", "", "001", ""); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    EXPECT_FALSE(c.run());
    EXPECT_FALSE(Dialogs().empty());
  }
  EXPECT_TRUE(Register().empty());
  EXPECT_EQ(Coo(), 0);
}

TEST_F(ReadingsTest, LostAnswerOfAPrintedReadingIsDecidedByThePrinter) {
  // The reading was printed and its answer lost: it is reported done,
  // recorded, and never printed twice.
  for (const char* fn : {"Elgin_LeituraX", "Elgin_ReducaoZ"}) {
    SCOPED_TRACE(fn);
    ASSERT_EQ(sim.lost_answer(fn, 1), 0);
    const int before = Coo();
    const bool ok = std::string(fn) == "Elgin_LeituraX" ? Qor01100::Leitura_X_Imp("S", "", "001", "")
                                                        : Qor01100::Reducao_Z_Imp("S", "", "001", "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Coo(), before + 1);
    EXPECT_EQ(Calls(fn).size(), 1u);
  }
  ASSERT_EQ(Register().size(), 2u);
  EXPECT_EQ(Register()[1]["docType"], "RZ");
}

TEST_F(ReadingsTest, PrintedReadingWithAStatusErrorIsStillRecorded) {
  // The X reading is printed, then the printer reports its paper out: the
  // operator is told and the host gets false, but the register holds the
  // document the printer issued.
  ASSERT_EQ(sim.force_status(6, 128, 0, 1), 0);
  EXPECT_FALSE(Qor01100::Leitura_X_Imp("S", "", "001", ""));
  EXPECT_EQ(Coo(), 1);
  ASSERT_EQ(Register().size(), 1u);
  EXPECT_EQ(Register()[0]["docType"], "LX");
}

TEST_F(ReadingsTest, FiscalMemoryReadings) {
  struct Case {
    std::string tipo, fn;
  } cases[] = {{"D", "Elgin_LeituraMemoriaFiscalData"}, {"R", "Elgin_LeituraMemoriaFiscalReducao"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tipo);
    ClearJournal();
    const std::string ini = c.tipo == "D" ? "01/03/2026" : "0001", fim = c.tipo == "D" ? "05/03/2026" : "0001";
    Qor01100::Memoria_Fiscal_Imp("", c.tipo, ini, fim, "c");
    EXPECT_EQ(ArgsOf(c.fn), (std::vector<json>{json::array({ini, fim, "c"})}));
    EXPECT_TRUE(LogHas(c.fn + " : " + ini + " - " + fim));
  }
  EXPECT_TRUE(Register().empty());  // recorded by the fiscal-memory files, not here
}

TEST_F(ReadingsTest, FiscalMemoryReadingOfAnUnknownKind) {
  Qor01100::inRetorno = 77;
  EXPECT_FALSE(Qor01100::Memoria_Fiscal_Imp("", "X", "01/03/2026", "05/03/2026", "c"));
  EXPECT_TRUE(Journal().empty());
  EXPECT_EQ(Qor01100::inRetorno, 77);
}

}  // namespace
