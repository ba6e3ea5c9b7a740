// Client datasets: structure, lifecycle, cursor, editing and index order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/errors.h"

namespace {

using rtl::ClientDataSet;
using rtl::DataSetState;
using rtl::EDatabaseError;
using rtl::FieldType;

// Expects fn to raise EDatabaseError whose message contains `text`.
template <class Fn>
void ExpectDbError(Fn fn, const std::string& text) {
  try {
    fn();
    ADD_FAILURE() << "no EDatabaseError; expected: " << text;
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
  }
}

// A dataset of (CODE string(4), NAME string(10), VALUE float).
class CursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.AddFieldDef("CODE", FieldType::String, 4);
    ds.AddFieldDef("NAME", FieldType::String, 10);
    ds.AddFieldDef("VALUE", FieldType::Float);
    ds.CreateDataSet();
  }
  void Add(const std::string& code, const std::string& name, double value) {
    ds.Append();
    ds.FieldByName("CODE").SetAsString(code);
    ds.FieldByName("NAME").SetAsString(name);
    ds.FieldByName("VALUE").SetAsFloat(value);
    ds.Post();
  }
  std::vector<std::string> Column(const char* field) {
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName(field).AsString());
    return out;
  }
  ClientDataSet ds;
};

TEST(DataSetStructure, StringSizeZeroMeansTwenty) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::String);
  ds.AddFieldDef("B", FieldType::String, 5);
  EXPECT_EQ(ds.FieldDefs()[0].size, 20);
  EXPECT_EQ(ds.FieldDefs()[1].size, 5);
  EXPECT_EQ(ds.FieldCount(), 2);
}

TEST(DataSetStructure, BadDefinitionsAreRefused) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::String);
  ExpectDbError([&] { ds.AddFieldDef("a", FieldType::Integer); }, "Duplicate field name");
  ExpectDbError([&] { ds.AddFieldDef(" ", FieldType::Integer); }, "has no name");
  ds.AddIndexDef("IX", "A");
  ExpectDbError([&] { ds.AddIndexDef("ix", "A"); }, "already defined");
  ExpectDbError([&] { ds.SetIndexName("NOPE"); }, "Index 'NOPE' not found");
  ds.CreateDataSet();
  ExpectDbError([&] { ds.AddFieldDef("C", FieldType::Integer); }, "open dataset");
  ExpectDbError([&] { ds.AddIndexDef("IX2", "MISSING"); }, "Field 'MISSING' not found");
}

TEST(DataSetLifecycle, CreateOpenCloseAndAfterOpen) {
  ClientDataSet ds("cdsTest");
  EXPECT_EQ(ds.Name, "cdsTest");
  ExpectDbError([&] { ds.CreateDataSet(); }, "without field definitions");
  ds.AddFieldDef("A", FieldType::Integer);
  ExpectDbError([&] { ds.Open(); }, "Missing data provider or data packet");
  int opened = 0;
  ds.AfterOpen = [&](ClientDataSet& d) {
    ++opened;
    EXPECT_TRUE(d.Active());
  };
  ds.CreateDataSet();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(ds.State(), DataSetState::Browse);
  ds.Append();
  ds.FieldByName("A").SetAsInteger(7);
  ds.Post();
  ds.Close();
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.State(), DataSetState::Inactive);
  ds.Open();  // the rows survive a close
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.FieldByName("A").AsInteger(), 7);
  ds.Open();  // already open: nothing happens
  EXPECT_EQ(opened, 2);
  ds.EmptyDataSet();
  EXPECT_TRUE(ds.Active());
  EXPECT_TRUE(ds.IsEmpty());
  ds.CreateDataSet();  // recreating starts empty again
  EXPECT_EQ(opened, 3);
}

TEST(DataSetLifecycle, ClosedDatasetRefusesWork) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::String, 3);
  const char* closed = "Cannot perform this operation on a closed dataset";
  ExpectDbError([&] { ds.First(); }, closed);
  ExpectDbError([&] { ds.Next(); }, closed);
  ExpectDbError([&] { ds.Append(); }, closed);
  ExpectDbError([&] { ds.Edit(); }, closed);
  ExpectDbError([&] { ds.Post(); }, closed);
  ExpectDbError([&] { ds.Delete(); }, closed);
  ExpectDbError([&] { ds.RecordCount(); }, closed);
  ExpectDbError([&] { ds.EmptyDataSet(); }, closed);
  ExpectDbError([&] { ds.Locate("A", rtl::Variant("x")); }, closed);
  ExpectDbError([&] { ds.FieldByName("A").SetAsString("x"); }, closed);
  // Reads of a closed dataset are harmless: at the end, empty, null.
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.Bof());
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.FieldByName("A").IsNull());
  EXPECT_EQ(ds.FieldByName("A").AsString(), "");
}

