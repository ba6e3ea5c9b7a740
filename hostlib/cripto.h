// Hiding and restoring texts of configuration files. A reversible pair,
// stable across versions (stored files depend on it): see cripto.cpp.
#pragma once
#include <string>

namespace hostlib {

std::string Cripto(const std::string& s, int key);
std::string Uncripto(const std::string& s, int key);

// The key the module passes at every call.
constexpr int kCriptoKey = 7;

}  // namespace hostlib
