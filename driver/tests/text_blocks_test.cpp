// Cutting printed texts into lines, blocks and groups.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver/text_blocks.h"

namespace {

using Qor01100::LineBlocks;
using Qor01100::LineGroups;
using V = std::vector<std::string>;

TEST(TextBlocks, TakeLineKeepsTheLineFeedAndTakesAnUnendedRestWhole) {
  std::string t = "ab\ncd\nef";
  EXPECT_EQ(Qor01100::TakeLine(t), "ab\n");
  EXPECT_EQ(Qor01100::TakeLine(t), "cd\n");
  EXPECT_EQ(Qor01100::TakeLine(t), "ef");
  EXPECT_EQ(t, "");
  EXPECT_EQ(Qor01100::TakeLine(t), "");
}

TEST(TextBlocks, BlocksCloseOnTheLineThatReachesTheSize) {
  struct Case { const char* name; std::string text; size_t min; V blocks; };
  const std::string l10 = "123456789\n";  // ten characters with its line feed
  const Case cases[] = {
      {"empty", "", 50, {}},
      {"short lines together under the size", "a\nb\nc\n", 50, {"a\nb\nc\n"}},
      {"exactly the size closes", l10 + l10 + l10, 20, {l10 + l10, l10}},
      {"one past the size", l10 + "x\n" + l10, 11, {l10 + "x\n", l10}},
      {"a long line is a block of its own", std::string(60, 'x') + "\n" + "y\n", 50,
       {std::string(60, 'x') + "\n", "y\n"}},
      {"a last line without line feed", l10 + "tail", 5, {l10, "tail"}},
      {"no line feed at all", "abc", 50, {"abc"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LineBlocks(c.text, c.min), c.blocks);
  }
}

TEST(TextBlocks, GroupsHoldAtMostTheLinesAskedAndEveryCharacter) {
  struct Case { const char* name; std::string text; V groups; };
  const Case cases[] = {
      {"empty", "", {}},
      {"fewer lines than a group", "1\n2\n", {"1\n2\n"}},
      {"four and one", "1\n2\n3\n4\n5\n", {"1\n2\n3\n4\n", "5\n"}},
      {"an unended last line joins its group", "1\n2\nfim", {"1\n2\nfim"}},
      {"an unended fifth line is a group of its own", "1\n2\n3\n4\nfim", {"1\n2\n3\n4\n", "fim"}},
      {"only an unended line", "fim", {"fim"}},
      {"empty lines count", "\n\n\n\n\n", {"\n\n\n\n", "\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LineGroups(c.text, 4), c.groups);
  }
}

TEST(TextBlocks, LimitedBlocksKeepATextThatFitsWholeAndGoOnAtLineEnds) {
  EXPECT_TRUE(Qor01100::LimitedBlocks("", 10).empty());
  EXPECT_EQ(Qor01100::LimitedBlocks("abc\ndef\n", 8), (std::vector<std::string>{"abc\ndef\n"}));
  EXPECT_EQ(Qor01100::LimitedBlocks("abc\ndef\ngh", 8), (std::vector<std::string>{"abc\ndef\n", "gh"}));
  // A line longer than the limit is cut into pieces of the limit.
  EXPECT_EQ(Qor01100::LimitedBlocks("abcdefghij\nk\n", 4), (std::vector<std::string>{"abcd", "efgh", "ij\n", "k\n"}));
  // Nothing lost, no block over the limit, each ending at a line end where one fits.
  std::string texto;
  for (int i = 0; i < 30; ++i) texto += std::string(10 + i % 40, static_cast<char>('a' + i % 26)) + "\n";
  std::string junto;
  for (const std::string& b : Qor01100::LimitedBlocks(texto, 492)) {
    EXPECT_LE(b.size(), 492u);
    EXPECT_EQ(b.back(), '\n');
    junto += b;
  }
  EXPECT_EQ(junto, texto);
}

}  // namespace
