// Variant: types, conversions (and the raising cases), arrays by value, records.
#include <gtest/gtest.h>

#include <climits>

#include "platform/errors.h"
#include "platform/locale.h"
#include "platform/variant.h"

using namespace rtl;

namespace {

class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  ScopedSettings keep_;
};

TEST_F(VariantTest, TypesAndNames) {
  EXPECT_EQ(Variant().type(), VarType::Unassigned);
  EXPECT_TRUE(Variant().IsEmpty());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_EQ(Variant(true).type(), VarType::Boolean);
  EXPECT_EQ(Variant(1).type(), VarType::Integer);
  EXPECT_EQ(Variant(int64_t(1)).type(), VarType::Integer);
  EXPECT_EQ(Variant(1.5).type(), VarType::Double);
  EXPECT_EQ(Variant("a").type(), VarType::String);
  EXPECT_EQ(Variant(std::string("a")).type(), VarType::String);
  EXPECT_EQ(Variant(static_cast<const char*>(nullptr)).AsString(), "");
  EXPECT_EQ(Variant::FromDateTime(45352).type(), VarType::DateTime);
  EXPECT_TRUE(Variant::CreateArray(3).IsArray());
  EXPECT_STREQ(VarTypeName(VarType::Unassigned), "Empty");
  EXPECT_STREQ(VarTypeName(VarType::Null), "Null");
  EXPECT_STREQ(VarTypeName(VarType::DateTime), "Date");
  EXPECT_STREQ(VarTypeName(VarType::DataPacket), "DataPacket");
  EXPECT_LE(sizeof(Variant), 48u);
}

TEST_F(VariantTest, UnassignedReadsAsEmptyZeroFalse) {
  Variant v;
  EXPECT_EQ(v.AsString(), "");
  EXPECT_EQ(v.AsInteger(), 0);
  EXPECT_EQ(v.AsInt64(), 0);
  EXPECT_EQ(v.AsDouble(), 0);
  EXPECT_FALSE(v.AsBoolean());
  EXPECT_EQ(v.AsDateTime(), 0);
}

TEST_F(VariantTest, NullRaisesOnEveryConversion) {
  Variant n = Variant::Null();
  EXPECT_THROW(n.AsString(), EVariantTypeCastError);
  EXPECT_THROW(n.AsInteger(), EVariantTypeCastError);
  EXPECT_THROW(n.AsInt64(), EVariantTypeCastError);
  EXPECT_THROW(n.AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(n.AsBoolean(), EVariantTypeCastError);
  EXPECT_THROW(n.AsDateTime(), EVariantTypeCastError);
  EXPECT_THROW(n.AsInteger(), EConvertError);  // the base class
  try {
    n.AsInteger();
    FAIL();
  } catch (const EVariantTypeCastError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (Integer)");
    EXPECT_STREQ(e.className(), "EVariantTypeCastError");
  }
  try {
    n.AsString();
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (String)");
  }
}

TEST_F(VariantTest, ToString) {
  EXPECT_EQ(Variant(true).AsString(), "True");
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_EQ(Variant(-42).AsString(), "-42");
  EXPECT_EQ(Variant(int64_t(9000000000)).AsString(), "9000000000");
  EXPECT_EQ(Variant(10.5).AsString(), "10,5");
  EXPECT_EQ(Variant(0.1 + 0.2).AsString(), "0,3");
  EXPECT_EQ(Variant("x\xE7").AsString(), "x\xE7");
  EXPECT_EQ(Variant::FromDateTime(45352 + 0.5).AsString(), "01/03/2024 12:00:00");
  EXPECT_EQ(Variant::FromDateTime(45352).AsString(), "01/03/2024");
  EXPECT_THROW(Variant::CreateArray(1).AsString(), EVariantTypeCastError);
}

TEST_F(VariantTest, ToInteger) {
  const struct {
    Variant v;
    int32_t expected;
  } cases[] = {
      {Variant(7), 7},          {Variant(true), -1},       {Variant(false), 0},      {Variant(2.5), 2},
      {Variant(3.5), 4},        {Variant(-2.5), -2},       {Variant(2.6), 3},        {Variant("000123"), 123},
      {Variant(" 12"), 12},     {Variant("-7"), -7},       {Variant("12,5"), 12},    {Variant("13,5"), 14},
      {Variant("1E3"), 1000},   {Variant("12 "), 12},  // StrToFloat allows trailing blanks
         {Variant::FromDateTime(45352.75), 45353},
  };
  for (const auto& c : cases) EXPECT_EQ(c.v.AsInteger(), c.expected) << c.v.AsString();
}

TEST_F(VariantTest, ToIntegerRaises) {
  const Variant bad[] = {Variant("abc"), Variant(""), Variant("12x"), Variant("1.234,5"), Variant(3e9),
                         Variant(int64_t(1) << 40), Variant(1e300), Variant("99999999999"),
                         Variant::CreateArray(1), Variant::Null()};
  for (const auto& v : bad) EXPECT_THROW(v.AsInteger(), EVariantTypeCastError) << VarTypeName(v.type());
  try {
    Variant("abc").AsInteger();
    FAIL();
  } catch (const EVariantTypeCastError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Integer)");
  }
  EXPECT_EQ(Variant(int64_t(1) << 40).AsInt64(), int64_t(1) << 40);
  EXPECT_EQ(Variant("99999999999").AsInt64(), 99999999999LL);
  EXPECT_THROW(Variant(1e300).AsInt64(), EVariantTypeCastError);
}

