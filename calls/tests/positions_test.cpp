// FechaCupom's list given as an object keyed by position: the positions
// named once (coupon/closing_positions.def), the ones left out filled with
// their kind's empty value, and keys that are not positions refused.
#include <gtest/gtest.h>

#include "calls/positions.h"

namespace {

using qorhost::Json;

const std::vector<qorhost::Position>& Closing() {
  const auto* p = qorhost::NamedPositions("FechaCupom", 0);
  EXPECT_NE(p, nullptr);
  static const std::vector<qorhost::Position> none;
  return p ? *p : none;
}

TEST(Positions, FechaCupomNamesEachOfItsSixtyOnePositionsInOrder) {
  ASSERT_EQ(Closing().size(), 61u);
  for (size_t i = 0; i < Closing().size(); ++i) {
    EXPECT_EQ(Closing()[i].index, static_cast<int>(i));
    EXPECT_STRNE(Closing()[i].meaning, "") << i;
  }
  EXPECT_STREQ(Closing()[13].field, "movimentos");
  EXPECT_STREQ(Closing()[60].kind, "FlagOrNull");
  EXPECT_EQ(qorhost::NamedPositions("FechaCupom", 1), nullptr);
  EXPECT_EQ(qorhost::NamedPositions("VendaItem", 0), nullptr);
}

TEST(Positions, LeftOutPositionsTakeTheirKindsEmptyValue) {
  const Json list = qorhost::ExpandPositions(Closing(), Json::parse(R"({"6": 1.5, "13": {"fields": []}, "9": "T"})"));
  ASSERT_EQ(list.size(), 61u);
  EXPECT_EQ(list[6], 1.5);
  EXPECT_EQ(list[9], "T");
  EXPECT_EQ(list[13], Json::parse(R"({"fields": []})"));
  EXPECT_EQ(list[1], "");                   // text
  EXPECT_EQ(list[3], 0);                    // integer
  EXPECT_TRUE(list[7].is_number_float());   // real
  EXPECT_EQ(list[4], false);                // flag
  EXPECT_TRUE(list[14].is_null());          // packet
  EXPECT_TRUE(list[60].is_null());          // null: the consumer line is printed
}

TEST(Positions, KeysThatAreNotPositionsAreRefused) {
  for (const char* key : {"61", "-1", "x", "", "06", "1.0", "1000"}) {
    Json keyed = Json::object();
    keyed[key] = 1;
    try {
      qorhost::ExpandPositions(Closing(), keyed);
      ADD_FAILURE() << key << " was taken";
    } catch (const qorhost::SessionError& e) {
      EXPECT_NE(std::string(e.what()).find("positions 0 to 60"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
