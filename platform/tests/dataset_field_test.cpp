// Client datasets: typed field access and conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/errors.h"
#include "platform/locale.h"

namespace {

using rtl::ClientDataSet;
using rtl::EDatabaseError;
using rtl::FieldType;
using rtl::Variant;

class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rtl::ResetSettings();  // Brazilian: decimal comma, dd/mm/yyyy
    ds.AddFieldDef("S", FieldType::String, 5);
    ds.AddFieldDef("I", FieldType::Integer);
    ds.AddFieldDef("L", FieldType::LargeInt);
    ds.AddFieldDef("F", FieldType::Float);
    ds.AddFieldDef("B", FieldType::Boolean);
    ds.AddFieldDef("D", FieldType::Date);
    ds.AddFieldDef("T", FieldType::Time);
    ds.AddFieldDef("DT", FieldType::DateTime);
    ds.AddFieldDef("M", FieldType::Memo);
    ds.CreateDataSet();
    ds.Append();
  }
  rtl::Field& F(const char* n) { return ds.FieldByName(n); }
  rtl::ScopedSettings keep;
  ClientDataSet ds;
};

TEST_F(FieldTest, NullsReadAsEmptyZeroFalse) {
  for (const char* n : {"S", "I", "L", "F", "B", "D", "T", "DT", "M"}) {
    SCOPED_TRACE(n);
    EXPECT_TRUE(F(n).IsNull());
    EXPECT_EQ(F(n).AsString(), "");
    EXPECT_EQ(F(n).AsFloat(), 0);
    EXPECT_EQ(F(n).AsInteger(), 0);
    EXPECT_EQ(F(n).AsDateTime(), 0);
    EXPECT_FALSE(F(n).AsBoolean());
    EXPECT_TRUE(F(n).Value().IsNull());
  }
}

TEST_F(FieldTest, TypedValuesAndTheirTexts) {
  F("S").SetAsString("abc");
  F("I").SetAsInteger(-42);
  F("L").SetValue(Variant(int64_t{1} << 40));
  F("F").SetAsFloat(10.5);
  F("B").SetAsBoolean(true);
  F("D").SetAsDateTime(rtl::EncodeDate(2024, 3, 1) + 0.75);  // a date keeps no time
  F("T").SetAsDateTime(rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(9, 5, 7, 0));  // a time keeps no date
  F("DT").SetAsDateTime(rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(9, 5, 7, 0));
  F("M").SetAsString("line1\r\nline2 with more than five");
  ds.Post();
  EXPECT_EQ(F("S").AsString(), "abc");
  EXPECT_EQ(F("I").AsString(), "-42");
  EXPECT_EQ(F("L").AsString(), "1099511627776");
  EXPECT_EQ(F("F").AsString(), "10,5");
  EXPECT_EQ(F("B").AsString(), "True");
  EXPECT_EQ(F("D").AsString(), "01/03/2024");
  EXPECT_EQ(F("T").AsString(), "09:05:07");
  EXPECT_EQ(F("DT").AsString(), "01/03/2024 09:05:07");
  EXPECT_EQ(F("M").AsString(), "line1\r\nline2 with more than five");  // memos are not cut
  EXPECT_DOUBLE_EQ(F("D").AsDateTime(), rtl::EncodeDate(2024, 3, 1));
  EXPECT_DOUBLE_EQ(F("T").AsDateTime(), rtl::EncodeTime(9, 5, 7, 0));
  EXPECT_EQ(F("I").Value(), Variant(-42));
  EXPECT_EQ(F("B").Value(), Variant(true));
  EXPECT_EQ(F("DT").Value().type(), rtl::VarType::DateTime);
  EXPECT_EQ(F("F").DataType(), FieldType::Float);
  EXPECT_EQ(F("S").Size(), 5);
  EXPECT_EQ(F("s").FieldName(), "S");
}