TEST_F(CursorTest, EditingStateRules) {
  const char* notEditing = "Dataset not in edit or insert mode";
  ExpectDbError([&] { ds.FieldByName("CODE").SetAsString("x"); }, notEditing);
  ExpectDbError([&] { ds.Post(); }, notEditing);
  ExpectDbError([&] { ds.Delete(); }, "empty dataset");
  ds.Cancel();  // nothing to cancel: no error
  Add("A", "alpha", 1);
  EXPECT_EQ(ds.State(), DataSetState::Browse);
  ExpectDbError([&] { ds.FieldByName("NAME").SetAsString("x"); }, notEditing);
  ExpectDbError([&] { ds.FieldByName("nope"); }, "Field 'nope' not found");
  EXPECT_EQ(ds.FindField("nope"), nullptr);
  EXPECT_EQ(&ds.FieldByName("name"), &ds.FieldByName("NAME"));  // case-insensitive

  ds.Edit();
  EXPECT_EQ(ds.State(), DataSetState::Edit);
  ds.FieldByName("NAME").SetAsString("changed");
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "changed");
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "alpha");

  ds.Append();
  ds.FieldByName("CODE").SetAsString("B");
  EXPECT_EQ(ds.State(), DataSetState::Insert);
  EXPECT_FALSE(ds.IsEmpty());
  ds.Cancel();
  EXPECT_EQ(ds.RecordCount(), 1);
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "A");
}

TEST_F(CursorTest, MovingPostsAModifiedRecordAndCancelsAnUntouchedOne) {
  Add("A", "alpha", 1);
  Add("B", "beta", 2);
  ds.First();
  ds.Edit();
  ds.FieldByName("NAME").SetAsString("posted");
  ds.Next();  // posts
  EXPECT_EQ(ds.State(), DataSetState::Browse);
  ds.First();
  EXPECT_EQ(ds.FieldByName("NAME").AsString(), "posted");
  ds.Append();  // nothing set: moving away cancels it
  ds.First();
  EXPECT_EQ(ds.RecordCount(), 2);
}

TEST_F(CursorTest, EditOnEmptyDatasetInserts) {
  ds.Edit();
  EXPECT_EQ(ds.State(), DataSetState::Insert);
  ds.FieldByName("CODE").SetAsString("N");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(CursorTest, CursorFlagsAndRecNo) {
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.RecNo(), 0);
  ds.Next();
  ds.Prior();
  EXPECT_TRUE(ds.Eof());
  for (int i = 1; i <= 3; ++i) Add(std::to_string(i), "n", i);
  ds.First();
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Next();
  EXPECT_FALSE(ds.Bof());
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "3");
  ds.Prior();
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 2);
  ds.Prior();
  ds.Prior();
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Last();
  ds.Next();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "3");  // stays on the last row
}

TEST_F(CursorTest, PostLeavesCursorOnThePostedRowInIndexOrder) {
  ds.SetIndexFieldNames("CODE");
  Add("B", "b", 2);
  Add("D", "d", 4);
  Add("A", "a", 1);
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "A");
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Last();
  ds.Edit();
  ds.FieldByName("CODE").SetAsString("C");  // still last, after B
  ds.Post();
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "C");
  EXPECT_EQ(ds.RecNo(), 3);
  ds.Next();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(CursorTest, InsertGoesBeforeTheCurrentRowWithoutIndex) {
  Add("A", "a", 1);
  Add("C", "c", 3);
  ds.Last();
  ds.Insert();
  ds.FieldByName("CODE").SetAsString("B");
  ds.Post();
  EXPECT_EQ(ds.RecNo(), 2);
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"A", "B", "C"}));
  // Many inserts at the same place keep their order (room between rows runs out).
  ds.First();
  for (int i = 0; i < 40; ++i) {
    ds.Insert();
    ds.FieldByName("CODE").SetAsString(std::to_string(i));
    ds.Post();  // the new row is current: the next insert goes before it
  }
  std::vector<std::string> codes = Column("CODE");
  ASSERT_EQ(codes.size(), 43u);
  EXPECT_EQ(codes[0], "39");
  EXPECT_EQ(codes[39], "0");
  EXPECT_EQ(codes[40], "A");
}

TEST_F(CursorTest, DeleteMovesToTheNextRowAndEndsAtEof) {
  for (const char* c : {"A", "B", "C", "D"}) Add(c, "x", 0);
  // Delete every second row in a walk: the row after a deleted one becomes current.
  ds.First();
  bool del = true;
  while (!ds.Eof()) {
    if (del) {
      ds.Delete();
    } else {
      ds.Next();
    }
    del = !del;
  }
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"B", "D"}));
  ds.Last();
  ds.Delete();  // the last row: the cursor ends at Eof on the new last row
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "B");
  ds.Delete();
  EXPECT_TRUE(ds.IsEmpty());
  ExpectDbError([&] { ds.Delete(); }, "empty dataset");
}

