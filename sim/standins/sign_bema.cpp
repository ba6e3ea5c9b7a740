// Stand-in of the signing library "sign_bema.dll": the electronic signature
// record (EAD) of a text file.
//
// Keys are 1024-bit RSA keys written as 256 hexadecimal digits: the public
// key is the modulus (public exponent 65537), the private key is the private
// exponent. The signature is RSA PKCS#1 v1.5 over the MD5 digest of the
// file's bytes; it is appended as the file's last line: "EAD" followed by the
// 256 hexadecimal digits of the signature and CR LF. A file that already ends
// with such a line is signed again without it (the new record replaces it).
//
//   setLibType(kind)                     1
//   genkkey(pub, priv)                   1; -2 when a buffer has room for fewer than 256 digits
//   generateEAD(file, pub, priv, ead, sign)
//                                        1; the signature's digits are written into ead (cut at
//                                        its length) and, when sign is not 0, appended to the file;
//                                        -1 the file cannot be read or written; -2 a bad key
//   validateFile(file, pub, priv)        1 the record is present and valid; 0 absent or not valid;
//                                        -1 the file cannot be read; -2 a bad key
#include <cctype>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/files.h"
#include "sim/core/files.h"
#include "sim/core/text.h"
#include "sim/standins/rsa_md5.h"
#include "vendor/calling_convention.h"

namespace {

using signing::Bytes;

// Hexadecimal digits (an even number of them) as bytes, two digits each.
Bytes DigitPairs(const std::string& hex) {
  Bytes b;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    b.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return b;
}

// A key part written as at most 256 hexadecimal digits, as big-endian bytes
// without leading zeros; nothing when it is not such a text.
std::optional<Bytes> Hex(const char* text) {
  if (!text) return std::nullopt;
  std::string t = ecfsim::Trim(text);
  if (t.empty() || t.size() > 256) return std::nullopt;
  for (char c : t)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  if (t.size() % 2) t.insert(t.begin(), '0');
  Bytes b = DigitPairs(t);
  while (!b.empty() && b.front() == 0) b.erase(b.begin());
  return b;
}

size_t Bits(const Bytes& b) {
  if (b.empty()) return 0;
  size_t bits = (b.size() - 1) * 8;
  for (unsigned v = b.front(); v; v >>= 1) ++bits;
  return bits;
}

// The modulus of a key: 1000 to 1024 bits.
std::optional<Bytes> Modulus(const char* text) {
  auto n = Hex(text);
  if (!n || Bits(*n) < 1000 || Bits(*n) > 1024) return std::nullopt;
  return n;
}

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Splits a file into its body and its EAD record, if its last line is one.
bool SplitRecord(const std::string& all, std::string& body, std::string& hex) {
  std::string t = all;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  size_t start = t.find_last_of('\n');
  start = start == std::string::npos ? 0 : start + 1;
  std::string last = t.substr(start);
  if (last.size() != 259 || last.compare(0, 3, "EAD") != 0) {
    body = all;
    return false;
  }
  for (size_t i = 3; i < last.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(last[i]))) {
      body = all;
      return false;
    }
  body = all.substr(0, start);
  hex = last.substr(3);
  return true;
}

std::string ToHex(const Bytes& b) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : b) {
    s += d[c >> 4];
    s += d[c & 15];
  }
  return s;
}

// Rewrites the file as its body and the EAD record, replacing it whole;
// false when it cannot be written (the file then keeps what it held).
bool WriteSigned(const std::string& path, const std::string& body, const std::string& hex) {
  return ecfsim::WriteWholeFile(path, body + "EAD" + hex + "\r\n");
}

}  // namespace

extern "C" {

QOR_VENDOR_EXPORT int QOR_STDCALL setLibType(int kind) {
  (void)kind;
  return 1;
}

QOR_VENDOR_EXPORT int QOR_STDCALL genkkey(char* pub, char* priv) {
  if (!pub || !priv || std::strlen(pub) < 256 || std::strlen(priv) < 256) return -2;
  Bytes n, d;
  if (!signing::NewKey(n, d)) return -1;
  std::memcpy(pub, ToHex(n).data(), 256);
  std::memcpy(priv, ToHex(d).data(), 256);
  return 1;
}

QOR_VENDOR_EXPORT int QOR_STDCALL generateEAD(char* file, char* pub, char* priv, char* ead, int sign) {
  if (!file) return -1;
  const std::optional<Bytes> n = Modulus(pub), d = Hex(priv);
  if (!n || !d) return -2;
  std::string path = rtl::NativePath(ecfsim::Trim(file));
  auto all = ReadFile(path);
  if (!all) return -1;
  std::string body, old;
  SplitRecord(*all, body, old);
  if (!body.empty() && body.back() != '\n') body += "\r\n";
  const std::optional<Bytes> sig = signing::Sign(*n, *d, body);
  if (!sig) return -2;
  const std::string hex = ToHex(*sig);
  if (ead) {
    size_t room = std::strlen(ead);
    // The signature fills the caller's buffer in place; its terminator, at `room`, stays.
    std::memcpy(ead, hex.data(), room < hex.size() ? room : hex.size());  // NOLINT(bugprone-not-null-terminated-result)
  }
  if (sign && !WriteSigned(path, body, hex)) return -1;
  return 1;
}

QOR_VENDOR_EXPORT int QOR_STDCALL validateFile(char* file, char* pub, char* priv) {
  (void)priv;
  if (!file) return -1;
  const std::optional<Bytes> n = Modulus(pub);
  if (!n) return -2;
  auto all = ReadFile(rtl::NativePath(ecfsim::Trim(file)));
  if (!all) return -1;
  std::string body, hex;
  if (!SplitRecord(*all, body, hex)) return 0;
  return signing::Verify(*n, body, DigitPairs(hex));
}

}  // extern "C"
