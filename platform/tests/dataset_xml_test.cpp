// Client datasets: data packets, XML data-packet text and files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/process.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/text.h"

namespace {

namespace fs = std::filesystem;
using rtl::ClientDataSet;
using rtl::EDatabaseError;
using rtl::FieldType;
using rtl::Variant;

std::string A(const char* utf8) { return rtl::Utf8ToCp1252(utf8); }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

class XmlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    dir = fs::temp_directory_path() / ("qor_dataset_" + std::to_string(rtl::ProcessId()) + "_" + std::to_string(++counter));
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }
  fs::path dir;
  rtl::ScopedSettings keep;
};

// One field of every kind.
void DefineAllKinds(ClientDataSet& ds) {
  ds.AddFieldDef("S", FieldType::String, 12);
  ds.AddFieldDef("I", FieldType::Integer);
  ds.AddFieldDef("L", FieldType::LargeInt);
  ds.AddFieldDef("F", FieldType::Float);
  ds.AddFieldDef("C", FieldType::Currency);
  ds.AddFieldDef("X", FieldType::Fixed, 15);
  ds.AddFieldDef("B", FieldType::Boolean);
  ds.AddFieldDef("D", FieldType::Date);
  ds.AddFieldDef("T", FieldType::Time);
  ds.AddFieldDef("DT", FieldType::DateTime);
  ds.AddFieldDef("M", FieldType::Memo);
  ds.AddFieldDef("BL", FieldType::Blob);
}

const double kWhen = 45352.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0 + 0.123 / 86400.0;  // 01/03/2024 09:05:07.123

void FillAllKinds(ClientDataSet& ds) {
  ds.Append();
  ds.FieldByName("S").SetAsString(A("Ação & <x> \"q\" 'a'"));
  ds.FieldByName("I").SetAsInteger(-2147483647 - 1);
  ds.FieldByName("L").SetValue(Variant(int64_t{9007199254740993}));
  ds.FieldByName("F").SetAsFloat(0.1 + 0.2);
  ds.FieldByName("C").SetAsFloat(1234.56);
  ds.FieldByName("X").SetAsFloat(-0.005);
  ds.FieldByName("B").SetAsBoolean(false);
  ds.FieldByName("D").SetAsDateTime(rtl::EncodeDate(1899, 12, 29));  // before day zero
  ds.FieldByName("T").SetAsDateTime(rtl::EncodeTime(23, 59, 59, 999));
  ds.FieldByName("DT").SetAsDateTime(kWhen);
  ds.FieldByName("M").SetAsString(A("linha 1\r\n\tlinha 2 é"));
  ds.FieldByName("BL").SetAsString(std::string("\x00\x01\xff\x96\x19", 5));
  ds.Post();
  ds.Append();  // every field null
  ds.Post();
  ds.Append();
  ds.FieldByName("B").SetAsBoolean(true);
  ds.FieldByName("F").SetAsFloat(1e300);
  ds.FieldByName("S").SetAsString(" lead trail ");
  ds.Post();
}

void ExpectSameRows(ClientDataSet& a, ClientDataSet& b) {
  ASSERT_EQ(a.FieldCount(), b.FieldCount());
  ASSERT_EQ(a.RecordCount(), b.RecordCount());
  for (int i = 0; i < a.FieldCount(); ++i) {
    EXPECT_EQ(a.FieldDefs()[i].name, b.FieldDefs()[i].name);
    EXPECT_EQ(a.FieldDefs()[i].type, b.FieldDefs()[i].type) << a.FieldDefs()[i].name;
    EXPECT_EQ(a.FieldDefs()[i].size, b.FieldDefs()[i].size) << a.FieldDefs()[i].name;
  }
  a.First();
  b.First();
  for (int r = 1; !a.Eof(); ++r, a.Next(), b.Next()) {
    for (int i = 0; i < a.FieldCount(); ++i) {
      SCOPED_TRACE("row " + std::to_string(r) + " field " + a.Fields(i).FieldName());
      EXPECT_EQ(a.Fields(i).IsNull(), b.Fields(i).IsNull());
      Variant va = a.Fields(i).Value(), vb = b.Fields(i).Value();
      if (va.type() == rtl::VarType::DateTime && vb.type() == rtl::VarType::DateTime)
        EXPECT_NEAR(va.AsDateTime(), vb.AsDateTime(), 0.5 / 86400000.0);  // to the millisecond
      else
        EXPECT_EQ(va, vb);
    }
  }
}

