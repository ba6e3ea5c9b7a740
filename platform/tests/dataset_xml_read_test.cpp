// Reading XML data packets: rows parsed a piece at a time read exactly as
// when the whole text is parsed at once (the same table, or the same error);
// attribute names and numbers read by their quick paths as by the slow ones.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
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
  };
}

TEST(XmlPieces, EveryPieceSizeReadsAsTheWholeText) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    const std::string whole = Outcome(c.doc, 0);
    EXPECT_EQ(whole.rfind("error: ", 0) == 0, c.fails) << whole;
    for (size_t piece : {1, 40, 100}) {
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

// Names of every length around the 16 bytes compared at once, sharing
// their beginnings, in and out of the fields' order.
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
    EXPECT_EQ(std::memcmp(&got, &expect, sizeof got), 0) << got << " " << expect;
  }
}

}  // namespace