TEST_F(VariantTest, ToDouble) {
  EXPECT_EQ(Variant(7).AsDouble(), 7);
  EXPECT_EQ(Variant(2.25).AsDouble(), 2.25);
  EXPECT_EQ(Variant("10,5").AsDouble(), 10.5);
  EXPECT_EQ(Variant(" -1,5 ").AsDouble(), -1.5);
  EXPECT_EQ(Variant(true).AsDouble(), -1);
  EXPECT_EQ(Variant::FromDateTime(45352.5).AsDouble(), 45352.5);
  EXPECT_THROW(Variant("10.5").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant("").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant("1.234,56").AsDouble(), EVariantTypeCastError);
  try {
    Variant("x").AsDouble();
    FAIL();
  } catch (const EVariantTypeCastError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Double)");
  }
  Settings().DecimalSeparator = '.';
  EXPECT_EQ(Variant("10.5").AsDouble(), 10.5);
}

TEST_F(VariantTest, ToBoolean) {
  EXPECT_TRUE(Variant("True").AsBoolean());
  EXPECT_TRUE(Variant("TRUE").AsBoolean());
  EXPECT_TRUE(Variant("true").AsBoolean());
  EXPECT_FALSE(Variant("False").AsBoolean());
  EXPECT_FALSE(Variant("fAlSe").AsBoolean());
  EXPECT_TRUE(Variant("1").AsBoolean());
  EXPECT_FALSE(Variant("0").AsBoolean());
  EXPECT_TRUE(Variant("-1").AsBoolean());
  EXPECT_TRUE(Variant(5).AsBoolean());
  EXPECT_FALSE(Variant(0).AsBoolean());
  EXPECT_TRUE(Variant(0.1).AsBoolean());
  EXPECT_THROW(Variant("yes").AsBoolean(), EVariantTypeCastError);
  EXPECT_THROW(Variant("").AsBoolean(), EVariantTypeCastError);
  EXPECT_THROW(Variant(" True").AsBoolean(), EVariantTypeCastError);
}

TEST_F(VariantTest, ToDateTime) {
  EXPECT_EQ(Variant("01/03/2024").AsDateTime(), 45352);
  EXPECT_EQ(Variant("01/03/2024 12:00").AsDateTime(), 45352.5);
  EXPECT_EQ(Variant(45352.5).AsDateTime(), 45352.5);
  EXPECT_EQ(Variant(45352).AsDateTime(), 45352);
  EXPECT_THROW(Variant("31/02/2024").AsDateTime(), EVariantTypeCastError);
  EXPECT_THROW(Variant(true).AsDateTime(), EVariantTypeCastError);
  try {
    Variant("x").AsDateTime();
    FAIL();
  } catch (const EVariantTypeCastError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Date)");
  }
}

TEST_F(VariantTest, PacketAccess) {
  EXPECT_THROW(Variant(1).AsPacket(), EVariantTypeCastError);
  EXPECT_THROW(Variant().AsPacket(), EVariantTypeCastError);
  Variant p{std::shared_ptr<const DataPacket>()};
  EXPECT_TRUE(p.IsPacket());
  EXPECT_EQ(p.AsPacket(), nullptr);
  Variant copy = p;
  EXPECT_TRUE(copy == p);
  EXPECT_THROW(p.AsString(), EVariantTypeCastError);
}

