// Reading XML data packets: rows parsed a piece at a time read exactly as
// when the whole text is parsed at once (the same table, or the same error);
// attribute names and numbers read by their quick paths as by the slow ones.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <random>

#include <string>
#include <vector>

#include "platform/dataset_impl.h"
#include "platform/errors.h"
#include "platform/text.h"

namespace {

using rtl::dsimpl::FindRowData;
using rtl::dsimpl::HidesMarkup;
using rtl::dsimpl::PieceEnd;
using rtl::dsimpl::ReadXml;
using rtl::dsimpl::Table;
using rtl::dsimpl::WriteXml;

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"CODE\" fieldtype=\"string\" WIDTH=\"30\"/>"
    "<FIELD attrname=\"N\" fieldtype=\"i4\"/>"
    "<FIELD attrname=\"WHEN\" fieldtype=\"dateTime\"/>"
    "</FIELDS><PARAMS LCID=\"1046\" INDEXDEF1=\"ixN|N||0\"/></METADATA>";
const std::string kTail = "</DATAPACKET>\n";

std::string Doc(const std::string& rows) { return kHead + "<ROWDATA>" + rows + "</ROWDATA>" + kTail; }

// The table written back as text, or the error's message.
std::string Outcome(const std::string& doc, size_t pieceBytes) {
  try {
    Table t = ReadXml(doc, pieceBytes);
    return WriteXml(t.fields, t.indexes, t.params, t.rows);
  } catch (const rtl::EDatabaseError& e) {
    return std::string("error: ") + e.what();
  }
}

struct Case {
  const char* what;
  std::string doc;
  bool fails;
};

std::vector<Case> Cases() {
  const std::string r1 = "<ROW CODE=\"A &amp; B\" N=\"1\" WHEN=\"20240301T10:00:00000\"/>";
  const std::string r2 = "<ROW N=\"2\" CODE=\"a\xC3\xA7\xC3\xA3o\"/>";  // another order, accents
  const std::string r3 = "<ROW CODE=\"tab\there\" N=\"3\"/>";
  return {
      {"plain rows", Doc(r1 + r2 + r3), false},
      {"blanks and text between rows", Doc("\r\n " + r1 + "\r\n\t" + r2 + " loose text " + r3 + "\n"), false},
      {"a change and a deletion across pieces",
       Doc("<ROW RowState=\"4\" CODE=\"new\" N=\"5\"/><ROW RowState=\"8\" N=\"6\"/>"
           "<ROW RowState=\"2\" CODE=\"gone\"/>" + r1 + "<ROW RowState=\"1\" CODE=\"old\"/>"
           "<ROW RowState=\"8\" CODE=\"changed\"/>"),
       false},
      {"a comment among the rows", Doc(r1 + "<!-- <ROW CODE=\"no\"/> -->" + r2), false},
      {"CDATA and a processing instruction", Doc(r1 + "<![CDATA[<ROW CODE=\"no\"/>]]>" + r2 + "<?pi <ROW?>" + r3), false},
      {"a start tag inside a value", Doc("<ROW CODE=\"x<ROW N='9'/>\" N=\"1\"/>" + r2), false},
      {"a row inside a row", Doc("<ROW CODE=\"outer\"><ROW CODE=\"inner\"/></ROW>" + r2), false},
      {"two ROWDATA elements", kHead + "<ROWDATA>" + r1 + "</ROWDATA><ROWDATA>" + r2 + "</ROWDATA>" + kTail, false},
      {"ROWDATA closed again in a comment after it",
       kHead + "<ROWDATA>" + r1 + r2 + "</ROWDATA><!-- </ROWDATA> -->" + kTail, false},
      {"ROWDATA closed again in a value after it",
       kHead + "<ROWDATA>" + r1 + "</ROWDATA><X A=\"</ROWDATA>\"/>" + kTail, false},
      {"ROWDATA named in a comment first",
       kHead + "<!-- <ROWDATA> --><ROWDATA>" + r1 + r2 + "</ROWDATA>" + kTail, false},
      {"ROWDATA with a blank in its tag", kHead + "<ROWDATA >" + r1 + r2 + "</ROWDATA>" + kTail, false},
      {"a second ROWDATA written plainly",
       kHead + "<ROWDATA >" + r1 + "</ROWDATA><ROWDATA>" + r2 + "</ROWDATA>" + kTail, false},
      {"empty rows", Doc(""), false},
      {"ROWDATA closed at once", kHead + "<ROWDATA/>" + kTail, false},
      {"a row cut short", Doc(r1 + "<ROW CODE=\"x" + r2), true},
      {"a stray end tag", Doc(r1 + "</ROW>" + r2), true},
      {"an element other than ROW", Doc(r1 + "<ROWS CODE=\"x\"/>" + r2), true},
      {"a bad value in a later row", Doc(r1 + r2 + "<ROW N=\"x\"/>"), true},
      {"a bad RowState", Doc(r1 + "<ROW RowState=\"z\"/>"), true},
      {"no METADATA", "<DATAPACKET><ROWDATA>" + r1 + r2 + "</ROWDATA></DATAPACKET>", true},
      {"another root", "<PACKET><METADATA/><ROWDATA>" + r1 + "</ROWDATA></PACKET>", true},
      {"the root left open", kHead + "<ROWDATA>" + r1 + r2 + "</ROWDATA>", true},
      {"text after ROWDATA badly closed", kHead + "<ROWDATA>" + r1 + "</ROWDATA></METADATA></DATAPACKET>", true},
      // Rows the plain reading takes, and rows next to them it leaves to the parser.
      {"named references and quotes", Doc("<ROW CODE=\"&lt;&amp;&gt;&quot;&apos;'>\" N='1'/><ROW CODE='\"x\"'/>"), false},
      {"references the parser expands", Doc("<ROW CODE=\"&#65;&#x42;\"/>" + r2 + "<ROW CODE=\"&#;&#x;&#12a;\"/>"), false},
      {"references the parser leaves", Doc("<ROW CODE=\"&foo; &amp &\"/>" + r2), false},
      {"blanks in a tag", Doc("<ROW\r\n CODE = \"a\"\tN=\"1\" />" + r2 + "<ROW\n/>"), false},
      {"line breaks in a value", Doc(r2 + "<ROW CODE=\"a\r\nb\rc\nd\"/>"), false},
      {"rows without attributes", Doc("<ROW/><ROW />" + r2), false},
      {"RowState with a reference", Doc("<ROW RowState=\"&#52;\" CODE=\"a\"/><ROW RowState=\"8\" N=\"2\"/>"), false},
      {"an attribute twice", Doc("<ROW N=\"1\" N=\"2\" RowState=\"0\" RowState=\"x\"/>"), false},
      {"an empty value", Doc("<ROW CODE=\"\" N=\"1\"/>" + r2), false},
      {"a name the plain form does not hold", Doc(r2 + "<ROW \xC3\xA7=\"1\" N=\"1\"/>"), false},
      {"no blank between attributes", Doc(r2 + "<ROW CODE=\"a\"N=\"1\"/>"), true},
      {"a name after the element's without a blank", Doc(r2 + "<ROW:CODE=\"a\"/>"), true},
      {"a name starting with a digit", Doc(r2 + "<ROW 1N=\"1\"/>"), true},
      {"a name without a value", Doc(r2 + "<ROW CODE/>"), true},
      {"an unquoted value", Doc(r2 + "<ROW N=1/>"), true},
      {"a tag closed badly", Doc(r2 + "<ROW N=\"1\"/ >"), true},
      {"a reference in a bad RowState", Doc(r2 + "<ROW RowState=\"&amp;\"/>"), true},
      {"a bad value after a reference", Doc(r2 + "<ROW CODE=\"&amp;\" N=\"&lt;\"/>"), true},
      {"a NUL byte after the rows", Doc(r1 + r2 + std::string("\xC3\xBF\0\x02", 4)), true},
      {"an end tag begun before the rows' end", Doc(r1 + r2 + "x</"), true},
      {"a start tag begun before a row", Doc(r1 + "x<R" + r2), true},
      {"markup begun before a row", Doc(r1 + "x<!" + r2 + "x<?" + r3), true},
      {"text after the last row", Doc(r1 + r2 + " text"), false},
      {"text and an empty tag after the last row", Doc(r1 + r2 + "x/R<>"), true},
      {"the rows closed and opened again", Doc(r1 + "</ROWDATA><ROWDATA>" + r2 + "</ROWDATA>x<ROWDATA>" + r3), false},
      {"the rows closed early", Doc(r1 + "</ROWDATA>x" + r2), true},
      {"a NUL byte in a value", Doc(r2 + std::string("<ROW CODE=\"a\0b\"/>", 17)), true},
  };
}

TEST(XmlPieces, EveryPieceSizeReadsAsTheWholeText) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    const std::string whole = Outcome(c.doc, 0);
    EXPECT_EQ(whole.rfind("error: ", 0) == 0, c.fails) << whole;
    for (size_t piece : {size_t{1}, size_t{40}, size_t{100}, rtl::dsimpl::kXmlPieceBytes}) {
      SCOPED_TRACE(piece);
      EXPECT_EQ(Outcome(c.doc, piece), whole);
    }
  }
}

