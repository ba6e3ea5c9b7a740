// Text routines: 1-based indexes that clamp, trimming, case, integer
// conversions and code page 1252 <-> UTF-8.
#include <gtest/gtest.h>

#include <climits>

#include "platform/errors.h"
#include "platform/text.h"

using namespace rtl;

namespace {

TEST(Text, CopyClamps) {
  struct Case {
    const char* s;
    int64_t i, n;
    const char* expected;
  } cases[] = {
      {"abcdef", 1, 3, "abc"},   {"abcdef", 2, 2, "bc"},     {"abcdef", 4, 100, "def"},
      {"abcdef", 6, 1, "f"},     {"abcdef", 7, 1, ""},       {"abcdef", 100, 5, ""},
      {"abcdef", 0, 2, "ab"},    {"abcdef", -5, 2, "ab"},    {"abcdef", 1, 0, ""},
      {"abcdef", 1, -1, ""},     {"", 1, 1, ""},             {"abc", 1, INT64_MAX, "abc"},
      {"abc", INT64_MIN, 2, "ab"}, {"abc", INT64_MAX, INT64_MAX, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Copy(c.s, c.i, c.n), c.expected) << c.s << " " << c.i << " " << c.n;
}

TEST(Text, Pos) {
  EXPECT_EQ(Pos("c", "abcabc"), 3);
  EXPECT_EQ(Pos("bc", "abcabc"), 2);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("", ""), 0);
  EXPECT_EQ(Pos("abcd", "abc"), 0);
  EXPECT_EQ(Pos("A", "abc"), 0);  // case-sensitive
  EXPECT_EQ(Pos("abc", "abc"), 1);
}

TEST(Text, DeleteClamps) {
  struct Case {
    const char* s;
    int64_t i, n;
    const char* expected;
  } cases[] = {
      {"abcdef", 2, 2, "adef"}, {"abcdef", 1, 1, "bcdef"}, {"abcdef", 5, 100, "abcd"}, {"abcdef", 0, 2, "abcdef"},
      {"abcdef", -1, 2, "abcdef"}, {"abcdef", 7, 1, "abcdef"}, {"abcdef", 2, 0, "abcdef"},
      {"abcdef", 2, -3, "abcdef"}, {"", 1, 1, ""}, {"abc", 1, INT64_MAX, ""},
  };
  for (const auto& c : cases) {
    std::string s = c.s;
    Delete(s, c.i, c.n);
    EXPECT_EQ(s, c.expected) << c.s << " " << c.i << " " << c.n;
  }
}

TEST(Text, InsertClamps) {
  std::string s = "ace";
  Insert("b", s, 2);
  EXPECT_EQ(s, "abce");
  Insert("d", s, 4);
  EXPECT_EQ(s, "abcde");
  Insert("<", s, -3);
  EXPECT_EQ(s, "<abcde");
  Insert(">", s, 100);
  EXPECT_EQ(s, "<abcde>");
  std::string e;
  Insert("x", e, 1);
  EXPECT_EQ(e, "x");
}

TEST(Text, TrimFamily) {
  std::string s = std::string("\t\r\n ") + std::string(1, '\0') + "a b" + "\x1f " + "\n";
  EXPECT_EQ(Trim(s), "a b");
  EXPECT_EQ(TrimLeft(" \t a "), "a ");
  EXPECT_EQ(TrimRight(" a \t\r\n"), " a");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // a no-break space (160) is not <= ' '
  EXPECT_EQ(Trim("\x81x"), "\x81x");
}

TEST(Text, CaseConversion) {
  // 1252: ç=E7 ã=E3 é=E9 Ç=C7 Ã=C3 É=C9 š=9A Š=8A ÿ=FF Ÿ=9F ß=DF ÷=F7 ×=D7
  EXPECT_EQ(UpperCase("a\xE7\xE3\xE9z"), "A\xE7\xE3\xE9Z");
  EXPECT_EQ(AnsiUpperCase("a\xE7\xE3\xE9z"), "A\xC7\xC3\xC9Z");
  EXPECT_EQ(AnsiUpperCase("\x9A\xFF\xDF\xF7\xB5"), "\x8A\x9F\xDF\xF7\xB5");
  EXPECT_EQ(LowerCase("A\xC7Z"), "a\xC7z");
  EXPECT_EQ(AnsiLowerCase("A\xC7\xC3\xC9Z\x8A\x9F\xD7"), "a\xE7\xE3\xE9z\x9A\xFF\xD7");
  EXPECT_TRUE(SameText("Abc", "aBC"));
  EXPECT_FALSE(SameText("\xE7", "\xC7"));
  EXPECT_TRUE(AnsiSameText("a\xE7\xE3o", "A\xC7\xC3O"));
  EXPECT_FALSE(AnsiSameText("ab", "abc"));
}

TEST(Text, StringReplace) {
  EXPECT_EQ(StringReplace("a.b.c", ".", ","), "a,b,c");
  EXPECT_EQ(StringReplace("a.b.c", ".", ",", false), "a,b.c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", true, true), "a-b-c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "-", true, false), "aXb-c");
  EXPECT_EQ(StringReplace("abc", "", "-"), "abc");
  EXPECT_EQ(StringReplace("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(StringReplace("", "a", "b"), "");
  EXPECT_EQ(StringReplace("\xE7\xC7", "\xC7", "c", true, true), "cc");
}

TEST(Text, StringOfChar) {
  EXPECT_EQ(StringOfChar('0', 3), "000");
  EXPECT_EQ(StringOfChar('0', 0), "");
  EXPECT_EQ(StringOfChar('0', -2), "");
}

TEST(Text, StrToIntAccepts) {
  const std::pair<const char*, int32_t> cases[] = {
      {"0", 0},         {"000123", 123},   {" 12", 12},        {"   -7", -7},   {"+5", 5},
      {"-0", 0},        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"+0000000000042", 42},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToInt(c.first), c.second) << c.first;
}

TEST(Text, StrToIntRejects) {
  const char* bad[] = {"", " ", "12 ", "1 2", "abc", "1.0", "1,0", "+", "-", "2147483648", "-2147483649",
                       "99999999999999999999", "\t12", "12\n", "$1F", "0x1f", "x10", "--1", "+-1", "1e3", "- 5", "１"};
  for (const char* s : bad) {
    EXPECT_THROW(StrToInt(s), EConvertError) << "'" << s << "'";
    EXPECT_EQ(StrToIntDef(s, -99), -99) << s;
    int32_t v = 5;
    EXPECT_FALSE(TryStrToInt(s, v)) << s;
    EXPECT_EQ(v, 5);
  }
  int32_t v = 0;
  EXPECT_TRUE(TryStrToInt(" -0042", v));
  EXPECT_EQ(v, -42);
  int64_t w = 0;
  EXPECT_TRUE(TryStrToInt64("9000000000", w));
  EXPECT_EQ(w, 9000000000LL);
  EXPECT_FALSE(TryStrToInt64("9000000000x", w));
  try {
    StrToInt("12 ");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12 ' is not a valid integer value");
  }
}

TEST(Text, StrToInt64) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("2147483648"), 2147483648LL);
  EXPECT_EQ(StrToInt64(" 0042"), 42);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_THROW(StrToInt64("-9223372036854775809"), EConvertError);
  EXPECT_THROW(StrToInt64(""), EConvertError);
}

