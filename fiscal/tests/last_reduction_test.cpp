// DadosUltimaRedZ through the simulated printer: where each value of the
// last-reduction record lands in the result array, the taxed-totalizer walk,
// the gross and net sale, the failure fallback and the array's length.
#include <string>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/state.h"
#include "fiscal/operations.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"

namespace {

using nlohmann::json;
using rtl::Variant;

// A last-reduction record of zeros with fields put at their 1-based positions.
struct Record {
  std::string text = std::string(1278, '0');
  Record& Put(int pos, const std::string& value) {
    text.replace(static_cast<size_t>(pos - 1), value.size(), value);
    return *this;
  }
  // Amount in cents as a digit string of `width`.
  Record& Cents(int pos, int width, long long cents) {
    std::string digits = std::to_string(cents);
    return Put(pos, std::string(static_cast<size_t>(width) - digits.size(), '0') + digits);
  }
  Record& Taxed(int i, long long cents) { return Cents(335 + 14 * (i - 1), 14, cents); }
};

class LastReductionTest : public qortest::PrinterTest {
 protected:
  void Answer(const char* fn, const json& outs, int ret = 1) {
    ASSERT_EQ(sim.answer(fn, ret, outs.dump().c_str(), 1), 0);
  }
  // The host's array: every element marked, so untouched ones show.
  static Variant HostArray(size_t n = 49) {
    Variant ar = Variant::CreateArray(n);
    for (size_t i = 0; i < n; ++i) ar[i] = Variant("host");
    return ar;
  }
  bool Run(const Record& rec, Variant& ar, const std::string& ddmmyy = "090326") {
    Answer("Elgin_DadosUltimaReducaoMFD", json::array({rec.text}));
    Answer("Elgin_DataMovimentoUltimaReducaoMFD", json::array({ddmmyy}));
    return Qor01100::DadosUltimaRedZ(Variant(std::vector<Variant>{Variant("001")}), ar, &table);
  }
  std::vector<std::vector<std::string>> TableRows() {
    std::vector<std::vector<std::string>> rows;
    for (table.First(); !table.Eof(); table.Next())
      rows.push_back({table.FieldByName("CDIMPOSTO").AsString(), table.FieldByName("CDALIQIMPFIS").AsString(),
                      table.FieldByName("VRVENDIDO").AsString(), table.FieldByName("VRALIQIMPFIS").AsString(),
                      table.FieldByName("VRIMPOSTO").AsString()});
    return rows;
  }
  rtl::ClientDataSet table;
};

struct PositionCase {
  int pos;
  std::string value;  // what the record holds there
  size_t element;
  std::string expected;
};

// Each field read at its own position, into its own element.
TEST_F(LastReductionTest, EachFieldOfTheRecordLandsInItsElement) {
  const PositionCase cases[] = {
      {4, "0007", 1, "0007"},          {4, "0007", 11, "0007"},        {9, "0123", 0, "0123"},
      {9, "0123", 12, "0123"},         {14, "004567", 13, "004567"},   {54, "0003", 4, "0003"},
      {316, "000000000001234567", 25, "12345,67"},
      {560, "00000000000150", 27, "01,50"}, {575, "00000000000250", 28, "02,50"},
      {590, "00000000000350", 29, "03,50"}, {650, "00000000000450", 33, "04,50"},
      {680, "00000000000550", 35, "05,50"}, {710, "00000000000650", 37, "06,50"},
  };
  for (const PositionCase& c : cases) {
    SCOPED_TRACE(c.pos);
    Record rec;
    rec.Put(c.pos, c.value);
    Variant ar = HostArray();
    ASSERT_TRUE(Run(rec, ar));
    EXPECT_EQ(ar[c.element].AsString(), c.expected);
  }
}

TEST_F(LastReductionTest, MovementDateAndTheElementsLeftAlone) {
  Variant ar = HostArray();
  ASSERT_TRUE(Run(Record(), ar, "090326"));
  EXPECT_EQ(ar[3].type(), rtl::VarType::DateTime);
  EXPECT_DOUBLE_EQ(ar[3].AsDouble(), rtl::EncodeDate(2026, 3, 9));
  EXPECT_DOUBLE_EQ(ar[46].AsDouble(), rtl::EncodeDate(2026, 3, 9));
  EXPECT_EQ(ar[2].type(), rtl::VarType::Double);
  for (size_t i : {5, 6, 7, 8, 9, 10, 14, 20, 24, 26, 30, 31, 32, 34, 36, 38, 45}) EXPECT_EQ(ar[i].AsString(), "host") << i;
  auto args = ArgsOf("Elgin_DadosUltimaReducaoMFD");
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0][0], std::string(1278, ' '));
  EXPECT_EQ(ArgsOf("Elgin_RetornoAliquotas")[0][0], std::string(79, ' '));
}

