// Client datasets: filters and Locate.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace {

using rtl::ClientDataSet;
using rtl::EDatabaseError;
using rtl::FieldType;
using rtl::Variant;

std::string A(const char* utf8) { return rtl::Utf8ToCp1252(utf8); }

// Branch/till/serial rows as the module filters them, plus a number, a date and a flag.
class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.AddFieldDef("CDFILIAL", FieldType::String, 4);
    ds.AddFieldDef("CDCAIXA", FieldType::String, 3);
    ds.AddFieldDef("NRSERIEECF", FieldType::String, 20);
    ds.AddFieldDef("QT", FieldType::Integer);
    ds.AddFieldDef("VR", FieldType::Float);
    ds.AddFieldDef("DT", FieldType::DateTime);
    ds.AddFieldDef("OK", FieldType::Boolean);
    ds.CreateDataSet();
    Add("0001", "01", "X", 1, 1.5, rtl::EncodeDate(2024, 3, 1), true);
    Add("0001", "02", "D'Avila", 2, 10, rtl::EncodeDate(2024, 3, 2), false);
    Add("0002", "01", "x", 3, -2.25, rtl::EncodeDate(2024, 2, 29), true);
    Add("0002", " ", "", 4, 0, 0, false);  // CDCAIXA blank, serial null, date set to 0
    ds.Append();                           // a row with every field null but the branch
    ds.FieldByName("CDFILIAL").SetAsString("0003");
    ds.Post();
  }
  void Add(const char* fil, const char* cx, const std::string& serie, int qt, double vr, double dt, bool ok) {
    ds.Append();
    ds.FieldByName("CDFILIAL").SetAsString(fil);
    ds.FieldByName("CDCAIXA").SetAsString(cx);
    ds.FieldByName("NRSERIEECF").SetAsString(serie);
    ds.FieldByName("QT").SetAsInteger(qt);
    ds.FieldByName("VR").SetAsFloat(vr);
    ds.FieldByName("DT").SetAsDateTime(dt);
    ds.FieldByName("OK").SetAsBoolean(ok);
    ds.Post();
  }
  // The QT values of the visible rows, in order ("-" for a null).
  std::string Visible(const std::string& filter, bool caseInsensitive = false) {
    ds.SetFiltered(false);
    ds.FilterCaseInsensitive = caseInsensitive;
    ds.SetFilter(filter);
    ds.SetFiltered(true);
    std::string out;
    for (ds.First(); !ds.Eof(); ds.Next()) out += ds.FieldByName("QT").IsNull() ? "-" : ds.FieldByName("QT").AsString();
    EXPECT_EQ(ds.RecordCount(), static_cast<int>(out.size())) << filter;
    return out;
  }
  ClientDataSet ds;
};

struct FilterCase {
  const char* filter;
  bool caseInsensitive;
  const char* expected;
};

