// The signing arithmetic with OpenSSL (the Linux build).
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/rsa.h>

#include <memory>

#include "sim/standins/rsa_md5.h"

namespace signing {

namespace {

struct BnFree {
  void operator()(BIGNUM* b) const { BN_clear_free(b); }
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

Bn FromBytes(const Bytes& b) { return Bn(BN_bin2bn(b.data(), static_cast<int>(b.size()), nullptr)); }

Bytes ToBytes(const BIGNUM* b, size_t width) {
  Bytes out(width);
  BN_bn2binpad(b, out.data(), static_cast<int>(width));
  return out;
}

// A key from the modulus and, for signing, the private exponent.
Pkey MakeKey(const Bytes& modulus, const Bytes* privateExponent) {
  Bn n = FromBytes(modulus);
  Bn e(BN_new());
  if (!n || !e) return nullptr;
  BN_set_word(e.get(), 65537);
  Bn d;
  if (privateExponent && !(d = FromBytes(*privateExponent))) return nullptr;
  OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
  if (!bld) return nullptr;
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

Bytes Md5(const std::string& data) {
  Bytes out(EVP_MAX_MD_SIZE);
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), out.data(), &len, EVP_md5(), nullptr);
  out.resize(len);
  return out;
}

}  // namespace

bool NewKey(Bytes& modulus, Bytes& privateExponent) {
  Pkey key(EVP_RSA_gen(1024));
  if (!key) return false;
  BIGNUM* n = nullptr;
  BIGNUM* d = nullptr;
  bool ok = EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_N, &n) &&
            EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_RSA_D, &d);
  if (ok) {
    modulus = ToBytes(n, 128);
    privateExponent = ToBytes(d, 128);
  }
  BN_free(n);
  BN_clear_free(d);
  return ok;
}

std::optional<Bytes> Sign(const Bytes& modulus, const Bytes& privateExponent, const std::string& text) {
  Pkey key = MakeKey(modulus, &privateExponent);
  if (!key) return std::nullopt;
  Bytes digest = Md5(text);
  Ctx ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  Bytes sig(256);
  size_t sigLen = sig.size();
  if (!ctx || EVP_PKEY_sign_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_md5()) <= 0 ||
      EVP_PKEY_sign(ctx.get(), sig.data(), &sigLen, digest.data(), digest.size()) <= 0 || sigLen != 128)
    return std::nullopt;
  sig.resize(sigLen);
  return sig;
}

int Verify(const Bytes& modulus, const std::string& text, const Bytes& signature) {
  Pkey key = MakeKey(modulus, nullptr);
  if (!key) return -2;
  Bytes digest = Md5(text);
  Ctx ctx(EVP_PKEY_CTX_new(key.get(), nullptr));
  if (!ctx || EVP_PKEY_verify_init(ctx.get()) <= 0 ||
      EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) <= 0 ||
      EVP_PKEY_CTX_set_signature_md(ctx.get(), EVP_md5()) <= 0)
    return -2;
  return EVP_PKEY_verify(ctx.get(), signature.data(), signature.size(), digest.data(), digest.size()) == 1 ? 1 : 0;
}

}  // namespace signing
