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
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "sim/core/text.h"

namespace {

struct BnFree {
  void operator()(BIGNUM* b) const { BN_free(b); }
};
struct PkeyFree {
  void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CtxFree {
  void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;
using Pkey = std::unique_ptr<EVP_PKEY, PkeyFree>;
using Ctx = std::unique_ptr<EVP_PKEY_CTX, CtxFree>;

Bn Hex(const char* text) {
  if (!text) return nullptr;
  std::string t = ecfsim::Trim(text);
  if (t.empty() || t.size() > 256) return nullptr;
  for (char c : t)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return nullptr;
  BIGNUM* b = nullptr;
  if (!BN_hex2bn(&b, t.c_str())) return nullptr;
  return Bn(b);
}

// A key from the modulus and, for signing, the private exponent.
Pkey MakeKey(const char* modulus, const char* privateExponent) {
  Bn n = Hex(modulus);
  if (!n || BN_num_bits(n.get()) < 1000 || BN_num_bits(n.get()) > 1024) return nullptr;
  Bn e(BN_new());
  BN_set_word(e.get(), 65537);
  Bn d;
  if (privateExponent) {
    d = Hex(privateExponent);
    if (!d) return nullptr;
  }
  OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
  OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_N, n.get());
  OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_E, e.get());
  if (d) OSSL_PARAM_BLD_push_BN(bld, OSSL_PKEY_PARAM_RSA_D, d.get());
  OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
  OSSL_PARAM_BLD_free(bld);
  Ctx ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
  EVP_PKEY* key = nullptr;
  bool ok = ctx && params && EVP_PKEY_fromdata_init(ctx.get()) > 0 &&
            EVP_PKEY_fromdata(ctx.get(), &key, d ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY, params) > 0;
  OSSL_PARAM_free(params);
  if (!ok) return nullptr;
  return Pkey(key);
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

std::vector<unsigned char> Md5(const std::string& data) {
  std::vector<unsigned char> out(EVP_MAX_MD_SIZE);
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_md5(), nullptr);
  out.resize(len);
  return out;
}

std::string ToHex(const unsigned char* p, size_t n) {
  static const char* d = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += d[p[i] >> 4];
    s += d[p[i] & 15];
  }
  return s;
}

std::string BnHex(const BIGNUM* b, size_t width) {
  std::vector<unsigned char> bytes(width / 2);
  BN_bn2binpad(b, bytes.data(), static_cast<int>(bytes.size()));
  return ToHex(bytes.data(), bytes.size());
}

// A new key pair as the library writes it: the modulus and the private
// exponent, 256 hexadecimal digits each. False when it cannot be made.
bool NewKeyHex(std::string& modulus, std::string& privateExponent) {
  Pkey key(EVP_RSA_gen(1024));
  if (!key) return false;
  BIGNUM* n = nullptr;
  BIGNUM* d = nullptr;
  if (!EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_N, &n) ||
      !EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_D, &d)) {
    BN_free(n);
    BN_free(d);
    return false;
  }
  modulus = BnHex(n, 256);
  privateExponent = BnHex(d, 256);
  BN_free(n);
  BN_clear_free(d);
  return true;
}

// The signature of a body (RSA PKCS#1 v1.5 over its MD5 digest) in
// hexadecimal; nothing when the key cannot sign.
std::optional<std::string> SignatureHex(EVP_PKEY* key, const std::string& body) {
  std::vector<unsigned char> digest = Md5(body);
  Ctx ctx(EVP_PKEY_CTX_new(key, nullptr));
  unsigned char sig[256];
  size_t sigLen = sizeof sig;
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_md5()) <= 0 ||
      EVP_PKEY_sign(ctx.get(), sig, &sigLen, digest.data(), digest.size()) <= 0 || sigLen != 128)
    return std::nullopt;
  return ToHex(sig, sigLen);
}

// 1 when hex is the signature of body, 0 when not, -2 when the key cannot verify.
int VerifySignature(EVP_PKEY* key, const std::string& body, const std::string& hex) {
  std::vector<unsigned char> sig(128);
  for (size_t i = 0; i < 128; ++i) sig[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  std::vector<unsigned char> digest = Md5(body);
  Ctx ctx(EVP_PKEY_CTX_new(key, nullptr));
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_md5()) <= 0)
    return -2;
  return EVP_PKEY_verify(ctx.get(), sig.data(), sig.size(), digest.data(), digest.size()) == 1 ? 1 : 0;
}

// Rewrites the file as its body and the EAD record; false when it cannot be written.
bool WriteSigned(const std::string& path, const std::string& body, const std::string& hex) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  std::string text = body + "EAD" + hex + "\r\n";
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out);
}

}  // namespace

#pragma GCC visibility push(default)
extern "C" {

int setLibType(int kind) {
  (void)kind;
  return 1;
}

int genkkey(char* pub, char* priv) {
  if (!pub || !priv || std::strlen(pub) < 256 || std::strlen(priv) < 256) return -2;
  std::string nh, dh;
  if (!NewKeyHex(nh, dh)) return -1;
  std::memcpy(pub, nh.data(), 256);
  std::memcpy(priv, dh.data(), 256);
  return 1;
}

int generateEAD(char* file, char* pub, char* priv, char* ead, int sign) {
  if (!file) return -1;
  Pkey key = MakeKey(pub, priv);
  if (!key) return -2;
  std::string path = rtl::NativePath(ecfsim::Trim(file));
  auto all = ReadFile(path);
  if (!all) return -1;
  std::string body, old;
  SplitRecord(*all, body, old);
  if (!body.empty() && body.back() != '\n') body += "\r\n";
  const std::optional<std::string> hex = SignatureHex(key.get(), body);
  if (!hex) return -2;
  if (ead) {
    size_t room = std::strlen(ead);
    std::memcpy(ead, hex->data(), room < hex->size() ? room : hex->size());
  }
  if (sign && !WriteSigned(path, body, *hex)) return -1;
  return 1;
}

int validateFile(char* file, char* pub, char* priv) {
  (void)priv;
  if (!file) return -1;
  Pkey key = MakeKey(pub, nullptr);
  if (!key) return -2;
  auto all = ReadFile(rtl::NativePath(ecfsim::Trim(file)));
  if (!all) return -1;
  std::string body, hex;
  if (!SplitRecord(*all, body, hex)) return 0;
  return VerifySignature(key.get(), body, hex);
}

}  // extern "C"
#pragma GCC visibility pop
