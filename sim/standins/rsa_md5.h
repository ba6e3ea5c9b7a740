// The signing stand-in's arithmetic: RSA PKCS#1 v1.5 signatures over MD5
// digests, with keys given as the modulus (public exponent 65537) and the
// private exponent, big-endian bytes without leading zeros. Two builds of the
// same contract: OpenSSL on Linux (rsa_md5_openssl.cpp) and libgcrypt on
// Windows (rsa_md5_gcrypt.cpp); a signature is a function of the key and the
// text alone, so both give the same bytes (sim/tests/files_test.cpp pins one).
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace signing {

using Bytes = std::vector<unsigned char>;

// A new 1024-bit key pair: the modulus and the private exponent, each padded
// to 128 bytes. False when none can be made.
bool NewKey(Bytes& modulus, Bytes& privateExponent);
// The 128-byte signature of text; nothing when the key cannot sign.
std::optional<Bytes> Sign(const Bytes& modulus, const Bytes& privateExponent, const std::string& text);
// 1 when signature is the signature of text, 0 when not, -2 when the key
// cannot verify.
int Verify(const Bytes& modulus, const std::string& text, const Bytes& signature);

}  // namespace signing
