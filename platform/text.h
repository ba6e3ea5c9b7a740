// Single-byte text in code page 1252 and the string routines of the run-time
// library. Text is a plain std::string holding 1252 bytes; an empty string
// means absent. Indexes are 1-based as in the run-time library and never
// crash: out-of-range arguments clamp.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace rtl {

using AnsiString = std::string;

// Copy(s, i, n): n characters from position i (1-based). i < 1 acts as 1;
// i past the end gives ""; n is cut at the end; n <= 0 gives "".
std::string Copy(std::string_view s, int64_t index, int64_t count);
// Position (1-based) of the first occurrence of sub in s; 0 when absent or sub is empty.
int Pos(std::string_view sub, std::string_view s);
// Deletes n characters from position i in place; no change when i < 1,
// i past the end or n <= 0.
void Delete(std::string& s, int64_t index, int64_t count);
// Inserts sub before position i (clamped to 1..length+1).
void Insert(std::string_view sub, std::string& s, int64_t index);

// Remove characters <= ' ' (codes 0 to 32) at both ends / the left / the right.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// a-z only.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// Also the accented letters of code page 1252 (ç ã é -> Ç Ã É, and back).
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);        // a-z case-insensitive
bool AnsiSameText(std::string_view a, std::string_view b);    // 1252 case-insensitive

// Replaces occurrences of from by to: every one, or only the first.
std::string StringReplace(std::string_view s, std::string_view from, std::string_view to,
                          bool all = true, bool ignoreCase = false);

std::string StringOfChar(char c, int64_t n);  // n <= 0 gives ""

// Integer conversions. StrToInt accepts an optional sign and decimal digits,
// leading blanks allowed, leading zeros allowed; "" , trailing characters and
// overflow raise EConvertError.
std::string IntToStr(int64_t v);
int32_t StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int32_t StrToIntDef(std::string_view s, int32_t def);
bool TryStrToInt(std::string_view s, int32_t& out);    // false (out untouched) where StrToInt raises
bool TryStrToInt64(std::string_view s, int64_t& out);
std::string IntToHex(int64_t v, int digits);

// Code page 1252 <-> UTF-8 (for terminals, JSON and files meant for people).
// Bytes 0x81 0x8D 0x8F 0x90 0x9D (undefined in 1252) map to U+0081..; in
// the other direction a character outside 1252 becomes '?'.
std::string Cp1252ToUtf8(std::string_view s);
std::string Utf8ToCp1252(std::string_view s);

}  // namespace rtl
