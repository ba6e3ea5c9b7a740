// Text helpers of the simulated printer: code page 1252 <-> UTF-8, fixed-width
// fields, digit strings and the printed money format. Texts inside the
// printer are 1252 bytes (what crosses the vendor interface); the paper tape,
// the journal and the databases hold UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ecfsim {

std::string Cp1252ToUtf8(std::string_view s);
// A character outside code page 1252 becomes '?'.
std::string Utf8ToCp1252(std::string_view s);

// Removes characters <= ' ' at both ends.
std::string Trim(std::string_view s);
// Upper case of a-z and of the accented letters of code page 1252.
std::string Upper(std::string_view s);
bool SameName(std::string_view a, std::string_view b);  // trimmed, case-insensitive
bool IsDigits(std::string_view s);                      // non-empty, 0-9 only

// Left-aligned in w columns (cut or padded with blanks).
std::string Fit(std::string_view s, size_t w);
// Right-aligned in w columns (cut on the left when longer).
std::string FitR(std::string_view s, size_t w);
std::string Center(std::string_view s, size_t w);
// Left text and right text on one line of w columns (the left one is cut).
std::string Spread(std::string_view left, std::string_view right, size_t w);

// v as w digits with leading zeros; a negative value counts as 0 and a value
// wider than w keeps its last w digits (counters wrap like the printer's).
std::string Zeros(int64_t v, int w);
// 1234567 -> "12.345,67"; negative with a leading '-'.
std::string Money(int64_t cents);
// Hundredths of a percent: 1800 -> "18,00".
std::string Percent(int hundredths);
// Thousandths: 2500 -> "2,500".
std::string Milli(int64_t milli);

// Splits a printed text into lines: LF ends a line, CR is dropped, an escape
// sequence (ESC and the next character) and other control characters are
// removed; lines longer than w are wrapped. A text ending in LF gives no
// empty last line.
std::vector<std::string> PrintLines(std::string_view text, size_t w);

// Digits only (CPF/CNPJ punctuation removed); empty when other characters remain.
std::string DocumentDigits(std::string_view s);
bool ValidCpf(std::string_view digits);
bool ValidCnpj(std::string_view digits);

}  // namespace ecfsim