// Cancellations and discounts count into the gross sale, surcharges do not;
// the net sale leaves cancellations and discounts out again.
TEST_F(LastReductionTest, GrossAndNetSale) {
  Record rec;
  rec.Taxed(1, 10000).Taxed(16, 2000).Cents(560, 14, 300).Cents(575, 14, 400).Cents(590, 14, 500);
  rec.Cents(650, 14, 600).Cents(680, 14, 700).Cents(710, 14, 800);
  Variant ar = HostArray();
  ASSERT_TRUE(Run(rec, ar));
  // 100 + 20 + 3 + 4 + 5 + 6 (discounts) + 8 (cancellations) = 146
  EXPECT_DOUBLE_EQ(ar[2].AsDouble(), 146.0);
  EXPECT_EQ(ar[47].AsString(), "146,00");
  EXPECT_EQ(ar[48].AsString(), "132,00");
}

// Sixteen passes: a zero totalizer gives no row but keeps its position, so
// every row carries the rate of its own position.
TEST_F(LastReductionTest, TaxedWalkKeepsThePositionsOfZeroTotalizers) {
  std::string rates;
  for (int i = 1; i <= 16; ++i) rates += (i < 10 ? "0" : "") + std::to_string(i) + "00" + (i < 16 ? "," : "");
  Answer("Elgin_RetornoAliquotas", json::array({rates}));  // position i holds i percent
  Record rec;
  rec.Taxed(2, 12345).Taxed(5, 100).Taxed(16, 99999);
  Variant ar = HostArray();
  ASSERT_TRUE(Run(rec, ar));
  const std::vector<std::vector<std::string>> expected = {
      {"00", "02", "123,45", "02,00", "02,46"},   // 2.469 truncated
      {"00", "05", "01,00", "05,00", "00,05"},
      {"00", "16", "999,99", "16,00", "159,99"},  // 159.9984 truncated
  };
  EXPECT_EQ(TableRows(), expected);
}

TEST_F(LastReductionTest, NoPositiveTotalizerGivesAnEmptyTable) {
  Variant ar = HostArray();
  ASSERT_TRUE(Run(Record(), ar));
  EXPECT_TRUE(table.Active());
  EXPECT_TRUE(table.IsEmpty());
}

// A record the printer did not give: the fallback elements, false.
TEST_F(LastReductionTest, FailedReadWritesTheFallback) {
  ASSERT_EQ(sim.fail("Elgin_DadosUltimaReducaoMFD", 0, 1), 0);
  Variant ar = HostArray();
  EXPECT_FALSE(Qor01100::DadosUltimaRedZ(Variant(std::vector<Variant>{Variant("001")}), ar, &table));
  EXPECT_EQ(ar[0].AsString(), "");
  EXPECT_EQ(ar[1].AsString(), "");
  EXPECT_EQ(ar[2].type(), rtl::VarType::Integer);
  EXPECT_EQ(ar[2].AsInteger(), 0);
  EXPECT_EQ(ar[3].type(), rtl::VarType::Double);
  EXPECT_DOUBLE_EQ(ar[3].AsDouble(), rtl::Date() - 1000);
  EXPECT_EQ(ar[4].AsString(), "");
  EXPECT_EQ(ar[12].AsString(), "host");
  EXPECT_TRUE(Calls("Elgin_RetornoAliquotas").empty());
}

