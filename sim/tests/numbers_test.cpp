// The exact multiply-divide of the printer's amounts (a * b / div, truncated
// or rounded half up), worked out without a 128-bit integer type so that
// the 32-bit build computes the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "sim/core/numbers.h"

namespace {

using ecfsim::MulDiv;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

struct MulDivCase {
  int64_t a, b, div;
  bool round;
  int64_t expected;
};

TEST(MulDiv, ExactAtTheEdges) {
  const MulDivCase cases[] = {
      {0, 0, 1, true, 0},
      {1234, 5678, 10000, false, 700},            // 700.6652 truncated
      {1234, 5678, 10000, true, 701},             // rounded up
      {5, 1, 10, true, 1},                        // exactly half: up
      {4, 1, 10, true, 0},                        // under half: down
      {kMax, 1, 1, false, kMax},                  // the largest quotient
      {kMax, kMax, kMax, false, kMax},            // a product of 126 bits
      {kMax, 2, 2, true, kMax},
      {kMax, 10000, 10000, true, kMax},
      {kMax / 3, 3, 1, false, kMax - 1},
      {3037000499, 3037000499, 1, false, 9223372030926249001},  // the largest square that fits
      {int64_t{1} << 40, int64_t{1} << 40, int64_t{1} << 20, false, int64_t{1} << 60},
      {(int64_t{1} << 62) + 1, 4, 8, false, (int64_t{1} << 61)},  // 2^64 + 4 over 8, truncated
      {(int64_t{1} << 62) + 1, 4, 8, true, (int64_t{1} << 61) + 1},  // remainder 4 of 8: half, up
      {999999999999, 999999, 1000000, true, 999998999999},  // 999998999999.000001 rounds down
      {-1234, 5678, 10000, false, -700},          // truncated toward zero, as the signed division
      {-1234, 5678, 10000, true, -700},           // a negative quotient is not rounded
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDiv(c.a, c.b, c.div, c.round), c.expected)
        << c.a << " * " << c.b << " / " << c.div << (c.round ? " rounded" : " truncated");
}

#ifdef __SIZEOF_INT128__
// Against the compiler's 128-bit arithmetic where it has one.
TEST(MulDiv, SameAsA128BitDivisionOnRandomOperands) {
  std::mt19937_64 gen(20260305);
  for (int i = 0; i < 20000; ++i) {
    const int shift = static_cast<int>(gen() % 63);
    const int64_t a = static_cast<int64_t>(gen() >> 1) >> shift;
    const int64_t b = static_cast<int64_t>(gen() >> 1) >> (62 - shift);
    int64_t div = static_cast<int64_t>(gen() >> 1) >> (gen() % 63);
    if (div == 0) div = 1;
    const __int128 p = static_cast<__int128>(a) * b;
    __int128 q = p / div;
    if (q > kMax) continue;  // the quotient must fit
    const bool round = (gen() & 1) != 0;
    if (round && (p % div) * 2 >= div) ++q;
    if (q > kMax) continue;
    ASSERT_EQ(MulDiv(a, b, div, round), static_cast<int64_t>(q)) << a << " * " << b << " / " << div;
  }
}
#endif

}  // namespace
