// The register of printed non-fiscal documents.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/state.h"
#include "fiscal/operations.h"
#include "hostlib/records.h"
#include "nonfiscal/operations.h"
#include "tests/support/module_helpers.h"

namespace {

class DocumentRegisterTest : public qortest::PrinterTest {
 protected:
  std::vector<nlohmann::json> Documents() {
    std::vector<nlohmann::json> out;
    for (const std::string& line : hostlib::ReadRecords()) {
      nlohmann::json r = nlohmann::json::parse(line);
      if (r["type"] == "DocNaoFiscal") out.push_back(r);
    }
    return out;
  }
};

// Which counters each kind of document reads from the printer (the
// non-fiscal operation count answers nothing on this printer, so GNF is
// always empty).
TEST_F(DocumentRegisterTest, EachKindRecordsItsOwnCounters) {
  struct Case {
    const char* type;
    bool grg, cdc;
  };
  const Case cases[] = {{"RG", true, false}, {"CM", true, false}, {"RV", true, false}, {"CC", false, true},
                        {"RZ", false, false}, {"LX", false, false}, {"MF", false, false}, {"NC", false, false}};
  SetClock(2026, 12, 10, 14, 30);
  ASSERT_TRUE(Qor01100::Relatorio_Gerencial_Imp("", "", "", "X\n", ""));  // GRG 1, COO 1
  ASSERT_TRUE(Qor01100::FechRelatGerenc("", false, false));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    ClearJournal();
    Qor01100::GravaDocumentosNaoFiscais("SERIE01", "", c.type, "");
    const auto names = CallNames();
    auto called = [&](const char* fn) { return std::find(names.begin(), names.end(), fn) != names.end(); };
    EXPECT_TRUE(called("Elgin_NumeroCupom"));
    EXPECT_TRUE(called("Elgin_DataMovimento"));
    EXPECT_EQ(called("Elgin_ContadorRelatoriosGerenciaisMFD"), c.grg);
    EXPECT_EQ(called("Elgin_ContadorComprovantesCreditoMFD"), c.cdc);

    const nlohmann::json r = Documents().back();
    EXPECT_EQ(r["serial"], "SERIE01");
    EXPECT_EQ(r["docType"], c.type);
    EXPECT_EQ(r["coo"], "000001");
    EXPECT_EQ(r["gnf"], "");
    EXPECT_EQ(r["grg"], c.grg ? "000001" : "");
    EXPECT_EQ(r["cdc"], c.cdc ? "000000" : "");
    EXPECT_EQ(r["saleNumber"], "");
    EXPECT_EQ(r["movementDate"], "2026-12-10T00:00:00.000");
    EXPECT_EQ(r["now"], "2026-12-10T14:30:00.000");
  }
  EXPECT_EQ(Documents().size(), std::size(cases));
}

TEST_F(DocumentRegisterTest, ALibraryThatThrowsNeverReachesTheCaller) {
  // A throwing library is a failed command like any other (its text in the
  // debug log and stMensagemTaa): the counter it was to read stays empty and
  // the document printed is still recorded.
  ASSERT_EQ(sim.raise("Elgin_NumeroCupom", 1), 0);
  Qor01100::stMensagemTaa.clear();
  EXPECT_NO_THROW(Qor01100::GravaDocumentosNaoFiscais("SERIE01", "005", "RG", ""));
  ASSERT_EQ(Documents().size(), 1u);
  EXPECT_EQ(Documents()[0]["coo"], "");
  EXPECT_NE(Qor01100::stMensagemTaa.find("simulated fault in Elgin_NumeroCupom"), std::string::npos);
  EXPECT_TRUE(Dialogs().empty());
}

// The host's register cannot be written (a full disk): the document stays
// printed and its result stands, and the record that was lost is named in
// the debug log and in stMensagemTaa with the reason.
TEST_F(DocumentRegisterTest, ARecordThatCannotBeWrittenIsNamed) {
  struct Case {
    const char* name;
    std::function<bool()> record;
    std::string named;
  } cases[] = {
      {"the management-report counter",
       [] { return Qor01100::Relatorio_Gerencial_Imp("", "0001", "002", "", "S") && Qor01100::FechRelatGerenc("", false, false); },
       A("Contador de relatórios gerenciais não gravado no registro do host")},
      {"a non-fiscal document",
       [] {
         Qor01100::GravaDocumentosNaoFiscais("SERIE01", "", "RZ", "");
         return true;
       },
       A("Documento não fiscal RZ (COO 0000")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Qor01100::stMensagemTaa.clear();
    const size_t records = hostlib::ReadRecords().size();
    {
      qortest::FailingFiles full("hostrecords.jsonl");
      EXPECT_TRUE(c.record());
      EXPECT_EQ(full.failed, 1);
    }
    EXPECT_EQ(hostlib::ReadRecords().size(), records);
    const std::string reason = std::strerror(ENOSPC);
    EXPECT_NE(Qor01100::stMensagemTaa.find(c.named), std::string::npos) << Qor01100::stMensagemTaa;
    EXPECT_NE(Qor01100::stMensagemTaa.find(reason), std::string::npos) << Qor01100::stMensagemTaa;
    const auto log = LogMessages();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) {
      return l.rfind("ERRO!!! " + c.named, 0) == 0 && l.find(reason) != std::string::npos;
    }));
  }
}

}  // namespace