// A field that is not an amount: false, and what was written before stays.
TEST_F(LastReductionTest, UnreadableFieldStopsWithWhatWasWritten) {
  Record rec;
  rec.Put(9, "0042").Put(680, "    ").Put(335, std::string(14, ' '));
  Variant ar = HostArray();
  EXPECT_FALSE(Run(rec, ar));
  EXPECT_EQ(ar[12].AsString(), "0042");
  EXPECT_EQ(ar[47].AsString(), "host");
  EXPECT_EQ(ar[0].AsString(), "host");
}

// The host's array must hold elements 0 to 48: a shorter one (or none) is
// refused with a message before anything is written or asked.
TEST_F(LastReductionTest, ShortResultArrayIsRefusedWithoutWritingOutside) {
  const Variant cases[] = {HostArray(48), HostArray(5), Variant(), Variant("not an array")};
  for (const Variant& given : cases) {
    Variant ar = given;
    Qor01100::stMensagemTaa.clear();
    EXPECT_FALSE(Qor01100::DadosUltimaRedZ(Variant(std::vector<Variant>{Variant("001")}), ar, &table));
    if (given.IsArray()) {
      ASSERT_EQ(ar.ArrayLength(), given.ArrayLength());
      for (size_t i = 0; i < ar.ArrayLength(); ++i) EXPECT_EQ(ar[i].AsString(), "host");
    }
    EXPECT_NE(Qor01100::stMensagemTaa.find("49"), std::string::npos) << Qor01100::stMensagemTaa;
  }
  EXPECT_TRUE(Calls("Elgin_DadosUltimaReducaoMFD").empty());
}

// With the printer's own record after a day: the reduction's counters and
// the taxed totalizers of the sale.
TEST_F(LastReductionTest, PrinterRecordAfterAReduction) {
  using namespace Qor01100;
  char cpf[] = "", nome[] = "", end[] = "";
  ASSERT_EQ(Elgin_AbreCupomMFD(cpf, nome, end), 1);
  char cod[] = "1", desc[] = "ARROZ", aliq[] = "00", tq[] = "I", q[] = "2", pr[] = "10,00", td[] = "$", d[] = "0000";
  ASSERT_EQ(Elgin_VendeItem(cod, desc, aliq, tq, q, 2, pr, td, d), 1);
  char aliq2[] = "01", pr2[] = "5,00";
  ASSERT_EQ(Elgin_VendeItem(cod, desc, aliq2, tq, q, 2, pr2, td, d), 1);
  char a[] = "A", m[] = "$", v[] = "0";
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(a, m, v), 1);
  char fp[] = "Dinheiro", vp[] = "30,00", rod[] = "";
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(fp, vp), 1);
  ASSERT_EQ(Elgin_TerminaFechamentoCupom(rod), 1);
  char dt[] = "", hr[] = "";
  ASSERT_EQ(Elgin_ReducaoZ(dt, hr), 1);

  Variant ar = HostArray();
  ASSERT_TRUE(Qor01100::DadosUltimaRedZ(Variant(std::vector<Variant>{Variant("001")}), ar, &table));
  EXPECT_EQ(ar[0].AsString(), "0001");
  EXPECT_EQ(ar[1].AsString(), "0001");
  EXPECT_EQ(ar[47].AsString(), "30,00");
  EXPECT_EQ(ar[48].AsString(), "30,00");
  EXPECT_DOUBLE_EQ(ar[3].AsDouble(), rtl::Date());
  const std::vector<std::vector<std::string>> expected = {{"00", "01", "20,00", "18,00", "03,60"},
                                                          {"00", "02", "10,00", "12,00", "01,20"}};
  EXPECT_EQ(TableRows(), expected);
}

}  // namespace