TEST_F(XmlTest, PacketRoundTripOfEveryKindWithNulls) {
  ClientDataSet src;
  DefineAllKinds(src);
  src.CreateDataSet();
  FillAllKinds(src);

  ClientDataSet viaPacket;
  viaPacket.SetData(src.Data());
  ExpectSameRows(src, viaPacket);

  std::string xml = rtl::PacketToXml(*src.ToPacket());
  auto back = rtl::PacketFromXml(xml);
  ClientDataSet viaXml;
  viaXml.LoadPacket(*back);
  ExpectSameRows(src, viaXml);
  EXPECT_EQ(rtl::PacketToXml(*back), xml);  // stable

  src.SaveToFile(Path("all.xml"));
  ClientDataSet viaFile;
  int opened = 0;
  viaFile.AfterOpen = [&](ClientDataSet&) { ++opened; };
  viaFile.LoadFromFile(Path("all.xml"));
  ExpectSameRows(src, viaFile);
  viaFile.SetData(src.Data());
  EXPECT_EQ(opened, 2);  // every load opens the dataset again
}

TEST_F(XmlTest, WrittenForm) {
  rtl::Settings().DecimalSeparator = ',';
  ClientDataSet ds;
  ds.AddFieldDef("CDFILIAL", FieldType::String, 4);
  ds.AddFieldDef("VRMOVIVEND", FieldType::Float);
  ds.AddFieldDef("DTHRINCMOV", FieldType::DateTime);
  ds.AddFieldDef("OK", FieldType::Boolean);
  ds.AddFieldDef("C", FieldType::Currency);
  ds.AddIndexDef("idx", "CDFILIAL;VRMOVIVEND", "VRMOVIVEND", true);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("CDFILIAL").SetAsString("0001");
  ds.FieldByName("VRMOVIVEND").SetAsFloat(10.5);
  ds.FieldByName("DTHRINCMOV").SetAsDateTime(rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(9, 5, 7, 0));
  ds.FieldByName("OK").SetAsBoolean(true);
  ds.Post();
  std::string xml = rtl::PacketToXml(*ds.ToPacket());
  const char* expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>"
      "<FIELD attrname=\"VRMOVIVEND\" fieldtype=\"r8\"/>"
      "<FIELD attrname=\"DTHRINCMOV\" fieldtype=\"dateTime\"/>"
      "<FIELD attrname=\"OK\" fieldtype=\"boolean\"/>"
      "<FIELD attrname=\"C\" fieldtype=\"r8\" SUBTYPE=\"Money\"/>"
      "</FIELDS><PARAMS INDEXDEF1=\"idx|CDFILIAL;VRMOVIVEND|VRMOVIVEND|1\"/></METADATA><ROWDATA>"
      "<ROW CDFILIAL=\"0001\" VRMOVIVEND=\"10.5\" DTHRINCMOV=\"20240301T09:05:07000\" OK=\"TRUE\"/>"
      "</ROWDATA></DATAPACKET>\n";
  EXPECT_EQ(xml, expected);
  // The index definition comes back with the data.
  ClientDataSet other;
  other.LoadPacket(*rtl::PacketFromXml(xml));
  ASSERT_EQ(other.IndexDefs().size(), 1u);
  EXPECT_EQ(other.IndexDefs()[0].fields, "CDFILIAL;VRMOVIVEND");
  EXPECT_EQ(other.IndexDefs()[0].descFields, "VRMOVIVEND");
  EXPECT_TRUE(other.IndexDefs()[0].caseInsensitive);
  EXPECT_TRUE(other.ToPacket()->params.empty());
}

TEST_F(XmlTest, AccentedTextIsUtf8InTheFileAnd1252InMemory) {
  ClientDataSet ds;
  ds.AddFieldDef("NM", FieldType::String, 40);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("NM").SetAsString(A("São João – pão"));
  ds.Post();
  ds.SaveToFile(Path("acc.xml"));
  std::string bytes = ReadAll(dir / "acc.xml");
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>", 0), 0u);
  EXPECT_NE(bytes.find("São João – pão"), std::string::npos);
  ClientDataSet back;
  back.LoadFromFile(Path("acc.xml"));
  EXPECT_EQ(back.FieldByName("NM").AsString(), A("São João – pão"));
}

struct EncodingCase {
  const char* name;
  std::string declaration;
  std::string text;  // the bytes of the value as written in the file
};