TEST_F(FieldTest, ConversionsBetweenKinds) {
  F("S").SetAsFloat(2.5);  // texts take the locale's form
  EXPECT_EQ(F("S").AsString(), "2,5");
  EXPECT_DOUBLE_EQ(F("S").AsFloat(), 2.5);
  F("S").SetAsInteger(123456);  // cut at the size
  EXPECT_EQ(F("S").AsString(), "12345");
  EXPECT_EQ(F("S").AsInteger(), 12345);
  F("S").SetAsBoolean(true);
  EXPECT_EQ(F("S").AsString(), "T");
  EXPECT_TRUE(F("S").AsBoolean());
  F("I").SetAsFloat(2.5);  // banker's rounding
  EXPECT_EQ(F("I").AsInteger(), 2);
  F("I").SetAsFloat(3.5);
  EXPECT_EQ(F("I").AsInteger(), 4);
  F("I").SetAsString("0012");
  EXPECT_EQ(F("I").AsInteger(), 12);
  F("F").SetAsString("1234,5");
  EXPECT_DOUBLE_EQ(F("F").AsFloat(), 1234.5);
  EXPECT_EQ(F("F").AsInteger(), 1234);
  F("B").SetAsString("f");
  EXPECT_FALSE(F("B").AsBoolean());
  EXPECT_FALSE(F("B").IsNull());
  F("B").SetAsString("TRUE");
  EXPECT_TRUE(F("B").AsBoolean());
  F("DT").SetAsString("02/03/2024 10:00:00");
  EXPECT_DOUBLE_EQ(F("DT").AsDateTime(), rtl::EncodeDate(2024, 3, 2) + rtl::EncodeTime(10, 0, 0, 0));
  F("DT").SetValue(Variant("2024-03-04T05:06:07"));  // ISO text from a host
  EXPECT_DOUBLE_EQ(F("DT").AsDateTime(), rtl::EncodeDate(2024, 3, 4) + rtl::EncodeTime(5, 6, 7, 0));
  F("L").SetAsInteger(7);
  EXPECT_EQ(F("L").Value(), Variant(int64_t{7}));
}

TEST_F(FieldTest, EmptyTextClearsAnyField) {
  F("S").SetAsString("x");
  F("F").SetAsFloat(1);
  F("S").SetAsString("");
  F("F").SetAsString("");
  EXPECT_TRUE(F("S").IsNull());
  EXPECT_TRUE(F("F").IsNull());
  F("I").SetAsInteger(1);
  F("I").Clear();
  EXPECT_TRUE(F("I").IsNull());
  F("I").SetValue(Variant::Null());
  EXPECT_TRUE(F("I").IsNull());
}

struct BadValue {
  const char* field;
  const char* text;
};

TEST_F(FieldTest, BadValuesRaiseAndLeaveTheFieldAsItWas) {
  F("I").SetAsInteger(5);
  F("F").SetAsFloat(5);
  F("B").SetAsBoolean(true);
  F("DT").SetAsDateTime(1);
  const BadValue bad[] = {{"I", "abc"}, {"I", "1,5"}, {"I", "99999999999"}, {"F", "1.234,56"},
                          {"F", "x"},   {"B", "yes"}, {"DT", "31/02/2024"}};
  for (const BadValue& b : bad) {
    SCOPED_TRACE(std::string(b.field) + " <- " + b.text);
    EXPECT_THROW(F(b.field).SetAsString(b.text), rtl::Exception);
    EXPECT_FALSE(F(b.field).IsNull());
  }
  EXPECT_EQ(F("I").AsInteger(), 5);
  EXPECT_EQ(F("F").AsFloat(), 5);
  try {
    F("I").SetAsString("abc");
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "'abc' is not a valid integer value for field 'I'");
  }
  F("S").SetAsString("abc");
  EXPECT_THROW(F("S").AsInteger(), rtl::Exception);  // a null text reads as 0, "abc" is no number
  EXPECT_THROW(F("S").AsFloat(), rtl::Exception);
}

TEST_F(FieldTest, NonFiniteAndOutOfRangeValuesAreRefused) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_THROW(F("F").SetAsFloat(std::nan("")), EDatabaseError);
  EXPECT_THROW(F("F").SetAsFloat(inf), EDatabaseError);
  EXPECT_THROW(F("S").SetAsFloat(inf), EDatabaseError);
  EXPECT_THROW(F("DT").SetAsDateTime(1e9), EDatabaseError);  // far beyond year 9999
  EXPECT_THROW(F("I").SetAsFloat(1e12), rtl::Exception);    // beyond 32 bits
  EXPECT_TRUE(F("F").IsNull());
  EXPECT_TRUE(F("DT").IsNull());
  ds.Post();
  ds.Edit();
  F("L").SetValue(Variant(int64_t{1} << 40));
  ds.Post();
  EXPECT_THROW(F("L").AsInteger(), rtl::ERangeError);
}

}  // namespace