TEST_F(FilterTest, SelectsRows) {
  const FilterCase cases[] = {
      {"CDFILIAL = '0001' AND CDCAIXA = '01' AND NRSERIEECF = 'X'", false, "1"},
      {"CDFILIAL = '0001' AND CDCAIXA = '01' AND NRSERIEECF = 'x'", false, ""},
      {"NRSERIEECF = 'x'", true, "13"},
      {"NRSERIEECF = 'D''Avila'", false, "2"},
      {"nrserieecf='D''Avila'", false, "2"},  // names in any case, no blanks needed
      {"[NRSERIEECF] = 'D''Avila'", false, "2"},
      {"CDCAIXA <> ' '", false, "123"},  // the blank text is not a null
      {"CDCAIXA = ' '", false, "4"},
      {"NRSERIEECF <> 'X'", false, "23"},  // a null never equals nor differs
      {"NOT (NRSERIEECF = 'X')", false, "234-"},
      {"NRSERIEECF IS NULL", false, "4-"},
      {"NRSERIEECF IS NOT NULL", false, "123"},
      {"NRSERIEECF = ''", false, "4-"},  // empty texts are stored as nulls
      {"NRSERIEECF <> ''", false, "123"},
      {"QT IS NULL", false, "-"},
      {"QT >= 2 AND QT < 4", false, "23"},
      {"QT = 2 OR QT = 4 AND CDFILIAL = '0001'", false, "2"},  // AND binds tighter
      {"(QT = 2 OR QT = 4) AND CDFILIAL = '0002'", false, "4"},
      {"NOT QT > 1", false, "1-"},
      {"VR < 0", false, "3"},
      {"VR > -2.5 and VR <= 1.5", false, "134"},
      {"VR = 10.0", false, "2"},
      {"2 = QT", false, "2"},   // literal first
      {"2 < QT", false, "34"},  // mirrored
      {"CDFILIAL = 1", false, "12"},  // a text field against a number compares numerically
      {"CDFILIAL > '0001'", false, "34-"},
      {"DT = '2024-03-02'", false, "2"},
      {"DT >= '01/03/2024'", false, "12"},
      {"OK = TRUE", false, "13"},
      {"OK = 'False'", false, "24"},
      {"OK", false, "13"},
      {"NOT OK", false, "24-"},
      {"QT = NULL", false, "-"},
      {"QT <> NULL", false, "1234"},
      {"   ", false, "1234-"},  // an empty filter shows everything
  };
  for (const FilterCase& c : cases) EXPECT_EQ(Visible(c.filter, c.caseInsensitive), c.expected) << c.filter;
}

TEST_F(FilterTest, CaseInsensitiveCoversAccentedLetters) {
  ds.First();
  ds.Edit();
  ds.FieldByName("NRSERIEECF").SetAsString(A("AÇÃO"));
  ds.Post();
  EXPECT_EQ(Visible(A("NRSERIEECF = 'ação'"), true), "1");
  EXPECT_EQ(Visible(A("NRSERIEECF = 'ação'"), false), "");
}

TEST_F(FilterTest, SwitchingCaseSensitivityWhileFilteredAppliesAtOnce) {
  EXPECT_EQ(Visible("NRSERIEECF = 'x'"), "3");
  ds.FilterCaseInsensitive = true;
  EXPECT_EQ(ds.RecordCount(), 2);
  ds.First();
  EXPECT_EQ(ds.FieldByName("QT").AsInteger(), 1);
}

TEST_F(FilterTest, MalformedFiltersRaiseAndChangeNothing) {
  EXPECT_EQ(Visible("QT = 1"), "1");
  const char* bad[] = {
      "CDFILIAL = ",          "CDFILIAL = '0001",       "CDFILIAL '0001'",   "(QT = 1",
      "QT = 1)",              "QT = 1 AND",             "NOPE = 1",          "QT == 1",
      "QT = 1 OR OR QT = 2",  "QT IS 1",                "'a' = 'b'",         "QT = 'abc'",
      "DT = 'not a date'",    "QT > NULL",              "QT = 1.2.3",        "QT = 1 # 2",
      "CDFILIAL",             "OK = 'maybe'",
  };
  for (const char* f : bad) {
    EXPECT_THROW(ds.SetFilter(f), EDatabaseError) << f;  // set while filtered: checked at once
    EXPECT_EQ(ds.Filter(), "QT = 1") << f;
    EXPECT_EQ(ds.RecordCount(), 1) << f;
  }
  try {
    ds.SetFilter("CDFILIAL = ");
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("CDFILIAL = "), std::string::npos) << e.what();
  }
  // Set while unfiltered: accepted as text, refused when switched on.
  ds.SetFiltered(false);
  ds.SetFilter("QT = ");
  EXPECT_THROW(ds.SetFiltered(true), EDatabaseError);
  EXPECT_FALSE(ds.Filtered());
  EXPECT_EQ(ds.RecordCount(), 5);
}