TEST_F(XmlTest, ReadsDeclaredAndUndeclaredEncodings) {
  const std::string ansi = A("Ação é");
  const std::string utf8 = "Ação é";
  const EncodingCase cases[] = {
      {"utf8 declared", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", utf8},
      {"utf8 default", "<?xml version=\"1.0\" standalone=\"yes\"?>", utf8},
      {"no declaration", "", utf8},
      {"latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", ansi},
      {"cp1252", "<?xml version='1.0' encoding='windows-1252'?>", ansi},
      {"ansi without declaration", "<?xml version=\"1.0\" standalone=\"yes\"?>", ansi},
      {"utf8 with BOM", "\xEF\xBB\xBF<?xml version=\"1.0\"?>", utf8},
  };
  for (const EncodingCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string doc = c.declaration +
                      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"NM\" fieldtype=\"string\" "
                      "WIDTH=\"20\"/></FIELDS><PARAMS/></METADATA><ROWDATA><ROW NM=\"" +
                      c.text + "\"/></ROWDATA></DATAPACKET>";
    WriteAll(dir / "enc.xml", doc);
    ClientDataSet ds;
    ds.LoadFromFile(Path("enc.xml"));
    EXPECT_EQ(ds.FieldByName("NM").AsString(), ansi);
  }
}

TEST_F(XmlTest, FloatsUseAPointWhateverTheLocale) {
  rtl::Settings().DecimalSeparator = ',';
  auto p = rtl::PacketFromXml(
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"V\" fieldtype=\"r8\"/>"
      "</FIELDS></METADATA><ROWDATA><ROW V=\"1234.5\"/><ROW V=\"-1E-3\"/><ROW/></ROWDATA></DATAPACKET>");
  ASSERT_EQ(p->rows.size(), 3u);
  EXPECT_DOUBLE_EQ(p->rows[0][0].AsDouble(), 1234.5);
  EXPECT_DOUBLE_EQ(p->rows[1][0].AsDouble(), -0.001);
  EXPECT_TRUE(p->rows[2][0].IsNull());
  rtl::Settings().DecimalSeparator = '.';
  EXPECT_NE(rtl::PacketToXml(*p).find("V=\"1234.5\""), std::string::npos);
}

TEST_F(XmlTest, FieldTypesOfOtherWritersAreReadAndWrittenBack) {
  const std::string xml =
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"A\" fieldtype=\"i2\" required=\"true\"/>"
      "<FIELD attrname=\"B\" fieldtype=\"ui4\"/>"
      "<FIELD attrname=\"C\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"15\"/>"
      "<FIELD attrname=\"D\" fieldtype=\"SQLdateTime\"/>"
      "<FIELD attrname=\"E\" fieldtype=\"string.uni\" WIDTH=\"10\"/>"
      "<FIELD attrname=\"F\" fieldtype=\"date\"/>"
      "<FIELD attrname=\"G\" fieldtype=\"time\"/>"
      "<FIELD attrname=\"H\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>"
      "<FIELD attrname=\"I\" fieldtype=\"r4\"/>"
      "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4\" LCID=\"1046\"/></METADATA><ROWDATA>"
      "<ROW RowState=\"4\" A=\"-3\" B=\"4294967295\" C=\"12.34\" D=\"20240301T09:05:07\" E=\"e\" F=\"20240229\" "
      "G=\"23:59:58\" H=\"memo&#13;&#10;text\" I=\"0.5\"/>"
      "</ROWDATA></DATAPACKET>";
  auto p = rtl::PacketFromXml(xml);
  ASSERT_EQ(p->fields.size(), 9u);
  EXPECT_EQ(p->fields[0].type, FieldType::Integer);
  EXPECT_EQ(p->fields[1].type, FieldType::LargeInt);
  EXPECT_EQ(p->fields[2].type, FieldType::Fixed);
  EXPECT_EQ(p->fields[2].size, 15);
  EXPECT_EQ(p->fields[2].decimals, 2);
  EXPECT_EQ(p->fields[3].type, FieldType::DateTime);
  EXPECT_EQ(p->fields[4].type, FieldType::String);
  EXPECT_EQ(p->fields[7].type, FieldType::Memo);
  EXPECT_EQ(p->params, (std::vector<std::pair<std::string, std::string>>{{"LCID", "1046"}}));
  const auto& r = p->rows.at(0);
  EXPECT_EQ(r[0].AsInteger(), -3);
  EXPECT_EQ(r[1].AsInt64(), 4294967295LL);
  EXPECT_DOUBLE_EQ(r[2].AsDouble(), 12.34);
  EXPECT_NEAR(r[3].AsDateTime(), rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(9, 5, 7, 0), 1e-9);
  EXPECT_DOUBLE_EQ(r[5].AsDateTime(), rtl::EncodeDate(2024, 2, 29));
  EXPECT_NEAR(r[6].AsDateTime(), rtl::EncodeTime(23, 59, 58, 0), 1e-9);
  EXPECT_EQ(r[7].AsString(), "memo\r\ntext");
  std::string out = rtl::PacketToXml(*p);
  for (const char* piece :
       {"<FIELD attrname=\"A\" fieldtype=\"i2\" required=\"true\"/>", "<FIELD attrname=\"B\" fieldtype=\"ui4\"/>",
        "fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"15\"", "fieldtype=\"SQLdateTime\"",
        "fieldtype=\"string.uni\" WIDTH=\"10\"", "fieldtype=\"bin.hex\" SUBTYPE=\"Text\"", "fieldtype=\"r4\"",
        "H=\"memo&#13;&#10;text\"", "G=\"23:59:58000\"", "F=\"20240229\""})
    EXPECT_NE(out.find(piece), std::string::npos) << piece << "\n" << out;
  EXPECT_EQ(out.find("RowState"), std::string::npos);
  EXPECT_EQ(out.find("CHANGE_LOG"), std::string::npos);
}

TEST_F(XmlTest, PendingChangesInAPacketAreApplied) {
  // Unchanged, deleted, original + modification, inserted, inserted then deleted.
  auto p = rtl::PacketFromXml(
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"K\" fieldtype=\"i4\"/><FIELD attrname=\"N\" fieldtype=\"string\" WIDTH=\"5\"/>"
      "</FIELDS><PARAMS CHANGE_LOG=\"2 1 2 3 2 8\"/></METADATA><ROWDATA>"
      "<ROW K=\"1\" N=\"one\"/>"
      "<ROW RowState=\"2\" K=\"2\" N=\"two\"/>"
      "<ROW RowState=\"1\" K=\"3\" N=\"three\"/><ROW RowState=\"8\" N=\"THREE\"/>"
      "<ROW RowState=\"4\" K=\"4\" N=\"four\"/>"
      "<ROW RowState=\"6\" K=\"5\"/>"
      "</ROWDATA></DATAPACKET>");
  ASSERT_EQ(p->rows.size(), 3u);
  EXPECT_EQ(p->rows[0][1].AsString(), "one");
  EXPECT_EQ(p->rows[1][0].AsInteger(), 3);
  EXPECT_EQ(p->rows[1][1].AsString(), "THREE");
  EXPECT_EQ(p->rows[2][0].AsInteger(), 4);
  EXPECT_TRUE(p->params.empty());
}

TEST_F(XmlTest, TheFixtureFromTheRealLibrary) {
  // The outside fixtures live in the team's shared folder beside the checkout.
  std::string fixture;
  for (const char* up : {"/../shared/fixtures/", "/../../shared/fixtures/"}) {
    const std::string candidate = std::string(QOR_SOURCE_DIR) + up + "delphi-customer.xml";
    if (fs::exists(candidate)) {
      fixture = candidate;
      break;
    }
  }
  if (fixture.empty()) GTEST_SKIP() << "the shared fixtures folder is not beside this checkout";
  ClientDataSet ds;
  ds.LoadFromFile(fixture);
  ASSERT_EQ(ds.RecordCount(), 5);
  ASSERT_EQ(ds.FieldCount(), 13);
  EXPECT_EQ(ds.FieldByName("CustNo").DataType(), FieldType::Float);
  EXPECT_EQ(ds.FieldByName("Company").DataType(), FieldType::String);
  EXPECT_EQ(ds.FieldByName("Company").Size(), 30);
  EXPECT_EQ(ds.FieldByName("City").Size(), 15);
  EXPECT_EQ(ds.FieldByName("LastInvoiceDate").DataType(), FieldType::DateTime);
  auto params = ds.ToPacket()->params;
  EXPECT_EQ(params, (std::vector<std::pair<std::string, std::string>>{
                        {"DEFAULT_ORDER", "1"}, {"PRIMARY_KEY", "1"}, {"LCID", "1033"}}));

  ds.First();
  EXPECT_EQ(ds.FieldByName("CustNo").AsInteger(), 1221);
  EXPECT_EQ(ds.FieldByName("Addr2").AsString(), "Suite 103");
  EXPECT_DOUBLE_EQ(ds.FieldByName("TaxRate").AsFloat(), 8.5);
  EXPECT_DOUBLE_EQ(ds.FieldByName("LastInvoiceDate").AsDateTime(),
                   rtl::EncodeDate(1995, 2, 2) + rtl::EncodeTime(1, 5, 3, 0));
  ds.Next();
  EXPECT_EQ(ds.FieldByName("Company").AsString(), "Unisco");
  EXPECT_TRUE(ds.FieldByName("Addr2").IsNull());  // absent attributes are nulls
  EXPECT_TRUE(ds.FieldByName("State").IsNull());
  EXPECT_TRUE(ds.FieldByName("Zip").IsNull());
  EXPECT_DOUBLE_EQ(ds.FieldByName("TaxRate").AsFloat(), 0);
  EXPECT_FALSE(ds.FieldByName("TaxRate").IsNull());
  EXPECT_TRUE(ds.Locate("CustNo", Variant(2135)));
  EXPECT_EQ(ds.FieldByName("Company").AsString(), "Frank's Divers Supply");
  EXPECT_TRUE(ds.Locate("CustNo", Variant(2975)));
  EXPECT_EQ(ds.FieldByName("Company").AsString(), "George Bean & Co.");
  EXPECT_EQ(ds.FieldByName("Addr1").AsString(), "#73 King Salmon Way");

  ds.SaveToFile(Path("customer.xml"));
  ClientDataSet again;
  again.LoadFromFile(Path("customer.xml"));
  ExpectSameRows(ds, again);
  EXPECT_EQ(again.ToPacket()->params, params);
  std::string saved = ReadAll(dir / "customer.xml");
  EXPECT_NE(saved.find("Company=\"Frank&apos;s Divers Supply\""), std::string::npos);
  EXPECT_NE(saved.find("LastInvoiceDate=\"19950202T01:05:03000\""), std::string::npos);
}

TEST_F(XmlTest, BackslashPathsAndAtomicReplacement) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::Integer);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("A").SetAsInteger(1);
  ds.Post();
  fs::create_directories(dir / "Dados");
  const std::string windowsStyle = dir.string() + "\\Dados\\x.xml";
  ds.SaveToFile(windowsStyle);
  EXPECT_TRUE(fs::exists(dir / "Dados" / "x.xml"));
  ds.Edit();
  ds.FieldByName("A").SetAsInteger(2);
  ds.Post();
  ds.SaveToFile(windowsStyle);  // replaces the file; nothing else is left beside it
  int files = 0;
  for (auto& e : fs::directory_iterator(dir / "Dados")) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
  ClientDataSet back;
  back.LoadFromFile(windowsStyle);
  EXPECT_EQ(back.FieldByName("A").AsInteger(), 2);
}

