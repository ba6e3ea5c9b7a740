// Hiding and restoring texts of configuration files.
//
// Stored configuration files (the fiscal application's file with the
// printer's grand total) hold texts written by Cripto, so this algorithm is a
// file format: it must never change. The tests pin it with fixed vectors.
//
// Cripto(S, K), over the bytes p[0..n-1] of S (code page 1252, any byte 0-255):
//   seed   = (K * 37 + 101) mod 256        (K taken as an unsigned 32-bit number)
//   prev   = 0
//   for i = 0 .. n-1:
//     m    = (seed + 13 * i + prev) mod 256
//     c[i] = p[i] XOR m
//     prev = c[i]
//   each c[i] is written as two letters: "ABCDEFGHIJKLMNOP"[c >> 4] followed by
//   "ABCDEFGHIJKLMNOP"[c & 15] (hexadecimal with the letters A to P).
//
// The output is twice as long as the input and made only of the capital
// letters A to P: printable ASCII that needs no escaping in an XML attribute
// or anywhere else. Each byte depends on the key, its position and the
// previous hidden byte, so repeated characters do not show as a pattern. It
// hides a value from casual reading and editing; it is not encryption.
//
// Uncripto reverses it: m is computed from the previous hidden byte, which
// the text itself carries. A text that Cripto cannot have written (odd
// length, or a character outside A to P) gives the empty string, which the
// callers treat as a missing or damaged value; the empty string gives the
// empty string.
#include "hostlib/cripto.h"

#include <cstdint>

namespace hostlib {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOP";

uint8_t Seed(int key) { return static_cast<uint8_t>(static_cast<uint32_t>(key) * 37u + 101u); }

uint8_t Mask(uint8_t seed, size_t i, uint8_t prev) {
  return static_cast<uint8_t>(seed + 13u * static_cast<uint32_t>(i & 0xFF) + prev);
}

int Nibble(char c) { return (c >= 'A' && c <= 'P') ? c - 'A' : -1; }

}  // namespace

std::string Cripto(const std::string& s, int key) {
  const uint8_t seed = Seed(key);
  std::string out;
  out.reserve(s.size() * 2);
  uint8_t prev = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(static_cast<uint8_t>(s[i]) ^ Mask(seed, i, prev));
    out.push_back(kAlphabet[c >> 4]);
    out.push_back(kAlphabet[c & 15]);
    prev = c;
  }
  return out;
}

std::string Uncripto(const std::string& s, int key) {
  if (s.size() % 2 != 0) return "";
  const uint8_t seed = Seed(key);
  std::string out;
  out.reserve(s.size() / 2);
  uint8_t prev = 0;
  for (size_t i = 0; i < s.size() / 2; ++i) {
    int hi = Nibble(s[2 * i]);
    int lo = Nibble(s[2 * i + 1]);
    if (hi < 0 || lo < 0) return "";
    uint8_t c = static_cast<uint8_t>(hi << 4 | lo);
    out.push_back(static_cast<char>(c ^ Mask(seed, i, prev)));
    prev = c;
  }
  return out;
}

}  // namespace hostlib
