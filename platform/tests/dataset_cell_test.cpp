// Client datasets: texts kept inside a row's cells or on the heap, whatever
// their length, through every path that writes or copies them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/dataset.h"
#include "platform/process.h"
#include "platform/dataset_cell.h"

namespace {

using rtl::ClientDataSet;
using rtl::FieldType;
using rtl::dsimpl::CellText;

// Lengths around the size a cell holds itself (22 bytes).
const size_t kLengths[] = {0, 1, 21, 22, 23, 24, 100, 70000};

// A text of n bytes that tells where every byte came from.
std::string Text(size_t n, char first = 'a') {
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(first + i % 26);
  return s;
}

TEST(CellText, HoldsEveryLengthAndEveryChangeOfLength) {
  for (size_t from : kLengths) {
    for (size_t to : kLengths) {
      SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
      CellText t;
      t = Text(from);
      EXPECT_EQ(t.view(), Text(from));
      t = Text(to, 'A');
      EXPECT_EQ(t.view(), Text(to, 'A'));
      EXPECT_EQ(t.size(), to);
      EXPECT_EQ(t.empty(), to == 0);
    }
  }
}

TEST(CellText, AssignsAPieceOfItself) {
  for (size_t n : kLengths) {
    if (n < 2) continue;
    SCOPED_TRACE(n);
    CellText t;
    t = Text(n);
    t.assign(t.view().substr(1));  // overlapping, shorter
    EXPECT_EQ(t.view(), Text(n).substr(1));
    t.assign(t.view());  // itself
    EXPECT_EQ(t.view(), Text(n).substr(1));
  }
}

TEST(CellText, CopiesAndMovesOwnTheirText) {
  for (size_t n : kLengths) {
    SCOPED_TRACE(n);
    CellText a;
    a = Text(n);
    CellText b(a);
    CellText c;
    c = a;
    a = std::string("changed");
    EXPECT_EQ(b.view(), Text(n));
    EXPECT_EQ(c.view(), Text(n));
    CellText d(std::move(b));
    EXPECT_EQ(d.view(), Text(n));
    EXPECT_TRUE(b.empty());  // NOLINT(bugprone-use-after-move): the moved-from cell is what is checked
    c = std::move(d);
    EXPECT_EQ(c.view(), Text(n));
    c.clear();
    EXPECT_TRUE(c.empty());
  }
}

class CellDataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.AddFieldDef("CODE", FieldType::String, 100000);
    ds.AddFieldDef("N", FieldType::Integer);
    ds.AddFieldDef("NOTE", FieldType::Memo);
    ds.CreateDataSet();
  }
  void Add(const std::string& code, int n, const std::string& note) {
    ds.Append();
    ds.FieldByName("CODE").SetAsString(code);
    ds.FieldByName("N").SetAsInteger(n);
    ds.FieldByName("NOTE").SetAsString(note);
    ds.Post();
  }
  std::vector<std::string> Column(ClientDataSet& d, const char* name) {
    std::vector<std::string> out;
    for (d.First(); !d.Eof(); d.Next()) out.push_back(d.FieldByName(name).AsString());
    return out;
  }
  ClientDataSet ds;
};

// Edits that lengthen, shorten and cancel leave the other cells and rows intact.
TEST_F(CellDataSetTest, EditsCancelsAndCopiesKeepEveryText) {
  std::vector<std::string> codes, notes;
  for (size_t n : kLengths) {
    Add(Text(n), static_cast<int>(n), Text(n, 'A'));
    codes.push_back(Text(n));
    notes.push_back(Text(n, 'A'));
  }
  // Every row's text changed to the next length; one edit cancelled.
  int r = 0;
  for (ds.First(); !ds.Eof(); ds.Next(), ++r) {
    const size_t next = kLengths[(r + 1) % std::size(kLengths)];
    ds.Edit();
    ds.FieldByName("CODE").SetAsString(Text(next, 'k'));
    if (r == 3) {
      ds.Cancel();
      continue;
    }
    ds.Post();
    codes[r] = Text(next, 'k');
  }
  EXPECT_EQ(Column(ds, "CODE"), codes);
  EXPECT_EQ(Column(ds, "NOTE"), notes);

  ClientDataSet copy;
  copy.CopyFrom(ds);
  ds.First();
  ds.Edit();
  ds.FieldByName("NOTE").SetAsString("x");
  ds.Post();
  EXPECT_EQ(Column(copy, "CODE"), codes);
  EXPECT_EQ(Column(copy, "NOTE"), notes);

  ClientDataSet fromPacket;
  fromPacket.SetData(copy.Data());
  EXPECT_EQ(Column(fromPacket, "CODE"), codes);
}

TEST_F(CellDataSetTest, LongAndShortTextsSortFilterAndTravelThroughFiles) {
  const std::vector<std::string> texts = {Text(30, 'b'), Text(5, 'b'), Text(22, 'a'), Text(23, 'a'), ""};
  for (size_t i = 0; i < texts.size(); ++i) Add(texts[i], static_cast<int>(i), texts[i]);

  ds.SetIndexFieldNames("CODE");
  EXPECT_EQ(Column(ds, "N"), (std::vector<std::string>{"4", "2", "3", "1", "0"}));
  ds.SetIndexFieldNames("");
  ds.SetFilter("CODE = '" + Text(23, 'a') + "'");
  ds.SetFiltered(true);
  EXPECT_EQ(Column(ds, "N"), std::vector<std::string>{"3"});
  ds.SetFiltered(false);

  const std::string path = (std::filesystem::temp_directory_path() /
                            ("qor_cells_" + std::to_string(rtl::ProcessId()) + ".xml")).string();
  ds.SaveToFile(path);
  ClientDataSet back;
  back.LoadFromFile(path);
  std::filesystem::remove(path);
  EXPECT_EQ(Column(back, "CODE"), texts);
  EXPECT_EQ(Column(back, "NOTE"), texts);
  back.First();
  back.Next();
  back.Next();
  back.Next();
  back.Next();
  EXPECT_TRUE(back.FieldByName("CODE").IsNull());
}

// Rows loaded in bulk share storage blocks; each row still lives and dies
// on its own: deleted, edited, copied, replaced by another load.
TEST_F(CellDataSetTest, RowsLoadedInBulkLiveAndDieOneByOne) {
  const int n = 1000;  // many blocks' worth
  for (int i = 0; i < n; ++i) Add(Text(static_cast<size_t>(i % 40), static_cast<char>('a' + i % 7)), i, Text(30));
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("qor_bulk_" + std::to_string(rtl::ProcessId()) + ".xml")).string();
  ds.SaveToFile(path);
  for (const char* how : {"file", "packet"}) {
    SCOPED_TRACE(how);
    ClientDataSet back;
    if (std::string(how) == "file") back.LoadFromFile(path);
    else back.SetData(ds.Data());
    // Every other row deleted, the rest lengthened.
    std::vector<std::string> expect;
    back.First();
    for (int i = 0; i < n; ++i) {
      if (i % 2 == 0) {
        back.Delete();
        continue;
      }
      back.Edit();
      back.FieldByName("CODE").SetAsString(Text(60 + i % 5, 'A'));
      back.Post();
      expect.push_back(std::to_string(i));
      back.Next();
    }
    ClientDataSet copy;
    copy.CopyFrom(back);
    back.LoadFromFile(path);  // the old rows go, the copy keeps its own
    EXPECT_EQ(back.RecordCount(), n);
    EXPECT_EQ(Column(copy, "N"), expect);
    EXPECT_EQ(Column(copy, "CODE").front(), Text(61, 'A'));
  }
  std::filesystem::remove(path);
}

}  // namespace
