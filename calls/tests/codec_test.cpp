// JSON <-> module values: date-times, value typing inside records and
// lists, variant output, data packets.
#include <gtest/gtest.h>

#include "calls/codec.h"
#include "platform/dataset.h"

namespace {

using qorhost::Json;

struct IsoCase {
  const char* text;
  bool valid;
  int y = 0, m = 0, d = 0, hh = 0, nn = 0, ss = 0, ms = 0;
};
void PrintTo(const IsoCase& c, std::ostream* os) { *os << "\"" << c.text << "\""; }

class IsoTest : public ::testing::TestWithParam<IsoCase> {};

TEST_P(IsoTest, ParsesOnlyTheTwoIsoForms) {
  const auto& c = GetParam();
  rtl::TDateTime dt = -1;
  ASSERT_EQ(qorhost::ParseIsoDateTime(c.text, dt), c.valid) << c.text;
  if (!c.valid) return;
  rtl::DateParts d;
  rtl::TimeParts t;
  rtl::DecodeDateTime(dt, d, t);
  EXPECT_EQ(d.year, c.y);
  EXPECT_EQ(d.month, c.m);
  EXPECT_EQ(d.day, c.d);
  EXPECT_EQ(t.hour, c.hh);
  EXPECT_EQ(t.minute, c.nn);
  EXPECT_EQ(t.second, c.ss);
  EXPECT_EQ(t.msec, c.ms);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, IsoTest,
    ::testing::Values(IsoCase{"2026-03-05", true, 2026, 3, 5, 0, 0, 0, 0},
                      IsoCase{"2026-03-05T10:20:30", true, 2026, 3, 5, 10, 20, 30, 0},
                      IsoCase{"2026-03-05T10:20:30.007", true, 2026, 3, 5, 10, 20, 30, 7},
                      IsoCase{"2026-03-05T10:20:30.5", true, 2026, 3, 5, 10, 20, 30, 500},
                      IsoCase{"2024-02-29T23:59:59", true, 2024, 2, 29, 23, 59, 59, 0},
                      IsoCase{"1899-12-29T06:00:00", true, 1899, 12, 29, 6, 0, 0, 0},
                      IsoCase{"2026-02-29", false}, IsoCase{"2026-3-5", false}, IsoCase{"05/03/2026", false},
                      IsoCase{"2026-03-05 10:20:30", false}, IsoCase{"2026-03-05T10:20", false},
                      IsoCase{"2026-03-05T24:00:00", false}, IsoCase{"2026-03-05T10:20:30.", false},
                      IsoCase{"2026-03-05T10:20:30.1234", false}, IsoCase{"2026-03-05x", false},
                      IsoCase{"", false}));

TEST(Iso, FormatsWithMilliseconds) {
  rtl::TDateTime dt = 0;
  ASSERT_TRUE(qorhost::ParseIsoDateTime("2026-03-05T10:20:30.250", dt));
  EXPECT_EQ(qorhost::FormatIsoDateTime(dt), "2026-03-05T10:20:30.250");
}

struct ValueCase {
  const char* json;
  rtl::VarType type;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.json; }

class DecodeValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(DecodeValueTest, TypesFollowTheJson) {
  const auto& c = GetParam();
  rtl::Variant v = qorhost::DecodeValue(Json::parse(c.json), {});
  EXPECT_EQ(v.type(), c.type) << c.json;
}

INSTANTIATE_TEST_SUITE_P(
    Values, DecodeValueTest,
    ::testing::Values(ValueCase{"\"x\"", rtl::VarType::String}, ValueCase{"12", rtl::VarType::Integer},
                      ValueCase{"-12", rtl::VarType::Integer}, ValueCase{"12.0", rtl::VarType::Double},
                      ValueCase{"true", rtl::VarType::Boolean}, ValueCase{"null", rtl::VarType::Null},
                      ValueCase{"[1, \"a\"]", rtl::VarType::Array},
                      ValueCase{R"({"datetime": "2026-03-05"})", rtl::VarType::DateTime},
                      ValueCase{R"({"null": true})", rtl::VarType::Null},
                      ValueCase{R"({"fields": [{"name": "A", "type": "integer"}], "rows": [[1]]})",
                                rtl::VarType::DataPacket},
                      ValueCase{R"({"CDFILIAL": "0001"})", rtl::VarType::Array}));

TEST(DecodeValue, NullIsUnassignedOnlyWhereAsked) {
  EXPECT_TRUE(qorhost::DecodeValue(Json(nullptr), {}, true).IsEmpty());
  EXPECT_TRUE(qorhost::DecodeValue(Json(nullptr), {}, false).IsNull());
}

TEST(DecodeValue, NestedObjectIsARecordInOrder) {
  rtl::Variant v = qorhost::DecodeValue(Json::parse(R"({"Z": 1, "A": {"B": "x"}})"), {});
  ASSERT_EQ(v.ArrayLength(), 2u);
  EXPECT_EQ(v[0][0].AsString(), "Z");
  EXPECT_EQ(v[1][0].AsString(), "A");
  EXPECT_EQ(v[1][1][0][0].AsString(), "B");
}

TEST(EncodeVariant, EveryVariantType) {
  using V = rtl::Variant;
  EXPECT_EQ(qorhost::EncodeVariant(V()).dump(), "null");
  EXPECT_EQ(qorhost::EncodeVariant(V::Null()).dump(), R"({"null":true})");
  EXPECT_EQ(qorhost::EncodeVariant(V(true)).dump(), "true");
  EXPECT_EQ(qorhost::EncodeVariant(V(7)).dump(), "7");
  EXPECT_EQ(qorhost::EncodeVariant(V(7.0)).dump(), "7.0");
  EXPECT_EQ(qorhost::EncodeVariant(V(std::string("a\xE7\xE3o"))).dump(), "\"a\xC3\xA7\xC3\xA3o\"");
  EXPECT_EQ(qorhost::EncodeVariant(V::FromDateTime(rtl::EncodeDate(2026, 3, 5))).dump(),
            R"({"datetime":"2026-03-05T00:00:00.000"})");
  EXPECT_EQ(qorhost::EncodeVariant(V::Record({{"A", V(1)}, {"B", V("x")}})).dump(), R"([["A",1],["B","x"]])");
  EXPECT_EQ(qorhost::EncodeVariant(V::CreateArray(2)).dump(), "[null,null]");
}

TEST(Packet, EveryFieldTypeRoundTrips) {
  const Json in = Json::parse(R"({"fields": [
      {"name": "S", "type": "string", "size": 5}, {"name": "F", "type": "float"},
      {"name": "I", "type": "integer"}, {"name": "B", "type": "boolean"},
      {"name": "DT", "type": "datetime"}, {"name": "D", "type": "date"}, {"name": "T", "type": "time"},
      {"name": "C", "type": "currency"}, {"name": "L", "type": "largeint"}],
    "rows": [["abc", 1.25, -3, false, "2026-03-05T10:00:00", "2026-03-05", "10:30:00", 9.99, 5000000000],
             [null, null, null, null, null, null, null, null, null]]})");
  auto p = qorhost::DecodePacket(in, {});
  ASSERT_EQ(p->fields.size(), 9u);
  EXPECT_EQ(p->fields[0].size, 5);
  EXPECT_EQ(p->fields[6].type, rtl::FieldType::Time);
  EXPECT_TRUE(p->rows[1][0].IsNull());
  const Json out = qorhost::EncodePacket(*p);
  EXPECT_EQ(out["fields"], in["fields"]);
  EXPECT_EQ(out["rows"][0], Json::parse(R"(["abc", 1.25, -3, false, {"datetime": "2026-03-05T10:00:00.000"},
      {"datetime": "2026-03-05T00:00:00.000"}, {"datetime": "1899-12-30T10:30:00.000"}, 9.99, 5000000000])"));
  EXPECT_EQ(out["rows"][1], in["rows"][1]);
}

