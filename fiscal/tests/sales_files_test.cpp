// The daily sales files over a range of days, through the simulated printer.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fiscal/operations.h"
#include "tests/support/module_helpers.h"

namespace {

namespace fs = std::filesystem;
using rtl::Variant;

using qortest::ReadAll;

class SalesFilesTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    rfdDir = tmp / "rfd";
    fs::create_directories(rfdDir);
    std::ofstream(hostDir / "ELGIN.INI") << "[Elgin]\nPathRFD=" << rfdDir.string() << "\n";
  }
  // A day with documents: an X reading on it, then the Z that closes it.
  void DayWithDocuments(int d) {
    SetClock(2024, 3, d, 10);
    ASSERT_EQ(reinterpret_cast<int (*)()>(sim.Entry("Elgin_LeituraX"))(), 1);
    char data[] = "", hora[] = "";
    ASSERT_EQ(reinterpret_cast<int (*)(char*, char*)>(sim.Entry("Elgin_ReducaoZ"))(data, hora), 1);
  }
  Variant Params(const std::string& inicio, const std::string& fim) {
    rtl::ClientDataSet ds;
    qortest::MakeTable(ds,
                       {{"CDFILIAL", rtl::FieldType::String, 4}, {"CDCAIXA", rtl::FieldType::String, 3},
                        {"IDESQUEMA", rtl::FieldType::String, 3}},
                       {{"0001", "001", "002"}});
    return Variant(std::vector<Variant>{ds.Data(), Variant(inicio), Variant(fim)});
  }
  std::vector<std::string> Converted() {
    std::vector<std::string> out;
    for (const auto& a : ArgsOf("RFD_ConvertedaMFDData")) out.push_back(a[0].get<std::string>() + "-" + a[1].get<std::string>());
    return out;
  }
  static bool Signed(const fs::path& p) { return ReadAll(p).find("\r\nEAD") != std::string::npos; }
  fs::path rfdDir;
};

TEST_F(SalesFilesTest, EachDayWithMovementIsConvertedAndItsOwnFileSigned) {
  DayWithDocuments(4);
  DayWithDocuments(6);
  SetClock(2024, 3, 7, 9);
  ClearJournal();
  rtl::StringList arquivos;
  arquivos.Add("deixado pelo host");
  // Dates in the locale's short form.
  EXPECT_TRUE(Qor01100::GeraCatGenerica(Params("04/03/2024", "06/03/2024"), &arquivos));
  EXPECT_EQ(Converted(), (std::vector<std::string>{"040324-040324", "050324-050324", "060324-060324"}));
  EXPECT_EQ(arquivos.Count(), 0);
  std::vector<fs::path> zp;
  for (const auto& e : fs::directory_iterator(rfdDir)) zp.push_back(e.path());
  ASSERT_EQ(zp.size(), 2u);
  // Each file carries one signature: the later day never signs the earlier day's file again.
  for (const auto& p : zp) {
    const std::string t = ReadAll(p);
    EXPECT_EQ(t.find("\r\nEAD"), t.rfind("\r\nEAD")) << p;
    EXPECT_TRUE(Signed(p)) << p;
  }
  // The day without movement is reported in the final notice, one date per line.
  const auto d = Dialogs();
  ASSERT_EQ(d.size(), 1u);
  EXPECT_EQ(d[0].request.text, A("Houve erro na geração ou não há movimento nas seguintes datas:"));
  EXPECT_EQ(d[0].request.arg2, "05/03/2024\r\n");
  EXPECT_EQ(d[0].request.scheme, "002");
  const std::vector<std::string> log = LogMessages();
  // The day's conversion is logged with the printer's code (here: no data for the day).
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string& l) { return l.rfind("RFD_ConvertedaMFDData - 050324 - Retorno: -", 0) == 0; }),
            log.end());
}

TEST_F(SalesFilesTest, DatesMayComeAsDdMmYyAndAnInvertedRangeConvertsNothing) {
  DayWithDocuments(1);
  SetClock(2024, 3, 2, 9);
  ClearJournal();
  rtl::StringList arquivos;
  EXPECT_TRUE(Qor01100::GeraCatGenerica(Params("010324", "010324"), &arquivos));
  EXPECT_EQ(Converted(), (std::vector<std::string>{"010324-010324"}));
  ClearJournal();
  EXPECT_FALSE(Qor01100::GeraCatGenerica(Params("310324", "010324"), &arquivos));
  EXPECT_TRUE(Converted().empty());
  EXPECT_TRUE(Dialogs().empty());
  // Dates that read in neither form: false, nothing converted.
  EXPECT_FALSE(Qor01100::GeraCatGenerica(Params("ontem", "hoje"), &arquivos));
  EXPECT_TRUE(Converted().empty());
}

TEST_F(SalesFilesTest, AConversionThatWroteNoFileIsReportedAndNothingIsSignedInItsPlace) {
  // A file of another day already in the folder, signed once.
  DayWithDocuments(4);
  SetClock(2024, 3, 5, 9);
  rtl::StringList arquivos;
  ASSERT_TRUE(Qor01100::GeraCatGenerica(Params("04/03/2024", "04/03/2024"), &arquivos));
  std::vector<fs::path> zp;
  for (const auto& e : fs::directory_iterator(rfdDir)) zp.push_back(e.path());
  ASSERT_EQ(zp.size(), 1u);
  const std::string antes = ReadAll(zp[0]);
  dialogs.clear();
  // The printer says it converted a day, yet writes nothing.
  ASSERT_EQ(sim.answer("RFD_ConvertedaMFDData", 1, "[]", 1), 0);
  EXPECT_FALSE(Qor01100::GeraCatGenerica(Params("05/03/2024", "05/03/2024"), &arquivos));
  EXPECT_EQ(ReadAll(zp[0]), antes);
  ASSERT_EQ(DialogTexts().size(), 1u);
  EXPECT_EQ(Dialogs()[0].request.arg2, "05/03/2024\r\n");
}

}  // namespace
