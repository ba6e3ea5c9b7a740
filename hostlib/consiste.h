// String and number helpers of the host library.
#pragma once
#include <string>
#include <string_view>

namespace hostlib {

std::string Replicate(std::string_view s, int n);   // n <= 0: ""
std::string TamFixo(std::string_view s, int n);     // left-aligned, blank-padded, cut at n
std::string TamFixoR(std::string_view s, int n);    // right-aligned, blank-padded on the left, cut keeping the left part
std::string Centraliza(std::string_view s, int w);  // centred in w; extra blank on the right; cut at w
std::string AjustaZero(std::string_view s, int n);  // right-aligned in n, zero-filled; longer: its last n characters
std::string Ajusta(std::string_view s, int n);      // right-aligned in n, zero-filled (counters, coupon numbers)
std::string PadL(std::string_view s, int n);        // left-padded with blanks to n; never cut
std::string RTrim(std::string_view s);              // without trailing blanks/control characters
bool EmptyString(std::string_view s);               // empty or only blanks/control characters

// Exact on the decimal value: the double is read as its shortest decimal
// form (15 significant digits) before cutting, so Trunc2(1.15) = 1.15 and
// Trunc2(4.9995) = 4.99. RoundDec rounds half away from zero on that form.
double RoundDec(double x, int decimals);
double Trunc2(double x);
double Trunc3(double x);

template <class T>
T iif(bool c, T a, T b) { return c ? a : b; }
inline std::string iif(bool c, const char* a, const char* b) { return c ? a : b; }

// Waits about n milliseconds through the Env (tests do not wait).
void Delay(int ms);

}  // namespace hostlib