TEST_F(XmlTest, BinaryFilesGetAClearError) {
  WriteAll(dir / "bin.cds", std::string("\x96\x19\xE0\xBD\x01\x00\x00\x00\xDE\xAD", 10));
  ClientDataSet ds;
  try {
    ds.LoadFromFile(Path("bin.cds"));
    ADD_FAILURE() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("binary"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("bin.cds"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(ds.Active());
}

TEST_F(XmlTest, MissingFileRaises) {
  ClientDataSet ds;
  EXPECT_THROW(ds.LoadFromFile(Path("absent.xml")), rtl::Exception);
}

std::string GoodDoc() {
  return "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
         "<FIELD attrname=\"K\" fieldtype=\"i4\"/><FIELD attrname=\"V\" fieldtype=\"r8\"/>"
         "<FIELD attrname=\"W\" fieldtype=\"dateTime\"/></FIELDS><PARAMS/></METADATA><ROWDATA>"
         "<ROW K=\"1\" V=\"1.5\" W=\"20240301T09:05:07000\"/><ROW K=\"2\" V=\"2.5\"/></ROWDATA></DATAPACKET>";
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  size_t p = s.find(from);
  EXPECT_NE(p, std::string::npos) << from;
  if (p != std::string::npos) s.replace(p, from.size(), to);
  return s;
}

TEST_F(XmlTest, MalformedFilesRaiseAndLeaveTheDatasetUntouched) {
  const std::string good = GoodDoc();
  {
    ClientDataSet ok;  // the base document itself is fine
    WriteAll(dir / "good.xml", good);
    ok.LoadFromFile(Path("good.xml"));
    EXPECT_EQ(ok.RecordCount(), 2);
  }
  struct Bad {
    const char* name;
    std::string doc;
    const char* says;
  };
  const Bad bad[] = {
      {"empty", "", "empty"},
      {"truncated in a row", good.substr(0, good.find("V=\"2.5\"") + 4), "Invalid XML data packet"},
      {"truncated before the end", good.substr(0, good.size() - 14), "Invalid XML data packet"},
      {"root left open", good.substr(0, good.size() - 13), "Invalid XML data packet"},
      {"not xml", "hello", "Invalid XML data packet"},
      {"wrong root", Replace(Replace(good, "<DATAPACKET", "<PACKET"), "</DATAPACKET>", "</PACKET>"), "root element"},
      {"no metadata", Replace(good, "METADATA><FIELDS>", "META><FIELDS>"), ""},
      {"bad number", Replace(good, "V=\"2.5\"", "V=\"2,5\""), "invalid value '2,5' for field 'V' in row 2"},
      {"bad integer", Replace(good, "K=\"2\"", "K=\"2x\""), "field 'K'"},
      {"integer overflow", Replace(good, "K=\"2\"", "K=\"3000000000\""), "field 'K'"},
      {"bad date", Replace(good, "20240301T09", "20240231T09"), "field 'W'"},
      {"bad time", Replace(good, "T09:05:07000", "T25:05:07000"), "field 'W'"},
      {"unknown type", Replace(good, "\"r8\"", "\"r16\""), "unknown fieldtype 'r16'"},
      {"nested", Replace(good, "\"r8\"", "\"nested\""), "nested"},
      {"no attrname", Replace(good, "attrname=\"K\" ", ""), "attrname"},
      {"duplicate field", Replace(good, "attrname=\"V\"", "attrname=\"K\""), "Duplicate field name"},
      {"bad width", Replace(good, "fieldtype=\"r8\"", "fieldtype=\"string\" WIDTH=\"-1\""), "WIDTH"},
      {"utf8 declared, not utf8", Replace(good, "standalone=\"yes\"", "encoding=\"UTF-8\"") , ""},
      {"unsupported encoding", Replace(good, "standalone=\"yes\"", "encoding=\"UTF-16\""), "unsupported encoding"},
      {"bad row state", Replace(good, "<ROW K=\"2\"", "<ROW RowState=\"x\" K=\"2\""), "RowState"},
      {"bad index param", Replace(good, "<PARAMS/>", "<PARAMS INDEXDEF1=\"ix|NOPE||0\"/>"), "unknown field 'NOPE'"},
  };
  ClientDataSet ds;
  ds.AddFieldDef("OLD", FieldType::String, 5);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("OLD").SetAsString("kept");
  ds.Post();
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.name);
    std::string doc = b.doc;
    if (std::string(b.name) == "utf8 declared, not utf8") doc = Replace(doc, "<ROW K=\"1\"", "<ROW K=\"1\" X=\"\xE9\"");
    WriteAll(dir / "bad.xml", doc);
    try {
      ds.LoadFromFile(Path("bad.xml"));
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
    }
    EXPECT_THROW(rtl::PacketFromXml(doc), EDatabaseError);
    ASSERT_TRUE(ds.Active());
    ASSERT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName("OLD").AsString(), "kept");
  }
}

