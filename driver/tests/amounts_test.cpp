// Amount texts: masks, fixed, currency and the 14-digit command amount.
#include <gtest/gtest.h>

#include "driver/amounts.h"
#include "platform/text.h"

namespace {

using Qor01100::CurrencyAmount;
using Qor01100::DigitAmount;
using Qor01100::FixedAmount;
using Qor01100::FormatAmount;

TEST(Amounts, MasksRoundOnTheDecimalValue) {
  EXPECT_EQ(FormatAmount("0.00", 1.115), "1,12");
  EXPECT_EQ(FormatAmount("0.00", 10), "10,00");
  EXPECT_EQ(FormatAmount("0.00#", 1.5), "1,50");
  EXPECT_EQ(FormatAmount("0.00#", 2.125), "2,125");
  EXPECT_EQ(FormatAmount("#0.000", 0.35), "0,350");
}

TEST(Amounts, FixedHasNoThousandSeparators) {
  EXPECT_EQ(FixedAmount(12345.5), "12345,50");
  EXPECT_EQ(FixedAmount(-3.456), "-3,46");
  EXPECT_EQ(FixedAmount(0), "0,00");
}

TEST(Amounts, CurrencyUsesTheLocalesForm) {
  EXPECT_EQ(CurrencyAmount(1234.5), "R$ 1.234,50");
  EXPECT_EQ(CurrencyAmount(43), "R$ 43,00");
  EXPECT_EQ(CurrencyAmount(-7.5), "-R$ 7,50");
  EXPECT_EQ(CurrencyAmount(-0.001), "R$ 0,00");
}

TEST(Amounts, DigitAmountIsFourteenDigitsWithTwoImpliedDecimals) {
  EXPECT_EQ(DigitAmount(12.5), "00000000001250");
  EXPECT_EQ(DigitAmount(0.01), "00000000000001");
  EXPECT_EQ(DigitAmount(1.115), "00000000000112");
  EXPECT_EQ(DigitAmount(0), "00000000000000");
  // An amount of a trillion or more keeps all its digits instead of losing one.
  EXPECT_EQ(DigitAmount(1234567890123.45), "123456789012345");
}

}  // namespace
