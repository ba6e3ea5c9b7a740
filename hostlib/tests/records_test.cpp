// The durable register of GravaCER and setDocNaoFiscaisECF.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "hostlib/records.h"
#include "platform/datetime.h"
#include "platform/env.h"
#include "platform/text.h"
#include "tests/support/portable.h"

namespace {

using hostlib::GravaCER;
using hostlib::ReadRecords;
using hostlib::RecordsPath;
using hostlib::setDocNaoFiscaisECF;
using nlohmann::json;

// A fresh host program folder and a frozen clock per test.
class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = qortest::MakeTempDir("qor_records");
    env_.programPath = (dir_ / "qorhost").string();
    env_.clockFrozen = true;
    env_.frozenNow = rtl::EncodeDate(2026, 7, 15) + rtl::EncodeTime(9, 30, 0, 0);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string FileText() const {
    std::ifstream in(dir_ / "hostrecords.jsonl", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  std::filesystem::path dir_;
  rtl::ConfigurableEnv env_;
  rtl::ScopedEnv scoped_{&env_};
};

TEST_F(Records, RegisterLivesInTheHostProgramFolder) {
  EXPECT_EQ(std::filesystem::path(RecordsPath()), dir_ / "hostrecords.jsonl");
  EXPECT_TRUE(ReadRecords().empty());  // no file yet
}

TEST_F(Records, GravaCERAppendsOneLine) {
  rtl::TDateTime movement = rtl::EncodeDate(2026, 7, 14);
  ASSERT_TRUE(GravaCER("0001", "01", movement));
  ASSERT_TRUE(GravaCER("0001", "02", movement + 1));

  std::string text = FileText();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  std::vector<std::string> lines = ReadRecords();
  ASSERT_EQ(lines.size(), 2u);
  json first = json::parse(lines[0]);
  EXPECT_EQ(first["type"], "CER");
  EXPECT_EQ(first["cdFilial"], "0001");
  EXPECT_EQ(first["cdCaixa"], "01");
  EXPECT_EQ(first["movementDate"], rtl::ToIso(movement));
  EXPECT_EQ(first["recordedAt"], rtl::ToIso(env_.frozenNow));
  EXPECT_EQ(json::parse(lines[1])["cdCaixa"], "02");
}

TEST_F(Records, DocumentRecordHoldsEveryArgument) {
  rtl::TDateTime now = env_.frozenNow;
  rtl::TDateTime movement = rtl::EncodeDate(2026, 7, 14);
  ASSERT_TRUE(setDocNaoFiscaisECF("EL0123456789", "000124", "000045", "000012", "000003", "RG", "77", now,
                                  movement, rtl::Utf8ToCp1252("Observação")));
  std::vector<std::string> lines = ReadRecords();
  ASSERT_EQ(lines.size(), 1u);
  json r = json::parse(lines[0]);
  EXPECT_EQ(r["type"], "DocNaoFiscal");
  EXPECT_EQ(r["serial"], "EL0123456789");
  EXPECT_EQ(r["coo"], "000124");
  EXPECT_EQ(r["gnf"], "000045");
  EXPECT_EQ(r["grg"], "000012");
  EXPECT_EQ(r["cdc"], "000003");
  EXPECT_EQ(r["docType"], "RG");
  EXPECT_EQ(r["saleNumber"], "77");
  EXPECT_EQ(r["now"], rtl::ToIso(now));
  EXPECT_EQ(r["movementDate"], rtl::ToIso(movement));
  EXPECT_EQ(r["extra"], "Observação");  // 1252 in, UTF-8 in the register
}

TEST_F(Records, DateThatIsNotADateIsRecordedAsNull) {
  ASSERT_TRUE(GravaCER("0001", "01", std::numeric_limits<double>::quiet_NaN()));
  std::vector<std::string> lines = ReadRecords();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(json::parse(lines[0])["movementDate"].is_null());
}

TEST_F(Records, TornLastLineIsSkippedAndDoesNotSpoilTheNextRecord) {
  ASSERT_TRUE(GravaCER("0001", "01", rtl::EncodeDate(2026, 7, 14)));
  // A crash in the middle of the next write.
  {
    std::ofstream out(dir_ / "hostrecords.jsonl", std::ios::binary | std::ios::app);
    out << "{\"type\":\"CER\",\"cdFil";
  }
  ASSERT_EQ(ReadRecords().size(), 1u);

  ASSERT_TRUE(GravaCER("0001", "03", rtl::EncodeDate(2026, 7, 14)));
  std::vector<std::string> lines = ReadRecords();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(json::parse(lines[0])["cdCaixa"], "01");
  EXPECT_EQ(json::parse(lines[1])["cdCaixa"], "03");
}

TEST_F(Records, DamagedLinesAnywhereAreSkipped) {
  {
    std::ofstream out(dir_ / "hostrecords.jsonl", std::ios::binary);
    out << "{\"type\":\"CER\",\"cdCaixa\":\"01\"}\r\n"
        << "lixo\n"
        << "\n"
        << "[1,2]\n"
        << "{\"type\":\"CER\",\"cdCaixa\":\"02\"}\n";
  }
  std::vector<std::string> lines = ReadRecords();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(json::parse(lines[1])["cdCaixa"], "02");
}

TEST_F(Records, WriteFailureAnswersFalseWithoutRaising) {
  // The register's place is taken by a folder: it cannot be opened for writing.
  std::filesystem::create_directory(dir_ / "hostrecords.jsonl");
  EXPECT_FALSE(GravaCER("0001", "01", rtl::EncodeDate(2026, 7, 14)));
  EXPECT_FALSE(setDocNaoFiscaisECF("S", "1", "2", "3", "4", "RG", "", 0, 0, ""));
  EXPECT_TRUE(ReadRecords().empty());

  // A host program folder that does not exist.
  env_.programPath = (dir_ / "nao_existe" / "qorhost").string();
  EXPECT_FALSE(GravaCER("0001", "01", rtl::EncodeDate(2026, 7, 14)));
}

}  // namespace