TEST_F(XmlTest, MalformedPacketsRaiseAndLeaveTheDatasetUntouched) {
  ClientDataSet ds;
  ds.AddFieldDef("OLD", FieldType::String, 5);
  ds.CreateDataSet();
  rtl::DataPacket p;
  p.fields.push_back(rtl::FieldDef{"N", FieldType::Integer, 0, 0, {}});
  p.rows.push_back({Variant("not a number")});
  EXPECT_THROW(ds.LoadPacket(p), EDatabaseError);
  p.rows[0] = {Variant(1), Variant(2)};
  EXPECT_THROW(ds.LoadPacket(p), EDatabaseError);
  p.rows[0] = {Variant(1)};
  p.indexes.push_back(rtl::IndexDef{"ix", "NOPE", "", false});
  EXPECT_THROW(ds.LoadPacket(p), EDatabaseError);
  EXPECT_THROW(ds.SetData(Variant("text")), EDatabaseError);
  EXPECT_EQ(ds.FieldDefs()[0].name, "OLD");
  EXPECT_TRUE(ds.Active());
  // A null packet closes the dataset and drops its rows.
  ds.SetData(Variant::Null());
  EXPECT_FALSE(ds.Active());
  EXPECT_THROW(ds.Open(), EDatabaseError);
}