TEST(DataSet, LoadsFieldsIndexesAndRows) {
  auto ds = qorhost::DecodeDataSet(Json::parse(R"({
      "fields": [{"name": "CDTIPORECE", "type": "string", "size": 3}, {"name": "VRMOVIVEND", "type": "float"}],
      "indexes": [{"name": "idxCD", "fields": "CDTIPORECE"}],
      "rows": [["002", 2.0], ["001", 1.0]]})"),
                                   {});
  ASSERT_TRUE(ds->Active());
  EXPECT_EQ(ds->RecordCount(), 2);
  ASSERT_EQ(ds->IndexDefs().size(), 1u);
  ds->SetIndexName("idxCD");
  ds->First();
  EXPECT_EQ(ds->FieldByName("CDTIPORECE").AsString(), "001");
  EXPECT_EQ(qorhost::EncodeDataSet(*ds)["rows"].size(), 2u);
}

TEST(DataSet, WithoutFieldsIsHandedOverClosed) {
  auto ds = qorhost::DecodeDataSet(Json::parse(R"({"fields": []})"), {});
  EXPECT_FALSE(ds->Active());
  EXPECT_EQ(qorhost::EncodeDataSet(*ds), Json::parse(R"({"fields": [], "rows": []})"));
}

TEST(Kinds, ReportedAfterTheCall) {
  for (const char* k : {"text&", "int&", "real&", "bool&", "datetime&", "record&", "packet&", "result", "dataset",
                        "strings"})
    EXPECT_TRUE(qorhost::IsReported(k)) << k;
  for (const char* k : {"text", "int", "real", "bool", "datetime", "record", "packet", "list"})
    EXPECT_FALSE(qorhost::IsReported(k)) << k;
}

TEST(ParseSession, RefusesNestingBeyondTheLimitWithoutRecursing) {
  auto nested = [](int n) { return std::string(n, '[') + std::string(n, ']'); };
  EXPECT_NO_THROW(qorhost::ParseSession(nested(qorhost::kMaxNesting)));
  for (int n : {qorhost::kMaxNesting + 1, 50000}) {
    try {
      qorhost::ParseSession(nested(n));
      ADD_FAILURE() << n << " levels were accepted";
    } catch (const qorhost::SessionError& e) {
      EXPECT_NE(std::string(e.what()).find("deeper than 64"), std::string::npos) << e.what();
    }
  }
  std::string objects;
  for (int i = 0; i < 50000; ++i) objects += "{\"a\":";
  EXPECT_THROW(qorhost::ParseSession(objects + "1" + std::string(50000, '}')), qorhost::SessionError);
  try {
    qorhost::ParseSession("{\"steps\": [");
    ADD_FAILURE();
  } catch (const qorhost::SessionError& e) {
    EXPECT_NE(std::string(e.what()).find("unreadable JSON"), std::string::npos) << e.what();
  }
}

TEST(Text, OnlyCharactersOfCodePage1252Pass) {
  EXPECT_EQ(qorhost::ToCp1252("Emissão — R$ 1,00 €"), "Emiss\xE3o \x97 R$ 1,00 \x80");
  EXPECT_THROW(qorhost::ToCp1252("\xE2\x98\x83"), qorhost::SessionError);  // a snowman
}

}  // namespace