TEST_F(CursorTest, DeleteDuringInsertCancelsIt) {
  Add("A", "a", 1);
  ds.Append();
  ds.FieldByName("CODE").SetAsString("B");
  ds.Delete();
  EXPECT_EQ(ds.State(), DataSetState::Browse);
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(CursorTest, StringsAreCutAtTheirSizeAndNotPadded) {
  Add("ABCDEFG", "x", 0);
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "ABCD");
  Add("A ", "x", 0);
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "A ");
}

struct IndexCase {
  const char* name;
  const char* fields;
  const char* desc;
  bool caseInsensitive;
  std::vector<std::string> expected;  // the NAME column in order
};

class IndexOrderTest : public ::testing::TestWithParam<IndexCase> {};

TEST_P(IndexOrderTest, OrdersRows) {
  const IndexCase& c = GetParam();
  ClientDataSet ds;
  ds.AddFieldDef("GRP", FieldType::String, 5);
  ds.AddFieldDef("VAL", FieldType::Float);
  ds.AddFieldDef("NAME", FieldType::String, 10);
  ds.AddIndexDef("IX", c.fields, c.desc, c.caseInsensitive);
  ds.SetIndexName("IX");
  ds.CreateDataSet();
  struct R {
    const char* grp;
    double val;
    const char* name;
    bool nullVal;
  };
  const R rows[] = {{"b", 2, "r1", false}, {"A", 10, "r2", false}, {"a", 2, "r3", false},
                    {"B", 1, "r4", false}, {"A", 2, "r5", false},  {"A", 0, "r6", true}};
  for (const R& r : rows) {
    ds.Append();
    ds.FieldByName("GRP").SetAsString(r.grp);
    if (!r.nullVal) ds.FieldByName("VAL").SetAsFloat(r.val);
    ds.FieldByName("NAME").SetAsString(r.name);
    ds.Post();
  }
  std::vector<std::string> got;
  for (ds.First(); !ds.Eof(); ds.Next()) got.push_back(ds.FieldByName("NAME").AsString());
  EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, IndexOrderTest,
    ::testing::Values(
        // Equal keys keep insertion order; upper case sorts before lower case (1252 order).
        IndexCase{"single", "GRP", "", false, {"r2", "r5", "r6", "r4", "r3", "r1"}},
        IndexCase{"multi", "GRP;VAL", "", false, {"r6", "r5", "r2", "r4", "r3", "r1"}},
        IndexCase{"descSecond", "GRP;VAL", "VAL", false, {"r2", "r5", "r6", "r4", "r3", "r1"}},
        IndexCase{"descAll", "GRP;VAL", "GRP;VAL", false, {"r1", "r3", "r4", "r2", "r5", "r6"}},
        IndexCase{"caseInsensitive", "GRP", "", true, {"r2", "r3", "r5", "r6", "r1", "r4"}},
        IndexCase{"nullsFirst", "VAL", "", false, {"r6", "r4", "r1", "r3", "r5", "r2"}}),
    [](const ::testing::TestParamInfo<IndexCase>& i) { return std::string(i.param.name); });

TEST_F(CursorTest, SwitchingIndexesKeepsTheCurrentRow) {
  ds.AddIndexDef("BYNAME", "NAME");
  ds.AddIndexDef("BYVALUE", "VALUE", "VALUE");
  Add("1", "c", 5);
  Add("2", "a", 9);
  Add("3", "b", 1);
  ds.SetIndexName("BYNAME");
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"2", "3", "1"}));
  ds.First();
  ds.Next();  // "3"
  ds.SetIndexName("byvalue");
  EXPECT_EQ(ds.IndexName(), "BYVALUE");
  EXPECT_EQ(ds.FieldByName("CODE").AsString(), "3");
  EXPECT_EQ(ds.RecNo(), 3);
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"2", "1", "3"}));
  ds.SetIndexName("");
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"1", "2", "3"}));
  ds.SetIndexFieldNames("VALUE");
  EXPECT_EQ(ds.IndexName(), "");
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"3", "1", "2"}));
  ExpectDbError([&] { ds.SetIndexFieldNames("NOPE"); }, "Field 'NOPE' not found");
  ExpectDbError([&] { ds.SetIndexName("NOPE"); }, "Index 'NOPE' not found");
  EXPECT_EQ(Column("CODE"), (std::vector<std::string>{"3", "1", "2"}));  // unchanged
}

