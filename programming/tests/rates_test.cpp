// The printer's tax rates into cdsAliqImpFis and the host's table.
#include <string>
#include <tuple>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "platform/dataset.h"
#include "platform/locale.h"
#include "programming/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using Row = std::tuple<std::string, double, std::string>;

class RatesTest : public qortest::PrinterTest {
 protected:
  void Rates(const std::string& all, const std::string& iss) {
    ASSERT_EQ(sim.answer("Elgin_RetornoAliquotas", 1, ("[\"" + all + "\"]").c_str(), 1), 0);
    ASSERT_EQ(sim.answer("Elgin_VerificaAliquotasIss", 1, ("[\"" + iss + "\"]").c_str(), 1), 0);
  }
  // Rows of a dataset in the order they were added (its index set aside
  // for the reading and restored after).
  static std::vector<Row> Rows(rtl::ClientDataSet& ds) {
    std::vector<Row> out;
    const std::string index = ds.IndexName();
    ds.SetIndexName("");
    for (ds.First(); !ds.Eof(); ds.Next())
      out.emplace_back(ds.FieldByName("CDALIQIMPFIS").AsString(), ds.FieldByName("VRALIQIMPFIS").AsFloat(),
                       ds.FieldByName("IDALIQIMPFIS").AsString());
    ds.SetIndexName(index);
    return out;
  }
};

const Row kNN{"NN", 0.0, "N"}, kII{"II", 0.0, "I"}, kFF{"FF", 0.0, "F"};

struct RateCase {
  const char* name;
  const char* all;
  const char* iss;
  std::vector<Row> rows;
};

const RateCase kRateCases[] = {
    {"goods and service rates", "1800,1200,0500,0000", "0500,0000",
     {{"00", 18.0, "T"}, {"01", 12.0, "T"}, {"02", 5.0, "S"}, kNN, kII, kFF}},
    {"empty answer", "", "", {kNN, kII, kFF}},
    {"end marker first", "0000,1800", "", {kNN, kII, kFF}},
    {"no end marker", "1800,0700", "", {{"00", 18.0, "T"}, {"01", 7.0, "T"}, kNN, kII, kFF}},
    {"service rates in the printer's order", "0200,1800,0500,0000", "0200,0500,0000",
     {{"00", 2.0, "S"}, {"01", 18.0, "T"}, {"02", 5.0, "S"}, kNN, kII, kFF}},
    {"a rate that is not a number is left out", "1800,18x0,1200,0000", "",
     {{"00", 18.0, "T"}, {"02", 12.0, "T"}, kNN, kII, kFF}},
    {"hundredths", "1725,0000", "", {{"00", 17.25, "T"}, kNN, kII, kFF}},
};

TEST_F(RatesTest, CarregaAliquotaBuildsTheRateTable) {
  for (const RateCase& c : kRateCases) {
    SCOPED_TRACE(c.name);
    Rates(c.all, c.iss);
    rtl::ClientDataSet host;
    Qor01100::CarregaAliquota("", &host);
    EXPECT_EQ(Rows(host), c.rows);
    EXPECT_EQ(Rows(Qor01100::DataModule().cdsAliqImpFis), c.rows);
  }
}

TEST_F(RatesTest, CarregaAliquotaKeepsTheTableStructureAndIndex) {
  Rates("1800,0500,0000", "0500,0000");
  rtl::ClientDataSet host;
  Qor01100::CarregaAliquota("", &host);
  rtl::ClientDataSet& ds = Qor01100::DataModule().cdsAliqImpFis;
  const auto& defs = host.FieldDefs();
  ASSERT_EQ(defs.size(), 3u);
  EXPECT_EQ(defs[0].name, "CDALIQIMPFIS");
  EXPECT_EQ(defs[0].size, 10);
  EXPECT_EQ(defs[1].type, rtl::FieldType::Float);
  EXPECT_EQ(defs[2].size, 1);
  EXPECT_EQ(ds.IndexName(), "IdxIdAliqVrAliq");
  // The active index orders by kind, then rate.
  std::vector<std::string> order;
  for (ds.First(); !ds.Eof(); ds.Next()) order.push_back(ds.FieldByName("CDALIQIMPFIS").AsString());
  EXPECT_EQ(order, (std::vector<std::string>{"FF", "II", "NN", "01", "00"}));
}

TEST_F(RatesTest, CarregaAliquotaAsksBothListsWithoutDialogs) {
  Rates("1800,0000", "0000");
  rtl::ClientDataSet host;
  Qor01100::CarregaAliquota("", &host);
  auto all = Calls("Elgin_RetornoAliquotas");
  auto iss = Calls("Elgin_VerificaAliquotasIss");
  ASSERT_EQ(all.size(), 1u);
  ASSERT_EQ(iss.size(), 1u);
  EXPECT_EQ(all[0].args[0], std::string(79, ' '));
  EXPECT_EQ(iss[0].args[0], std::string(79, ' '));
  auto log = LogMessages();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], "Elgin_RetornoAliquotas");
  EXPECT_EQ(log[1], "Retorno da Impressora : 1800,0000" + std::string(70, ' '));
  EXPECT_EQ(log[2], "Elgin_VerificaAliquotasIss");

  ASSERT_EQ(sim.fail("Elgin_RetornoAliquotas", 0, 1), 0);
  Qor01100::CarregaAliquota("", &host);
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_EQ(Rows(host), (std::vector<Row>{kNN, kII, kFF}));
}

TEST_F(RatesTest, CarregaAliquotaWithTheDecimalPointLocale) {
  rtl::ScopedSettings keep;
  rtl::Settings().DecimalSeparator = '.';
  Rates("1850,0000", "");
  rtl::ClientDataSet host;
  Qor01100::CarregaAliquota("", &host);
  EXPECT_EQ(Rows(host), (std::vector<Row>{{"00", 18.5, "T"}, kNN, kII, kFF}));
}

TEST_F(RatesTest, CarregaAliquotaWithoutAHostTable) {
  Rates("1800,0000", "");
  EXPECT_NO_THROW(Qor01100::CarregaAliquota("", nullptr));
  EXPECT_EQ(Qor01100::DataModule().cdsAliqImpFis.RecordCount(), 4);
}

TEST_F(RatesTest, RetornoAliquotasLeavesBothListsForTheHost) {
  Rates("1800,0500,0000", "0500,0000");
  EXPECT_TRUE(Qor01100::Retorno_Aliquotas_Imp(""));
  EXPECT_EQ(Qor01100::stRetorno, "1800,0500,0000");  // trimmed
  EXPECT_EQ(Qor01100::stAliquotaIss, "0500,0000" + std::string(70, ' '));
}

TEST_F(RatesTest, RetornoAliquotasAnswersTheVerdictOfTheServiceList) {
  ASSERT_EQ(sim.fail("Elgin_RetornoAliquotas", -1, 1), 0);
  EXPECT_TRUE(Qor01100::Retorno_Aliquotas_Imp(""));
  ASSERT_EQ(sim.fail("Elgin_VerificaAliquotasIss", -1, 1), 0);
  EXPECT_FALSE(Qor01100::Retorno_Aliquotas_Imp(""));
  EXPECT_TRUE(Dialogs().empty());
}

}  // namespace