TEST_F(XmlTest, LoadedTextsLongerThanTheirWidthAreKeptWhole) {
  auto p = rtl::PacketFromXml(
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"3\"/>"
      "</FIELDS></METADATA><ROWDATA><ROW S=\"abcdef\"/></ROWDATA></DATAPACKET>");
  ClientDataSet ds;
  ds.LoadPacket(*p);
  EXPECT_EQ(ds.FieldByName("S").AsString(), "abcdef");
  ds.Edit();
  ds.FieldByName("S").SetAsString("uvwxyz");  // a value set now is cut
  ds.Post();
  EXPECT_EQ(ds.FieldByName("S").AsString(), "uvw");
}

TEST_F(XmlTest, HostPacketsAreConvertedToTheFieldTypes) {
  rtl::DataPacket p;
  p.fields = {rtl::FieldDef{"D", FieldType::DateTime, 0, 0, {}}, rtl::FieldDef{"V", FieldType::Float, 0, 0, {}},
              rtl::FieldDef{"S", FieldType::String, 0, 0, {}}, rtl::FieldDef{"B", FieldType::Boolean, 0, 0, {}}};
  p.rows.push_back({Variant("2024-03-01T09:05:07"), Variant("1,5"), Variant(12), Variant("True")});
  p.rows.push_back({Variant(), Variant::Null(), Variant(""), Variant()});
  ClientDataSet ds;
  ds.LoadPacket(p);
  EXPECT_EQ(ds.FieldDefs()[2].size, 20);
  EXPECT_DOUBLE_EQ(ds.FieldByName("D").AsDateTime(), rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(9, 5, 7, 0));
  EXPECT_DOUBLE_EQ(ds.FieldByName("V").AsFloat(), 1.5);
  EXPECT_EQ(ds.FieldByName("S").AsString(), "12");
  EXPECT_TRUE(ds.FieldByName("B").AsBoolean());
  ds.Next();
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(ds.Fields(i).IsNull()) << i;
  std::string xml = rtl::PacketToXml(p);
  EXPECT_NE(xml.find("<ROW D=\"20240301T09:05:07000\" V=\"1.5\" S=\"12\" B=\"TRUE\"/><ROW/>"), std::string::npos) << xml;
}

