// The signing arithmetic with libgcrypt (the Windows build). A private key
// of only the modulus and the exponents is enough for libgcrypt to sign (it
// computes without the prime factors then), which is how the library's keys
// are given.
#include <gcrypt.h>

#include "sim/standins/rsa_md5.h"

namespace signing {

namespace {

struct Mpi {
  gcry_mpi_t m = nullptr;
  Mpi() = default;
  Mpi(const Mpi&) = delete;
  Mpi& operator=(const Mpi&) = delete;
  ~Mpi() { gcry_mpi_release(m); }
};
struct Sexp {
  gcry_sexp_t s = nullptr;
  Sexp() = default;
  Sexp(const Sexp&) = delete;
  Sexp& operator=(const Sexp&) = delete;
  ~Sexp() { gcry_sexp_release(s); }
};

bool Ready() {
  static const bool ready = [] {
    if (!gcry_check_version(GCRYPT_VERSION)) return false;
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  return ready;
}

bool FromBytes(const Bytes& b, Mpi& out) {
  return gcry_mpi_scan(&out.m, GCRYMPI_FMT_USG, b.data(), b.size(), nullptr) == 0;
}

// The number in `token` of an S-expression, as width big-endian bytes.
bool TokenBytes(gcry_sexp_t from, const char* token, size_t width, Bytes& out) {
  Sexp t;
  t.s = gcry_sexp_find_token(from, token, 0);
  if (!t.s) return false;
  Mpi m;
  m.m = gcry_sexp_nth_mpi(t.s, 1, GCRYMPI_FMT_USG);
  if (!m.m) return false;
  size_t n = 0;
  gcry_mpi_print(GCRYMPI_FMT_USG, nullptr, 0, &n, m.m);
  if (n > width) return false;
  out.assign(width, 0);
  return gcry_mpi_print(GCRYMPI_FMT_USG, out.data() + (width - n), n, &n, m.m) == 0;
}

bool Digest(const std::string& text, Sexp& data) {
  unsigned char md5[16];
  gcry_md_hash_buffer(GCRY_MD_MD5, md5, text.data(), text.size());
  return gcry_sexp_build(&data.s, nullptr, "(data (flags pkcs1) (hash md5 %b))", 16, md5) == 0;
}

}  // namespace

bool NewKey(Bytes& modulus, Bytes& privateExponent) {
  if (!Ready()) return false;
  Sexp params, key;
  if (gcry_sexp_build(&params.s, nullptr, "(genkey (rsa (nbits 4:1024)))") != 0 ||
      gcry_pk_genkey(&key.s, params.s) != 0)
    return false;
  Sexp priv;
  priv.s = gcry_sexp_find_token(key.s, "private-key", 0);
  return priv.s && TokenBytes(priv.s, "n", 128, modulus) && TokenBytes(priv.s, "d", 128, privateExponent);
}

std::optional<Bytes> Sign(const Bytes& modulus, const Bytes& privateExponent, const std::string& text) {
  if (!Ready()) return std::nullopt;
  Mpi n, e, d;
  Sexp key, data, sig;
  if (!FromBytes(modulus, n) || !FromBytes(privateExponent, d)) return std::nullopt;
  e.m = gcry_mpi_set_ui(nullptr, 65537);
  if (gcry_sexp_build(&key.s, nullptr, "(private-key (rsa (n %m) (e %m) (d %m)))", n.m, e.m, d.m) != 0 ||
      !Digest(text, data) || gcry_pk_sign(&sig.s, data.s, key.s) != 0)
    return std::nullopt;
  Bytes out;
  if (!TokenBytes(sig.s, "s", 128, out)) return std::nullopt;
  return out;
}

int Verify(const Bytes& modulus, const std::string& text, const Bytes& signature) {
  if (!Ready()) return -2;
  Mpi n, e, s;
  Sexp key, data, sig;
  if (!FromBytes(modulus, n) || !FromBytes(signature, s)) return -2;
  e.m = gcry_mpi_set_ui(nullptr, 65537);
  if (gcry_sexp_build(&key.s, nullptr, "(public-key (rsa (n %m) (e %m)))", n.m, e.m) != 0 ||
      gcry_sexp_build(&sig.s, nullptr, "(sig-val (rsa (s %m)))", s.m) != 0 || !Digest(text, data))
    return -2;
  return gcry_pk_verify(sig.s, data.s, key.s) == 0 ? 1 : 0;
}

}  // namespace signing