// A host's filter nested thousands of levels deep is refused as a malformed
// one is; nesting as deep as the limit and long flat chains still filter.
TEST_F(FilterTest, DeepNestingIsRefusedWithAClearError) {
  auto nested = [](int levels, const std::string& open, const std::string& close) {
    std::string f;
    for (int i = 0; i < levels; ++i) f += open;
    f += "QT = 2";
    for (int i = 0; i < levels; ++i) f += close;
    return f;
  };
  EXPECT_EQ(Visible("QT = 1"), "1");
  const std::string tooDeep[] = {nested(3000, "(", ")"), nested(3000, "NOT ", ""), nested(65, "(", ")"),
                                 nested(33, "NOT (", ")")};
  for (const std::string& f : tooDeep) {
    try {
      ds.SetFilter(f);
      ADD_FAILURE() << "accepted " << f.size() << " characters";
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find("nested deeper than 64 levels"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ds.Filter(), "QT = 1");
    EXPECT_EQ(ds.RecordCount(), 1);
  }
  EXPECT_EQ(Visible(nested(64, "(", ")")), "2");
  EXPECT_EQ(Visible(nested(32, "NOT (", ")")), "2");  // an even number of NOTs
  // A chain of AND or OR is one level however long: a million terms (it
  // used to be as deep as it was long, and overflowed the stack).
  std::string chain = "QT = 3";
  chain.reserve(11000000);
  for (int i = 0; i < 1000000; ++i) chain += " OR QT = 9";
  EXPECT_EQ(Visible(chain + " OR QT = 2"), "23");
}

TEST_F(FilterTest, FilterSetWhileClosedAppliesOnOpen) {
  ds.Close();
  ds.SetFilter("CDFILIAL = '0002'");
  ds.SetFiltered(true);
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 2);
  ds.Close();
  ds.SetFilter("NOPE = 1");
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
}

TEST_F(FilterTest, EditingARowOutOfTheFilterMovesToTheNext) {
  Visible("CDFILIAL = '0001'");
  ASSERT_EQ(ds.RecordCount(), 2);
  ds.First();
  ds.Edit();
  ds.FieldByName("CDFILIAL").SetAsString("0009");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.FieldByName("QT").AsInteger(), 2);
  EXPECT_FALSE(ds.Eof());
  // The last visible row leaving the filter ends the walk.
  ds.Edit();
  ds.FieldByName("CDFILIAL").SetAsString("0009");
  ds.Post();
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.IsEmpty());
  // A row appended outside the filter is kept but not visible.
  ds.Append();
  ds.FieldByName("CDFILIAL").SetAsString("0009");
  ds.Post();
  EXPECT_TRUE(ds.IsEmpty());
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 6);
}

TEST_F(FilterTest, DeletingInAFilteredWalkVisitsEveryRow) {
  Visible("CDFILIAL = '0002' OR CDFILIAL = '0001'");
  std::string seen;
  for (ds.First(); !ds.Eof();) {
    seen += ds.FieldByName("QT").AsString();
    if (ds.FieldByName("QT").AsInteger() % 2 == 0)
      ds.Delete();
    else
      ds.Next();
  }
  EXPECT_EQ(seen, "1234");
  ds.SetFiltered(false);
  EXPECT_EQ(ds.RecordCount(), 3);
}

// ---- Locate ----