TEST_F(XmlTest, NamesThatCannotBeXmlAreRefusedOnSave) {
  ClientDataSet ds;
  ds.AddFieldDef("BAD NAME", FieldType::Integer);
  ds.CreateDataSet();
  EXPECT_THROW(ds.SaveToFile(Path("x.xml")), EDatabaseError);
  EXPECT_FALSE(fs::exists(dir / "x.xml"));
}

TEST_F(XmlTest, DataNeedsData) {
  ClientDataSet ds;
  ds.AddFieldDef("A", FieldType::Integer);
  EXPECT_THROW(ds.Data(), EDatabaseError);
  EXPECT_THROW(ds.SaveToFile(Path("x.xml")), EDatabaseError);
  ds.CreateDataSet();
  ds.Append();
  ds.FieldByName("A").SetAsInteger(3);  // pending: posted by Data()
  Variant v = ds.Data();
  ASSERT_TRUE(v.IsPacket());
  ASSERT_EQ(v.AsPacket()->rows.size(), 1u);
  EXPECT_EQ(v.AsPacket()->rows[0][0].AsInteger(), 3);
  // The packet holds every row, whatever the filter, in natural order.
  ds.Append();
  ds.FieldByName("A").SetAsInteger(1);
  ds.Post();
  ds.SetIndexFieldNames("A");
  ds.SetFilter("A > 2");
  ds.SetFiltered(true);
  auto p = ds.ToPacket();
  ASSERT_EQ(p->rows.size(), 2u);
  EXPECT_EQ(p->rows[0][0].AsInteger(), 3);
  ClientDataSet copy;
  copy.CopyFrom(ds);
  EXPECT_EQ(copy.RecordCount(), 2);
}

}  // namespace
