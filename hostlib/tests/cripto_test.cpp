// Cripto / Uncripto: a stored-file format, so the vectors below are fixed.
#include <gtest/gtest.h>

#include <string>

#include "hostlib/cripto.h"
#include "platform/text.h"

namespace {

using hostlib::Cripto;
using hostlib::kCriptoKey;
using hostlib::Uncripto;

// Written once by this algorithm; configuration files in the field hold such
// texts. A failure here means files already written can no longer be read.
TEST(Cripto, KnownVectors) {
  struct Case {
    std::string plain;
    int key;
    const char* hidden;
  };
  const Case cases[] = {
      {"", 7, ""},
      {"A", 7, "CJ"},
      {"10,10", 7, "FJPOKMAKJG"},
      {"123456,78", 7, "FJPMENOILBGMAOOGIO"},
      {"0000", 7, "FIPNEPOO"},
      {rtl::Utf8ToCp1252("Ação"), 7, "CJHJBIMI"},
      {"10,10", 0, "FEPGFJNEFN"},
      {"10,10", -1, "HBIOMEBKLO"},
      {std::string("\x00\xFF", 2), 7, "GICC"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cripto(c.plain, c.key), c.hidden) << c.plain << " key " << c.key;
    EXPECT_EQ(Uncripto(c.hidden, c.key), c.plain) << c.hidden << " key " << c.key;
  }
  EXPECT_EQ(kCriptoKey, 7);
}

TEST(Cripto, RoundTripsEveryByteAndStaysPrintable) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::string twice = all + all;  // positions past 255 too
  for (int key : {0, 1, kCriptoKey, 255, 256, -7, 123456}) {
    for (const std::string& s : {all, twice, std::string(300, 'x'), std::string(1, '\0')}) {
      std::string hidden = Cripto(s, key);
      EXPECT_EQ(hidden.size(), 2 * s.size());
      for (char c : hidden) {
        ASSERT_TRUE(c >= 'A' && c <= 'P') << "key " << key << " char " << int(c);
      }
      EXPECT_EQ(Uncripto(hidden, key), s) << "key " << key;
    }
  }
}

TEST(Cripto, HidesRepetitionAndDependsOnTheKey) {
  std::string hidden = Cripto("0000000000", kCriptoKey);
  // No two consecutive hidden bytes alike for a run of equal characters.
  for (size_t i = 2; i < hidden.size(); i += 2) {
    EXPECT_NE(hidden.substr(i, 2), hidden.substr(i - 2, 2)) << i;
  }
  EXPECT_NE(Cripto("10,10", 7), Cripto("10,10", 8));
  EXPECT_NE(Uncripto(Cripto("10,10", 7), 8), "10,10");
}

TEST(Cripto, DamagedTextGivesEmpty) {
  // The caller reads an empty value as a damaged file and says so.
  for (const char* bad : {"FJPOKMAKJ", "FJPOKMAKJQ", "fjpokmakjg", "FJ OKMAKJG", "10,10"}) {
    EXPECT_EQ(Uncripto(bad, kCriptoKey), "") << bad;
  }
}

}  // namespace