TEST(DataSetIndex, ManyAppendsInReverseOrderEndSorted) {
  ClientDataSet ds;
  ds.AddFieldDef("N", FieldType::Integer);
  ds.SetIndexFieldNames("N");
  ds.CreateDataSet();
  const int n = 10000;  // beyond the size where posts place rows directly
  for (int i = n; i >= 1; --i) {
    ds.Append();
    ds.FieldByName("N").SetAsInteger(i);
    ds.Post();
    ASSERT_EQ(ds.FieldByName("N").AsInteger(), i);
  }
  EXPECT_EQ(ds.RecordCount(), n);
  EXPECT_EQ(ds.RecNo(), 1);  // the last posted (1) sorts first
  int expect = 1;
  for (ds.First(); !ds.Eof(); ds.Next()) ASSERT_EQ(ds.FieldByName("N").AsInteger(), expect++);
}

TEST(DataSetIndex, DeclaredIndexesAreKeptForLoadedData) {
  ClientDataSet src;
  src.AddFieldDef("K", FieldType::String, 3);
  src.AddFieldDef("V", FieldType::Integer);
  src.AddIndexDef("idxFromPacket", "V");
  src.CreateDataSet();
  for (int v : {3, 1, 2}) {
    src.Append();
    src.FieldByName("K").SetAsString("k" + std::to_string(v));
    src.FieldByName("V").SetAsInteger(v);
    src.Post();
  }
  ClientDataSet dst;
  dst.AddIndexDef("idxK", "K", "K");
  dst.AddIndexDef("idxMissing", "NOTTHERE");
  dst.SetIndexName("idxK");  // allowed while closed, before any structure
  EXPECT_EQ(dst.IndexDefs().size(), 2u);
  dst.SetData(src.Data());
  ASSERT_EQ(dst.IndexDefs().size(), 2u);  // idxK kept, idxMissing dropped, the packet's added
  EXPECT_EQ(dst.IndexDefs()[0].name, "idxK");
  EXPECT_EQ(dst.IndexDefs()[1].name, "idxFromPacket");
  std::vector<std::string> got;
  for (dst.First(); !dst.Eof(); dst.Next()) got.push_back(dst.FieldByName("K").AsString());
  EXPECT_EQ(got, (std::vector<std::string>{"k3", "k2", "k1"}));
  dst.SetIndexName("idxFromPacket");
  dst.First();
  EXPECT_EQ(dst.FieldByName("V").AsInteger(), 1);
}

TEST(DataSetIndex, ActiveIndexThatDoesNotFitTheDataLeavesTheDatasetAsItWas) {
  ClientDataSet dst;
  dst.AddFieldDef("K", FieldType::String, 3);
  dst.AddIndexDef("idxK", "K");
  dst.SetIndexName("idxK");
  dst.CreateDataSet();
  dst.Append();
  dst.FieldByName("K").SetAsString("old");
  dst.Post();
  ClientDataSet src;
  src.AddFieldDef("OTHER", FieldType::Integer);
  src.CreateDataSet();
  ExpectDbError([&] { dst.SetData(src.Data()); }, "Index 'idxK' not found");
  EXPECT_EQ(dst.FieldByName("K").AsString(), "old");
  EXPECT_EQ(dst.RecordCount(), 1);
}

TEST(DataSetFields, FieldObjectsSurviveReloadsByName) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::String, 3);
  ds.AddFieldDef("B", FieldType::Float);
  ds.CreateDataSet();
  rtl::Field& b = ds.FieldByName("B");
  b.DisplayFormat = "#,##0.00";
  rtl::Field& a = ds.FieldByName("A");
  ClientDataSet other;
  other.AddFieldDef("B", FieldType::Float);
  other.AddFieldDef("C", FieldType::Integer);
  other.CreateDataSet();
  other.Append();
  other.FieldByName("B").SetAsFloat(2.5);
  other.Post();
  ds.SetData(other.Data());
  EXPECT_EQ(&ds.FieldByName("B"), &b);
  EXPECT_EQ(b.DisplayFormat, "#,##0.00");
  EXPECT_DOUBLE_EQ(b.AsFloat(), 2.5);
  EXPECT_EQ(a.FieldName(), "A");
  ExpectDbError([&] { a.AsString(); }, "Field 'A' not found");  // no longer a column
}

TEST(DataSetChangeLog, CountsWhileLoggingAndMerges) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::Integer);
  ds.CreateDataSet();
  EXPECT_TRUE(ds.LogChanges());
  ds.Append();
  ds.FieldByName("A").SetAsInteger(1);
  ds.Post();
  EXPECT_EQ(ds.ChangeCount(), 1);
  ds.MergeChangeLog();
  EXPECT_EQ(ds.ChangeCount(), 0);
  ds.SetLogChanges(false);
  ds.Edit();
  ds.FieldByName("A").SetAsInteger(2);
  ds.Post();
  EXPECT_FALSE(ds.LogChanges());
  EXPECT_EQ(ds.ChangeCount(), 0);
  EXPECT_EQ(ds.FieldByName("A").AsInteger(), 2);  // applied either way
}

}  // namespace
