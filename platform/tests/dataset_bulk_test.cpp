// Client datasets with thousands of rows: deleting every row from the front
// or through a filter, re-keying every row under an active index, appending
// under an index, and a long random mix of them checked against a plain
// model. The sizes span several levels of the view's tree, so node splits,
// merges and removals all happen.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>


#include "platform/dataset.h"
#include "platform/process.h"

namespace {

using rtl::ClientDataSet;
using rtl::FieldType;

constexpr int kRows = 5000;

// (KEY integer, ID integer) with an index on KEY; ID is the append order.
class BulkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ds.AddFieldDef("KEY", FieldType::Integer);
    ds.AddFieldDef("ID", FieldType::Integer);
    ds.AddIndexDef("byKey", "KEY");
    ds.CreateDataSet();
  }
  void Add(int key) {
    ds.Append();
    ds.FieldByName("KEY").SetAsInteger(key);
    ds.FieldByName("ID").SetAsInteger(nextId++);
    ds.Post();
  }
  int Key() { return ds.FieldByName("KEY").AsInteger(); }
  int Id() { return ds.FieldByName("ID").AsInteger(); }
  std::vector<int> Ids() {
    std::vector<int> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(Id());
    return out;
  }
  ClientDataSet ds;
  int nextId = 0;
};

// The model: (key, id) pairs in index order (ties by append order).
using Model = std::vector<std::pair<int, int>>;

void ExpectWalkIs(BulkTest& t, ClientDataSet& ds, const Model& m) {
  ASSERT_EQ(ds.RecordCount(), static_cast<int>(m.size()));
  size_t i = 0;
  for (ds.First(); !ds.Eof(); ds.Next(), ++i) {
    ASSERT_LT(i, m.size());
    ASSERT_EQ(ds.FieldByName("KEY").AsInteger(), m[i].first) << "row " << i;
    ASSERT_EQ(ds.FieldByName("ID").AsInteger(), m[i].second) << "row " << i;
  }
  EXPECT_EQ(i, m.size());
}

TEST_F(BulkTest, DeletingEveryRowFromTheFrontKeepsTheCursorOnTheNextRow) {
  ds.SetIndexName("");
  for (int i = 0; i < kRows; ++i) Add(i % 7);
  ds.First();
  for (int i = 0; i < kRows; ++i) {
    ASSERT_EQ(Id(), i);
    ASSERT_EQ(ds.RecNo(), 1);
    ds.Delete();
    ASSERT_EQ(ds.RecordCount(), kRows - i - 1);
  }
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Eof());
  EXPECT_TRUE(ds.Bof());
  Add(1);
  EXPECT_EQ(Ids(), std::vector<int>{kRows});
}

TEST_F(BulkTest, DeletingThroughAFilterLeavesTheOtherRowsInTheirOrder) {
  ds.SetIndexName("");
  for (int i = 0; i < kRows; ++i) Add(i % 3);
  ds.SetFilter("KEY <> 1");
  ds.SetFiltered(true);
  int deleted = 0;
  for (ds.First(); !ds.Eof();) {
    ds.Delete();
    ++deleted;
  }
  ds.SetFiltered(false);
  std::vector<int> expected;
  for (int i = 1; i < kRows; i += 3) expected.push_back(i);
  EXPECT_EQ(deleted, kRows - static_cast<int>(expected.size()));
  EXPECT_EQ(Ids(), expected);
  // The packet, the file and a copy hold the same rows, deleted ones gone.
  ClientDataSet copy;
  copy.CopyFrom(ds);
  EXPECT_EQ(copy.RecordCount(), static_cast<int>(expected.size()));
  ClientDataSet fromPacket;
  fromPacket.SetData(ds.Data());
  EXPECT_EQ(fromPacket.RecordCount(), static_cast<int>(expected.size()));
  const std::string path =
      (std::filesystem::temp_directory_path() / ("bulk-" + std::to_string(rtl::ProcessId()) + ".xml")).string();
  ds.SaveToFile(path);
  ClientDataSet loaded;
  loaded.LoadFromFile(path);
  std::filesystem::remove(path);
  EXPECT_EQ(loaded.RecordCount(), static_cast<int>(expected.size()));
  loaded.Last();
  EXPECT_EQ(loaded.FieldByName("ID").AsInteger(), expected.back());
}