TEST_F(VariantTest, ArraysCopyByValue) {
  Variant a = Variant::CreateArray(2);
  EXPECT_EQ(a.ArrayLength(), 2u);
  EXPECT_EQ(a.ArrayHighBound(), 1);
  EXPECT_TRUE(a[0].IsEmpty());
  a[0] = Variant("x");
  a[1] = Variant(std::vector<Variant>{Variant(1), Variant(2)});
  Variant b = a;
  b[0] = Variant("y");
  b[1][0] = Variant(99);
  EXPECT_EQ(a[0].AsString(), "x");
  EXPECT_EQ(a[1][0].AsInteger(), 1);
  EXPECT_EQ(b[1][0].AsInteger(), 99);
  Variant c;
  c = a;
  EXPECT_TRUE(c == a);
  c.Items().push_back(Variant(3));
  EXPECT_EQ(a.ArrayLength(), 2u);
  EXPECT_EQ(c.ArrayLength(), 3u);
  EXPECT_EQ(Variant::CreateArray(0).ArrayHighBound(), -1);
}

TEST_F(VariantTest, AssigningAnElementOfItself) {
  Variant a(std::vector<Variant>{Variant(std::vector<Variant>{Variant("inner")}), Variant(2)});
  a = a[0];  // the source lives inside the target
  ASSERT_TRUE(a.IsArray());
  EXPECT_EQ(a[0].AsString(), "inner");
  Variant b(std::vector<Variant>{Variant(std::vector<Variant>{Variant("z")})});
  b = std::move(b[0]);
  EXPECT_EQ(b[0].AsString(), "z");
  Variant s("self");
  Variant& same = s;  // self-assignment through another name, as a caller would reach it
  s = same;
  EXPECT_EQ(s.AsString(), "self");
}

TEST_F(VariantTest, MoveLeavesUnassigned) {
  Variant a("text that is long enough to live on the heap, not in the small buffer");
  Variant b = std::move(a);
  EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(b.AsString(), "text that is long enough to live on the heap, not in the small buffer");
  Variant c(std::vector<Variant>{Variant(1)});
  c = std::move(b);
  EXPECT_EQ(c.type(), VarType::String);
}

TEST_F(VariantTest, ArrayErrors) {
  Variant a = Variant::CreateArray(2);
  EXPECT_THROW(a[2], EVariantError);
  const Variant& ca = a;
  EXPECT_THROW(ca[5], EVariantError);
  EXPECT_THROW(Variant(1).ArrayLength(), EVariantError);
  EXPECT_THROW(Variant(1)[0], EVariantError);
  EXPECT_THROW(Variant().Items(), EVariantError);
  try {
    a[2];
    FAIL();
  } catch (const EVariantError& e) {
    EXPECT_STREQ(e.className(), "EVariantError");
  }
}

TEST_F(VariantTest, Equality) {
  EXPECT_TRUE(Variant() == Variant());
  EXPECT_TRUE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant() == Variant::Null());
  EXPECT_TRUE(Variant(1) == Variant(int64_t(1)));
  EXPECT_FALSE(Variant(1) == Variant(1.0));
  EXPECT_FALSE(Variant(1) == Variant(true));
  EXPECT_TRUE(Variant("a") == Variant(std::string("a")));
  EXPECT_FALSE(Variant("a") == Variant("A"));
  EXPECT_FALSE(Variant(45352.0) == Variant::FromDateTime(45352));
  EXPECT_TRUE(Variant(std::vector<Variant>{1, "x"}) == Variant(std::vector<Variant>{1, "x"}));
  EXPECT_FALSE(Variant(std::vector<Variant>{1, "x"}) == Variant(std::vector<Variant>{1, "y"}));
}

TEST_F(VariantTest, Record) {
  Variant r = Variant::Record({{"CDFILIAL", Variant("0001")}, {"VALOR", Variant(10.5)}, {"NULO", Variant::Null()}});
  ASSERT_EQ(r.ArrayLength(), 3u);
  EXPECT_EQ(r[0].ArrayLength(), 2u);
  EXPECT_EQ(r[0][0].AsString(), "CDFILIAL");
  EXPECT_EQ(r[0][1].AsString(), "0001");
  EXPECT_EQ(r[1][1].AsDouble(), 10.5);
  EXPECT_TRUE(r[2][1].IsNull());
  EXPECT_EQ(Variant::Record({}).ArrayLength(), 0u);
}

}  // namespace
