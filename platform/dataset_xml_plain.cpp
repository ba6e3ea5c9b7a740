// Rows of an XML data packet in their plain form, read straight from the
// text without building the parser's tree.
//
// The plain form is what a writer of data packets gives: '<ROW', each
// attribute after one or more blanks as name="value" (or with single
// quotes), optional blanks, '/>', and blanks between rows. A name is ASCII
// letters, digits, '_', ':', '-' and '.', not starting with a digit, '-'
// or '.'; a value holds no '<', control character or its own quote, and no
// '&' but in the five named references (&amp; &lt; &gt; &quot; &apos;).
// Read by the XML parser, such a row gives exactly these names and values
// (those references expanded, no blank to normalise), and blanks between
// elements give nothing. Anything else (a character or unknown reference,
// a tab or line break in a value, a comment, text, a row with content, a
// non-ASCII name, a malformed tag) stops the reading before the row that
// holds it, so the parser reads the rest and decides what it means or
// which error it is.
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/dataset_impl.h"

namespace rtl::dsimpl {

namespace {

enum : unsigned char { kBlank = 1, kNameStart = 2, kNameChar = 4 };

struct Classes {
  unsigned char of[256] = {};
  constexpr Classes() {
    for (char c : {' ', '\t', '\r', '\n'}) of[static_cast<unsigned char>(c)] = kBlank;
    for (int c = 0; c < 128; ++c) {
      const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
      const bool digit = (c >= '0' && c <= '9') || c == '-' || c == '.';
      if (letter) of[c] = kNameStart | kNameChar;
      if (digit) of[c] = kNameChar;
    }
  }
};
constexpr Classes kClasses;

bool Is(char c, unsigned char cls) { return (kClasses.of[static_cast<unsigned char>(c)] & cls) != 0; }

// A byte a plain value cannot hold, or its closing quote.
bool StopsValue(char c, char quote) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || c == quote || c == '&' || c == '<';
}

// The first byte from p on that ends a plain value (its quote or a byte
// that leaves the plain form); `end` when none.
const char* ValueEnd(const char* p, const char* end, char quote) {
#ifdef __SSE2__
  const __m128i q = _mm_set1_epi8(quote), amp = _mm_set1_epi8('&'), lt = _mm_set1_epi8('<');
  const __m128i control = _mm_set1_epi8(0x1F);
  for (; end - p >= 16; p += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Bytes 0x00-0x1F: unsigned v <= 0x1F, i.e. min(v, 0x1F) == v.
    const __m128i ctl = _mm_cmpeq_epi8(_mm_min_epu8(v, control), v);
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, q), _mm_cmpeq_epi8(v, amp)), _mm_or_si128(_mm_cmpeq_epi8(v, lt), ctl));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
  }
#endif
  while (p < end && !StopsValue(*p, quote)) ++p;
  return p;
}

// The five named references and the characters they stand for.
struct Entity {
  std::string_view text;
  char stands;
};
constexpr Entity kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};

// The named reference at p; null for any other (which the parser reads).
const Entity* EntityAt(const char* p, const char* end) {
  for (const Entity& e : kEntities)
    if (static_cast<size_t>(end - p) >= e.text.size() && std::memcmp(p, e.text.data(), e.text.size()) == 0) return &e;
  return nullptr;
}

}  // namespace

std::string_view PlainRows::Unescape(std::string_view value, std::string& out) {
  out.clear();
  const char* p = value.data();
  const char* const end = p + value.size();
  while (p < end) {
    const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
    if (!amp) amp = end;
    out.append(p, amp);
    if (amp == end) break;
    const Entity* e = EntityAt(amp, end);  // never null: the reading checked it
    out += e->stands;
    p = amp + e->text.size();
  }
  return out;
}

bool PlainRows::Next(std::vector<PlainAttr>& attrs) {
  const char* const begin = text_.data();
  const char* const end = begin + text_.size();
  const char* p = begin + at_;
  while (p < end && Is(*p, kBlank)) ++p;
  at_ = static_cast<size_t>(p - begin);
  if (end - p < 6 || std::memcmp(p, "<ROW", 4) != 0) return false;
  p += 4;
  attrs.clear();
  for (;;) {
    const char* const afterLast = p;  // after the element's name or the last value
    while (p < end && Is(*p, kBlank)) ++p;
    if (p >= end) return false;
    if (*p == '/') {
      if (end - p < 2 || p[1] != '>') return false;
      at_ = static_cast<size_t>(p + 2 - begin);
      return true;
    }
    if (p == afterLast || !Is(*p, kNameStart)) return false;  // a name needs a blank before it
    const char* const name = p;
    while (++p < end && Is(*p, kNameChar)) {
    }
    if (end - p < 2 || p[0] != '=' || (p[1] != '"' && p[1] != '\'')) return false;
    const std::string_view nameText(name, static_cast<size_t>(p - name));
    const char quote = p[1];
    const char* const value = p + 2;
    bool escaped = false;
    for (p = ValueEnd(value, end, quote); p < end && *p == '&'; p = ValueEnd(p, end, quote)) {
      const Entity* e = EntityAt(p, end);
      if (!e) return false;
      p += e->text.size();
      escaped = true;
    }
    if (p >= end || *p != quote) return false;
    attrs.push_back({nameText, std::string_view(value, static_cast<size_t>(p - value)), escaped});
    ++p;
  }
}

}  // namespace rtl::dsimpl