TEST_F(BulkTest, EmptyDataSetCountsOnlyTheRowsLeft) {
  for (int i = 0; i < 100; ++i) Add(i);
  ds.MergeChangeLog();
  ds.First();
  for (int i = 0; i < 30; ++i) ds.Delete();
  EXPECT_EQ(ds.ChangeCount(), 30);
  ds.EmptyDataSet();
  EXPECT_EQ(ds.ChangeCount(), 100);
}

TEST_F(BulkTest, ReKeyingEveryRowUnderAnIndexKeepsTheOrderAndTheCursor) {
  ds.SetIndexName("byKey");
  Model m;
  for (int i = 0; i < kRows; ++i) {
    Add(i);
    m.emplace_back(i, i);
  }
  // Each row gets a key of its own or one shared with others; the cursor
  // follows the edited row to its new place.
  for (int i = 0; i < kRows; ++i) {
    const int newKey = (i * 7919) % 1000;
    ASSERT_TRUE(ds.Locate("ID", rtl::Variant(i)));
    ds.Edit();
    ds.FieldByName("KEY").SetAsInteger(newKey);
    ds.Post();
    auto old = std::find_if(m.begin(), m.end(), [&](auto& p) { return p.second == i; });
    m.erase(old);
    auto at = std::upper_bound(m.begin(), m.end(), std::make_pair(newKey, i));
    const auto rank = at - m.begin();
    m.insert(at, {newKey, i});
    ASSERT_EQ(Id(), i);
    ASSERT_EQ(ds.RecNo(), rank + 1) << "row " << i;
  }
  ExpectWalkIs(*this, ds, m);
}

TEST_F(BulkTest, AppendingUnderAnIndexPlacesEachRowAtOnce) {
  ds.SetIndexName("byKey");
  Model m;
  std::mt19937 rng(7);
  for (int i = 0; i < kRows; ++i) {
    const int key = static_cast<int>(rng() % 500);
    Add(key);
    auto at = std::upper_bound(m.begin(), m.end(), std::make_pair(key, i));
    const auto rank = at - m.begin();
    m.insert(at, {key, i});
    ASSERT_EQ(ds.RecNo(), rank + 1) << "append " << i;
    ASSERT_EQ(ds.RecordCount(), i + 1);
  }
  ExpectWalkIs(*this, ds, m);
}

// Appends, deletes at random places and key changes, checked against the
// model after every step (the current row and its position) and walked whole
// now and then.
TEST_F(BulkTest, RandomMixMatchesAModel) {
  ds.SetIndexName("byKey");
  Model m;
  std::mt19937 rng(11);
  auto moveTo = [&](size_t pos) {
    ASSERT_TRUE(ds.Locate("ID", rtl::Variant(m[pos].second)));
    ASSERT_EQ(ds.RecNo(), static_cast<int>(pos) + 1);
  };
  for (int step = 0; step < 9000; ++step) {
    // 3000 appends first, then appends, deletes and key changes at random.
    const unsigned what = step < 3000 || m.empty() ? 0 : rng() % 3;
    if (what == 0) {
      const int key = static_cast<int>(rng() % 300);
      const int id = nextId;
      Add(key);
      m.insert(std::upper_bound(m.begin(), m.end(), std::make_pair(key, id)), {key, id});
    } else if (what == 1) {
      const size_t pos = rng() % m.size();
      moveTo(pos);
      ds.Delete();
      m.erase(m.begin() + static_cast<std::ptrdiff_t>(pos));
      if (pos < m.size()) {
        ASSERT_EQ(Id(), m[pos].second) << "step " << step;
        ASSERT_EQ(ds.RecNo(), static_cast<int>(pos) + 1);
      }
    } else {
      const size_t pos = rng() % m.size();
      moveTo(pos);
      const int key = static_cast<int>(rng() % 300);
      const int id = m[pos].second;
      ds.Edit();
      ds.FieldByName("KEY").SetAsInteger(key);
      ds.Post();
      m.erase(m.begin() + static_cast<std::ptrdiff_t>(pos));
      m.insert(std::upper_bound(m.begin(), m.end(), std::make_pair(key, id)), {key, id});
    }
    if (step % 1500 == 1499) ExpectWalkIs(*this, ds, m);
    ASSERT_FALSE(HasFatalFailure());
  }
  ExpectWalkIs(*this, ds, m);
  // A rebuilt view (index switched off and on) agrees with the one kept up to date.
  ds.SetIndexName("");
  ds.SetIndexName("byKey");
  ExpectWalkIs(*this, ds, m);
}

}  // namespace
