// The example day checked against itself: the Z-reduction data exported at
// the end of examples/full-day.json agrees with the fiscal coupons the
// simulated printer registered during that day.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/library.h"
#include "sim/ecfsim_table.h"
#include "tests/support/portable.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

double Cents(double v) { return std::round(v * 100) / 100; }

// Column `name` of an encoded dataset's rows.
std::vector<json> ColumnOf(const json& ds, const std::string& name) {
  size_t i = 0;
  while (i < ds["fields"].size() && ds["fields"][i]["name"] != name) ++i;
  std::vector<json> out;
  for (const json& row : ds["rows"]) out.push_back(i < row.size() ? row[i] : json());
  return out;
}

double SumOf(const json& ds, const std::string& name) {
  double s = 0;
  for (const json& v : ColumnOf(ds, name)) s += v.is_number() ? v.get<double>() : 0;
  return Cents(s);
}

TEST(FullDayCheck, ExportedReductionAgreesWithTheDaysCoupons) {
  using qortest::Quote;
  const fs::path bin = qortest::ProgramDir();
  const fs::path tmp = qortest::MakeTempDir("full-day-check");
#ifdef _WIN32
  const char* kNoInput = "NUL";
#else
  const char* kNoInput = "/dev/null";
#endif
  const std::string cmd = qortest::ChangeDirCommand(tmp.string()) + " && " + Quote((bin / "qorhost").string()) +
                          " --state ecf --host-dir host " +
                          Quote(fs::absolute(fs::path(QOR_SOURCE_DIR) / "examples" / "full-day.json").string()) + " <" + kNoInput +
                          " >out.txt 2>err.txt";
  ASSERT_EQ(qortest::RunCommand(cmd), 0);

  // The last end-of-day step: its four exported tables.
  json step;
  std::ifstream out(tmp / "out.txt");
  for (std::string line; std::getline(out, line);) {
    if (line.empty() || line[0] != '{') continue;
    json j = json::parse(line);
    if (j.value("op", "") == "GeraReciboSangria") step = j;
  }
  ASSERT_FALSE(step.is_null()) << "the day ends with the withdrawal receipt and the closing reports";
  ASSERT_EQ(step["args"][23], true) << "the reduction data was exported";
  const json& redz = step["args"][19];
  const json& forma = step["args"][20];
  const json& imposto = step["args"][21];
  const json& totNFis = step["args"][22];
  ASSERT_EQ(redz["rows"].size(), 1u);

  // The printer's own record of the day's coupons.
  void* lib = rtl::LoadLibraryByName("Elgin.dll");
  ASSERT_NE(lib, nullptr);
  ecfsim::ControlTable sim;
  ASSERT_EQ(sim.Bind([&](const char* n) { return rtl::GetLibrarySymbol(lib, n); }), "");
  ASSERT_EQ(sim.set_state_dir((tmp / "ecf").string().c_str()), 0);
  const int n = sim.state_json(nullptr, 0);
  std::string buf(static_cast<size_t>(n) + 1, '\0');
  ASSERT_EQ(sim.state_json(buf.data(), n + 1), n);
  const json coupons = json::parse(buf.substr(0, static_cast<size_t>(n)))["coupons"];
  double sold = 0, paid = 0;
  for (const json& c : coupons) {
    if (c["cancelled"].get<bool>()) continue;
    sold += c["total"].get<double>();
    paid += c["paid"].get<double>() - c["change"].get<double>();
  }
  ASSERT_GT(Cents(sold), 0);
  EXPECT_DOUBLE_EQ(Cents(paid), Cents(sold)) << "each coupon kept is paid, net of change, to its total";

  auto v = [&](const char* f) { return Cents(ColumnOf(redz, f)[0].get<double>()); };
  EXPECT_DOUBLE_EQ(v("VRVENLIQREDZ"), Cents(sold)) << "net sale = the coupons kept";
  EXPECT_DOUBLE_EQ(v("VRVENLIQREDZ"), Cents(v("VRVENBRUREDZ") - v("VRTOTCANREDZ") - v("VRTOTDESREDZ")));
  EXPECT_DOUBLE_EQ(Cents(SumOf(imposto, "VRBCALCIMPRZ") + v("VRISENCREDZ") + v("VRNINCIDREDZ") + v("VRSTRIBREDZ")),
                   Cents(sold))
      << "the taxable bases and the untaxed totals make the net sale";
  for (const json& row : imposto["rows"]) EXPECT_EQ(row[6], "T");

  // The payment rows: one per host payment type, each a positive amount.
  for (const json& value : ColumnOf(forma, "VRFORMPGTORZ")) EXPECT_GT(value.get<double>(), 0);
  EXPECT_FALSE(totNFis["rows"].empty());

  std::error_code ec;
  if (!::testing::Test::HasFailure()) fs::remove_all(tmp, ec);
}

}  // namespace