TEST_F(FilterTest, LocateSingleField) {
  ds.Last();
  EXPECT_TRUE(ds.Locate("NRSERIEECF", Variant("D'Avila")));
  EXPECT_EQ(ds.FieldByName("QT").AsInteger(), 2);
  EXPECT_FALSE(ds.Eof());
  EXPECT_TRUE(ds.Locate("QT", Variant(3)));
  EXPECT_EQ(ds.FieldByName("NRSERIEECF").AsString(), "x");
  EXPECT_TRUE(ds.Locate("vr", Variant(-2.25)));
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_TRUE(ds.Locate("DT", Variant::FromDateTime(rtl::EncodeDate(2024, 3, 2))));
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_TRUE(ds.Locate("OK", Variant(false)));
  EXPECT_EQ(ds.RecNo(), 2);
  // Not found: the cursor stays.
  EXPECT_FALSE(ds.Locate("NRSERIEECF", Variant("nobody")));
  EXPECT_EQ(ds.RecNo(), 2);
  // A null value (or an empty text) finds a null field.
  EXPECT_TRUE(ds.Locate("NRSERIEECF", Variant::Null()));
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_TRUE(ds.Locate("QT", Variant::Null()));
  EXPECT_EQ(ds.RecNo(), 5);
  EXPECT_TRUE(ds.Locate("NRSERIEECF", Variant("")));
  EXPECT_EQ(ds.RecNo(), 4);
  EXPECT_THROW(ds.Locate("NOPE", Variant(1)), EDatabaseError);
}

TEST_F(FilterTest, LocateSeveralFields) {
  std::vector<Variant> values{Variant("0002"), Variant("01")};
  EXPECT_TRUE(ds.Locate("CDFILIAL;CDCAIXA", Variant(values)));
  EXPECT_EQ(ds.FieldByName("QT").AsInteger(), 3);
  std::vector<Variant> none{Variant("0001"), Variant(4)};
  EXPECT_FALSE(ds.Locate("CDFILIAL;QT", Variant(none)));
  // Wrong number of values.
  EXPECT_THROW(ds.Locate("CDFILIAL;CDCAIXA", Variant("0002")), EDatabaseError);
  EXPECT_THROW(ds.Locate("CDFILIAL;CDCAIXA", Variant(std::vector<Variant>{Variant("0002")})), EDatabaseError);
  // A one-element array for one field.
  EXPECT_TRUE(ds.Locate("QT", Variant(std::vector<Variant>{Variant(4)})));
  EXPECT_EQ(ds.RecNo(), 4);
}

struct LocateCase {
  const char* value;
  bool caseInsensitive;
  bool partial;
  int recNo;  // 0: not found
};

TEST_F(FilterTest, LocateOptions) {
  const LocateCase cases[] = {
      {"x", false, false, 3}, {"X", false, false, 1}, {"x", true, false, 1},
      {"d'a", false, true, 0}, {"d'a", true, true, 2}, {"D'Av", false, true, 2},
      {"D'Av", false, false, 0}, {"D'Avila ", false, true, 0},
  };
  for (const LocateCase& c : cases) {
    ds.First();
    rtl::LocateOptions o;
    o.caseInsensitive = c.caseInsensitive;
    o.partialKey = c.partial;
    bool found = ds.Locate("NRSERIEECF", Variant(c.value), o);
    EXPECT_EQ(found, c.recNo != 0) << c.value;
    if (found) {
      EXPECT_EQ(ds.RecNo(), c.recNo) << c.value;
    }
  }
}

TEST_F(FilterTest, LocateSeesOnlyVisibleRowsInIndexOrder) {
  Visible("CDFILIAL = '0002'");
  EXPECT_FALSE(ds.Locate("QT", Variant(1)));
  ds.SetIndexFieldNames("QT");
  ds.AddIndexDef("DESC", "QT", "QT");
  ds.SetIndexName("DESC");
  EXPECT_TRUE(ds.Locate("CDFILIAL", Variant("0002")));
  EXPECT_EQ(ds.FieldByName("QT").AsInteger(), 4);
  EXPECT_EQ(ds.RecNo(), 1);
}

TEST_F(FilterTest, LocatePostsAPendingEdit) {
  ds.First();
  ds.Edit();
  ds.FieldByName("NRSERIEECF").SetAsString("NEW");
  EXPECT_TRUE(ds.Locate("NRSERIEECF", Variant("NEW")));
  EXPECT_EQ(ds.State(), rtl::DataSetState::Browse);
  EXPECT_EQ(ds.RecNo(), 1);
}

}  // namespace