TEST(XmlPieces, RowsAreFoundBetweenTheirTags) {
  struct {
    std::string text;
    bool found;
  } cases[] = {
      {"<A><ROWDATA><ROW/></ROWDATA></A>", true},
      {"<A><ROWDATA></ROWDATA></A>", true},
      {"<A><ROWDATA/></A>", false},
      {"<A><ROWDATA><ROW/>", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto span = FindRowData(c.text);
    ASSERT_EQ(span.has_value(), c.found);
    if (span) {
      EXPECT_EQ(c.text.substr(span->begin - 9, 9), "<ROWDATA>");
      EXPECT_EQ(c.text.compare(span->end, 10, "</ROWDATA>"), 0);
    }
  }
}

TEST(XmlPieces, MarkupThatPiecesWouldHideIsFound) {
  struct {
    std::string text;
    bool hides;
  } cases[] = {
      {"<ROW A=\"why? yes!\"/>", false},
      {"<ROW/><!-- -->", true},
      {"<ROW/><?pi?>", true},
      {"<![CDATA[x]]>", true},
      {"!<ROW/>", false},
      {std::string("<ROW/>\0<ROW/>", 13), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(HidesMarkup(c.text, 0, c.text.size()), c.hides);
  }
  // Only the range is looked at.
  EXPECT_FALSE(HidesMarkup("<!--<ROW/>", 4, 10));
  EXPECT_TRUE(HidesMarkup("<ROW/><!", 7, 8));
}

TEST(XmlPieces, PiecesEndOnlyBeforeARowStartTag) {
  const std::string text = "<ROW A=\"1\"/><ROWX/></ROW><ROW\tB=\"2\"/><ROW/><ROW>";
  struct {
    size_t from, pieceBytes, end;
  } cases[] = {
      {0, 1, 25},             // skips "<ROWX" and "</ROW>", stops at "<ROW\t"
      {25, 1, 37},            // "<ROW/>"
      {37, 1, 43},            // "<ROW>"
      {0, 200, text.size()},  // the rest fits
      {43, 1, text.size()},   // no start tag further on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + "+" + std::to_string(c.pieceBytes));
    EXPECT_EQ(PieceEnd(text, c.from, text.size(), c.pieceBytes), c.end);
  }
}

// Names of lengths around the words their ends are found in, sharing
// their beginnings, in and out of the fields' order, parsed and plain.
TEST(XmlRead, AttributesFindTheirFieldsWhateverTheNamesLength) {
  const std::vector<std::string> names = {"N", "NR", "NRX", "ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOPQ",
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"};
  std::string fields, inOrder, reversed;
  for (size_t i = 0; i < names.size(); ++i) {
    fields += "<FIELD attrname=\"" + names[i] + "\" fieldtype=\"i4\"/>";
    inOrder += " " + names[i] + "=\"" + std::to_string(i) + "\"";
    reversed = " " + names[i] + "=\"" + std::to_string(i) + "\"" + reversed;
  }
  const std::string doc = "<DATAPACKET><METADATA><FIELDS>" + fields + "</FIELDS></METADATA><ROWDATA><ROW" + inOrder +
                          "/><ROW" + reversed + "/><ROW NRXY=\"9\" ABCDEFGHIJKLMN=\"9\" NR=\"7\"/></ROWDATA></DATAPACKET>";
  for (size_t piece : {0, 1}) {
    SCOPED_TRACE(piece);
    Table t = ReadXml(doc, piece);
    ASSERT_EQ(t.rows.size(), 3u);
    for (size_t r = 0; r < 2; ++r)
      for (size_t f = 0; f < names.size(); ++f) {
        SCOPED_TRACE(names[f]);
        ASSERT_FALSE(t.rows[r]->cells()[f].null);
        EXPECT_EQ(t.rows[r]->cells()[f].i, static_cast<int64_t>(f));
      }
    for (size_t f = 0; f < names.size(); ++f) EXPECT_EQ(t.rows[2]->cells()[f].null, f != 1) << names[f];
  }
}

// Character references make non-ASCII values out of an all-ASCII text:
// they reach code page 1252 as the characters written out would.
TEST(XmlRead, CharacterReferencesConvertInAnAsciiText) {
  const std::string expect = rtl::Utf8ToCp1252("a\xC3\xA7\xC3\xA3o & <b>");
  const struct {
    const char* what;
    const char* value;
  } cases[] = {
      {"decimal references", "a&#231;&#227;o &amp; &lt;b&gt;"},
      {"hexadecimal references", "a&#xE7;&#xe3;o &amp; &lt;b&gt;"},
      {"characters written out", "a\xC3\xA7\xC3\xA3o &amp; &lt;b&gt;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A long plain row first, so the text is read in pieces too.
    const std::string doc =
        Doc("<ROW CODE=\"" + std::string(200, 'x') + "\" N=\"1\"/><ROW CODE=\"" + c.value + "\" N=\"2\"/>");
    for (size_t piece : {0, 64}) {
      SCOPED_TRACE(piece);
      Table t = ReadXml(doc, piece);
      ASSERT_EQ(t.rows.size(), 2u);
      EXPECT_EQ(t.rows[1]->cells()[0].s.str(), expect);
    }
  }
}

// Float values read bit for bit as the standard conversion reads them.
TEST(XmlRead, FloatsReadExactly) {
  std::vector<std::string> texts = {"0",     "-0",          "0.1",       "-12.34",          "007.50",
                                    "5.",    ".5",          "1e5",       "-1.5E-3",         "123456789012345",
                                    "1234567890123456",     "0.30000000000000004",          "99999999999999.9",
                                    "0.000000000000001",    "-999999999999999", "+2.5"};
  std::mt19937_64 rng(12345);
  for (int i = 0; i < 2000; ++i) {
    std::string digits = std::to_string(rng() % 1000000000000000ull);
    const size_t point = rng() % (digits.size() + 1);
    if (point > 0 && point < digits.size()) digits.insert(point, ".");
    texts.push_back((rng() % 2 ? "-" : "") + digits);
  }
  std::string rows;
  for (const std::string& x : texts) rows += "<ROW F=\"" + x + "\"/>";
  const std::string doc =
      "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"F\" fieldtype=\"r8\"/></FIELDS></METADATA><ROWDATA>" + rows +
      "</ROWDATA></DATAPACKET>";
  Table t = ReadXml(doc);
  ASSERT_EQ(t.rows.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(texts[i]);
    std::string_view s = texts[i];
    if (s[0] == '+') s.remove_prefix(1);
    double expect = 0;
    std::from_chars(s.data(), s.data() + s.size(), expect);
    const double got = t.rows[i]->cells()[0].d;
    EXPECT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(expect)) << got << " " << expect;
  }
}

}  // namespace

namespace rowsplain {

using rtl::dsimpl::PlainAttr;
using rtl::dsimpl::PlainRows;

// What the plain reading makes of ROWDATA content: each row as
// "name=value;..." (values expanded), then where it stopped.
std::string Plain(const std::string& content) {
  PlainRows rows(content);
  std::vector<PlainAttr> attrs;
  std::string out, buffer;
  while (rows.Next(attrs)) {
    out += '[';
    for (const PlainAttr& a : attrs)
      out += std::string(a.name) + "=" + std::string(a.escaped ? PlainRows::Unescape(a.value, buffer) : a.value) + ";";
    out += ']';
  }
  return out + " @" + std::to_string(rows.Stopped());
}

TEST(XmlPlainRows, TakeTheWritersFormAndStopBeforeAnythingElse) {
  const struct {
    std::string content, read;
  } cases[] = {
      {"", " @0"},
      {" \r\n\t", " @4"},
      {"<ROW/><ROW />", "[][] @13"},
      {"<ROW A=\"1\" b:c-d.e_='x y'/>", "[A=1;b:c-d.e_=x y;] @27"},
      {"<ROW A=\"&lt;&gt;&amp;&quot;&apos;\"/>", "[A=<>&\"';] @36"},
      {"<ROW A=\"'>\" B='\"'/>", "[A='>;B=\";] @19"},
      {"<ROW A=\"\"/> x", "[A=;] @12"},
      // stops, before the row it cannot take
      {"<ROW A=\"1\"/><ROW A=\"&#65;\"/>", "[A=1;] @12"},
      {"<ROW A=\"&amp\"/>", " @0"},
      {"<ROW A=\"&foo;\"/>", " @0"},
      {"<ROW A=\"a<b\"/>", " @0"},
      {"<ROW A=\"a\tb\"/>", " @0"},
      {"<ROW A=\"a\nb\"/>", " @0"},
      {std::string("<ROW A=\"a\0b\"/>", 14), " @0"},
      {"<ROW A = \"1\"/>", " @0"},
      {"<ROW A=\"1\"B=\"2\"/>", " @0"},
      {"<ROWA=\"1\"/>", " @0"},
      {"<ROW:A=\"1\"/>", " @0"},
      {"<ROW 1A=\"1\"/>", " @0"},
      {"<ROW -A=\"1\"/>", " @0"},
      {"<ROW \xC3\xA7=\"1\"/>", " @0"},
      {"<ROW A=\"1\"></ROW>", " @0"},
      {"<ROW A=\"1\"/ >", " @0"},
      {"<ROW A=\"1\"", " @0"},
      {"<ROW A=\"1", " @0"},
      {"<ROWS/>", " @0"},
      {"<!-- --><ROW/>", " @0"},
      {"  text<ROW/>", " @2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    EXPECT_EQ(Plain(c.content), c.read);
  }
}

// Values long enough for the 16-byte scan, with the byte that ends them at
// every place in it.
TEST(XmlPlainRows, ValuesEndWhereverTheirStopFalls) {
  for (size_t len = 0; len < 40; ++len)
    for (const char* stop : {"\"", "<", "\t", "&#1;"}) {
      const std::string value = std::string(len, 'v') + stop;
      const std::string content = "<ROW A=\"" + value + (std::string(stop) == "\"" ? "" : "\"") + "/>";
      SCOPED_TRACE(std::to_string(len) + stop);
      EXPECT_EQ(Plain(content), std::string(stop) == "\"" ? "[A=" + std::string(len, 'v') + ";] @" +
                                                              std::to_string(content.size())
                                                        : " @0");
    }
}

// Rows put together at random from pieces the parser treats in special
// ways: read in pieces (the plain reading first) they read as the whole
// text parsed at once, table or error.
TEST(XmlPlainRows, RandomRowsReadAsTheParserReadsThem) {
  const std::vector<std::string> blanks = {" ", "  ", "\t", "\r\n", "\n", ""};
  const std::vector<std::string> names = {"CODE", "N", "WHEN", "RowState", "X", "1A", "\xC3\xA7", "CODE:X", ""};
  const std::vector<std::string> equals = {"=", "=", "=", " = ", "= "};
  const std::vector<std::string> bits = {"a", "12", "1", "4", "8", "2", "20240301T10:00:00000", "&amp;", "&lt;", "&gt;",
                                         "&quot;", "&apos;", "&#65;", "&#x41;", "&#231;", "&foo;", "&amp", "&", "<",
                                         ">", "'", "\"", "\t", "\r\n", "\xC3\xA7", "-1.5", ""};
  const std::vector<std::string> ends = {"/>", "/>", "/>", " />", "\t/>", "></ROW>", "/ >", ">", ""};
  std::mt19937 rng(20261210);
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  for (int doc = 0; doc < 1500; ++doc) {
    std::string rows;
    for (int r = 0, nr = 1 + static_cast<int>(rng() % 4); r < nr; ++r) {
      rows += pick(blanks) + "<ROW";
      for (int a = 0, na = static_cast<int>(rng() % 4); a < na; ++a) {
        const char quote = rng() % 4 ? '"' : '\'';
        rows += (rng() % 8 ? " " : pick(blanks)) + pick(names) + pick(equals) + quote;
        for (int b = 0, nb = static_cast<int>(rng() % 3); b < nb; ++b) rows += pick(bits);
        rows += quote;
      }
      rows += pick(ends);
    }
    const std::string text = Doc(rows);
    SCOPED_TRACE(rows);
    const std::string whole = Outcome(text, 0);
    for (size_t piece : {size_t{1}, size_t{64}, rtl::dsimpl::kXmlPieceBytes}) ASSERT_EQ(Outcome(text, piece), whole);
  }
}

}  // namespace rowsplain
