// Cutting the rows of an XML data packet into pieces that parse on their own.
//
// A piece starts at a "<ROW" start tag and ends before another one (or at
// "</ROWDATA>"). Outside comments, CDATA sections and processing
// instructions (HidesMarkup finds pieces that hold any, and NUL bytes,
// where the parser stops as at the end of the text), a '<' starts a tag
// or sits inside an attribute value. So a cut made anywhere but between two
// elements of ROWDATA leaves the piece before it with an unfinished tag,
// attribute or element, which the parser rejects; the caller then parses
// the whole text at once. (A piece is parsed inside a ROWDATA element of
// its own, as its rows stand in the whole text: parsed on its own, the
// parser would take text followed by an unfinished tag at its very end
// for text.) Pieces that all parse are, end to end, exactly the content
// the whole text holds. Rows in the plain form at the start
// of a piece are read without the parser (dataset_xml_plain.cpp), which
// stops before any of this: the parser reads the rest of the piece.
#include <cstring>

#include "platform/dataset_impl.h"

namespace rtl::dsimpl {

namespace {

// A "<ROW" start tag at p: the name ends with a blank, '/' or '>'.
bool RowTagAt(std::string_view text, size_t p) {
  if (text.compare(p, 4, "<ROW") != 0 || p + 4 >= text.size()) return false;
  const char c = text[p + 4];
  return c == ' ' || c == '/' || c == '>' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

bool HidesMarkup(std::string_view text, size_t from, size_t to) {
  // The parser takes a NUL byte for the end of the text: a piece would end
  // there quietly where the whole text is left unfinished.
  if (std::memchr(text.data() + from, '\0', to - from)) return true;
  // Found by their second byte, which rows seldom hold.
  for (char mark : {'!', '?'}) {
    const char* p = text.data() + from;
    const char* const stop = text.data() + to;
    while ((p = static_cast<const char*>(std::memchr(p, mark, static_cast<size_t>(stop - p)))) != nullptr) {
      if (p > text.data() && p[-1] == '<') return true;
      ++p;
    }
  }
  return false;
}

std::optional<RowDataSpan> FindRowData(std::string_view text) {
  const size_t open = text.find(kRowDataOpen);
  if (open == std::string_view::npos) return std::nullopt;
  const size_t begin = open + kRowDataOpen.size();
  // The last close tag, found from the end without a pass over the rows;
  // should rows of a later ROWDATA come between, a piece holds the stray
  // tags and fails, and the whole text decides.
  const size_t end = text.rfind(kRowDataClose);
  if (end == std::string_view::npos || end < begin) return std::nullopt;
  return RowDataSpan{begin, end};
}

size_t PieceEnd(std::string_view text, size_t from, size_t end, size_t pieceBytes) {
  if (end - from <= pieceBytes) return end;
  for (size_t p = from + pieceBytes; p < end; ++p) {
    const void* lt = std::memchr(text.data() + p, '<', end - p);
    if (!lt) return end;
    p = static_cast<size_t>(static_cast<const char*>(lt) - text.data());
    if (RowTagAt(text, p)) return p;
  }
  return end;
}

}  // namespace rtl::dsimpl
