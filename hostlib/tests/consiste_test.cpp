// String and number helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "hostlib/consiste.h"
#include "platform/env.h"

namespace {

using namespace hostlib;

TEST(Consiste, Widths) {
  struct Case {
    const char* what;
    std::string got;
    const char* expected;
  };
  const Case cases[] = {
      {"Replicate", Replicate("-", 5), "-----"},
      {"Replicate text", Replicate("ab", 3), "ababab"},
      {"Replicate 0", Replicate("-", 0), ""},
      {"Replicate negative", Replicate("-", -3), ""},
      {"TamFixo pads", TamFixo("NOME", 8), "NOME    "},
      {"TamFixo cuts", TamFixo("CODIGO DO PRODUTO", 6), "CODIGO"},
      {"TamFixo exact", TamFixo("QTDE", 4), "QTDE"},
      {"TamFixo 0", TamFixo("QTDE", 0), ""},
      {"TamFixo empty", TamFixo("", 3), "   "},
      {"TamFixoR pads", TamFixoR("12,50", 8), "   12,50"},
      {"TamFixoR cuts keeping the left", TamFixoR("VLR.TOT.", 5), "VLR.T"},
      {"TamFixoR negative width", TamFixoR("1", -1), ""},
      {"Centraliza even", Centraliza("AB", 6), "  AB  "},
      {"Centraliza odd: extra blank on the right", Centraliza("ABC", 6), " ABC  "},
      {"Centraliza 47", Centraliza("RELATORIO DE PRODUTOS", 47),
       "             RELATORIO DE PRODUTOS             "},
      {"Centraliza cuts", Centraliza("RELATORIO", 5), "RELAT"},
      {"Centraliza empty", Centraliza("", 3), "   "},
      {"AjustaZero", AjustaZero("124", 6), "000124"},
      {"AjustaZero exact", AjustaZero("123456", 6), "123456"},
      {"AjustaZero keeps the low-order digits", AjustaZero("1234567", 6), "234567"},
      {"AjustaZero sign first", AjustaZero("-5", 4), "-005"},
      {"AjustaZero empty", AjustaZero("", 3), "000"},
      {"Ajusta fills with zeros", Ajusta("7", 4), "0007"},
      {"Ajusta 6 then 10", Ajusta(Ajusta("125", 6), 10), "0000000125"},
      {"Ajusta 0", Ajusta("7", 0), ""},
      {"PadL", PadL("1,50", 8), "    1,50"},
      {"PadL never cuts an amount", PadL("123456,78", 8), "123456,78"},
      {"RTrim", RTrim("Rel Gerencial   "), "Rel Gerencial"},
      {"RTrim keeps leading blanks", RTrim("  a b \t"), "  a b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.expected) << c.what;
  }
}

TEST(Consiste, EmptyString) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("   "));
  EXPECT_TRUE(EmptyString(" \t\r\n"));
  EXPECT_FALSE(EmptyString(" a "));
  EXPECT_FALSE(EmptyString("\xE7"));  // "ç" in 1252 is not blank
}

TEST(Consiste, Iif) {
  EXPECT_EQ(iif(true, "S", "N"), "S");
  EXPECT_EQ(iif(false, "S", "N"), "N");
  EXPECT_EQ(iif(false, 1, 2), 2);
  EXPECT_EQ(iif<std::string>(true, "a", "b"), "a");
}

// Amounts sent to the printer go through these: they work on the decimal
// value a person sees, not on the double's binary approximation.
TEST(Consiste, DecimalRounding) {
  struct Case {
    const char* what;
    double got;
    double expected;
  };
  const Case cases[] = {
      {"Trunc2 1.15 (binary 1.1499999...)", Trunc2(1.15), 1.15},
      {"Trunc2 4.9995", Trunc2(4.9995), 4.99},
      {"Trunc2 0.29 (binary 0.28999...)", Trunc2(0.29), 0.29},
      {"Trunc2 2.675", Trunc2(2.675), 2.67},
      {"Trunc2 of a product", Trunc2(3 * 1.1), 3.3},   // 3.3000000000000003
      {"Trunc2 of a quantity times a price", Trunc2(0.355 * 100), 35.5},
      {"Trunc2 negative toward zero", Trunc2(-1.159), -1.15},
      {"Trunc2 negative 4.9995", Trunc2(-4.9995), -4.99},
      {"Trunc2 integer", Trunc2(1234), 1234},
      {"Trunc2 small", Trunc2(0.009), 0},
      {"Trunc2 large", Trunc2(123456789.987), 123456789.98},
      {"Trunc3 1.0005", Trunc3(1.0005), 1.0},
      {"Trunc3 2.3456", Trunc3(2.3456), 2.345},
      {"Trunc3 0.1+0.2", Trunc3(0.1 + 0.2), 0.3},
      {"Trunc3 negative", Trunc3(-0.0019), -0.001},
      {"RoundDec 2.675 (binary 2.67499...)", RoundDec(2.675, 2), 2.68},
      {"RoundDec 1.005", RoundDec(1.005, 2), 1.01},
      {"RoundDec 1.115", RoundDec(1.115, 2), 1.12},
      {"RoundDec 1.114", RoundDec(1.114, 2), 1.11},
      {"RoundDec half away from zero, negative", RoundDec(-2.675, 2), -2.68},
      {"RoundDec 0.5 to 0 decimals", RoundDec(0.5, 0), 1},
      {"RoundDec 2.5 to 0 decimals", RoundDec(2.5, 0), 3},
      {"RoundDec 0.004 to 2", RoundDec(0.004, 2), 0},
      {"RoundDec 0.005 to 2", RoundDec(0.005, 2), 0.01},
      {"RoundDec 9.995 carries", RoundDec(9.995, 2), 10},
      {"RoundDec 0.0449 to 2", RoundDec(0.0449, 2), 0.04},
      {"RoundDec 3 decimals", RoundDec(1.0005, 3), 1.001},
      {"RoundDec to tens", RoundDec(1234.5, -1), 1230},
      {"RoundDec 10.10 stays", RoundDec(10.1, 2), 10.1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.got, c.expected) << c.what;  // exact: the nearest double to the decimal result
  }
}

TEST(Consiste, DecimalRoundingEdgeValues) {
  EXPECT_FALSE(std::signbit(Trunc2(-0.001)));  // no negative zero
  EXPECT_FALSE(std::signbit(RoundDec(-0.004, 2)));
  EXPECT_TRUE(std::isnan(Trunc2(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_EQ(Trunc2(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Trunc2(1e20), 1e20);
  EXPECT_EQ(RoundDec(123.456, 40), 123.456);  // more decimals than a double holds: unchanged
}

TEST(Consiste, DelayWaitsThroughTheEnvironment) {
  rtl::ConfigurableEnv env;
  rtl::ScopedEnv scoped(&env);
  Delay(250);
  Delay(0);
  Delay(-5);
  EXPECT_EQ(env.sleptMs, 250);
}

}  // namespace