TEST(Text, IntToStrAndHex) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(255, 1), "FF");
  EXPECT_EQ(IntToHex(0, 0), "0");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(-4294967296LL, 2), "FFFFFFFF00000000");
}

TEST(Text, Cp1252ToUtf8) {
  EXPECT_EQ(Cp1252ToUtf8("abc"), "abc");
  EXPECT_EQ(Cp1252ToUtf8("\xE7\xE3\xE9"), "çãé");
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "€");
  EXPECT_EQ(Cp1252ToUtf8("\x93x\x94"), "“x”");
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(Cp1252ToUtf8("\xA0\xFF"), "\xC2\xA0ÿ");
  EXPECT_EQ(Cp1252ToUtf8(""), "");
}

TEST(Text, Utf8ToCp1252) {
  EXPECT_EQ(Utf8ToCp1252("çãé"), "\xE7\xE3\xE9");
  EXPECT_EQ(Utf8ToCp1252("€ Š"), "\x80 \x8A");
  EXPECT_EQ(Utf8ToCp1252("\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"), "\x81\x8D\x8F\x90\x9D");
  EXPECT_EQ(Utf8ToCp1252("日本"), "??");
  EXPECT_EQ(Utf8ToCp1252("😀"), "?");
  EXPECT_EQ(Utf8ToCp1252("a\xE7z"), "a?z");        // a stray 1252 byte
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");          // truncated
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");       // overlong
  EXPECT_EQ(Utf8ToCp1252("\xC2\x80"), "?");        // U+0080 has no 1252 byte
}

TEST(Text, RoundTripEvery1252Byte) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

}  // namespace
