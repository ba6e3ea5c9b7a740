// Export conventions of the module Pkg_Qor01100.
//
// Every host operation exists twice: as a C++ function in namespace
// Qor01100 (the decorated export, for packages that link the unit) and as
// an extern "C" function of the same plain name (what a host resolves by
// name). Both take the run-time layer's types (rtl::Variant, std::string
// holding code page 1252 text, rtl::ClientDataSet*), which the host and
// the module share through the platform library. Shared state and vendor
// entry-point variables are extern "C" variables under their plain names.
#pragma once

#define QOR_API __attribute__((visibility("default")))

// Declares an operation under both names.
#define QOR_OPERATION(ret, name, params) \
  namespace Qor01100 {                   \
  QOR_API ret name params;               \
  }                                      \
  extern "C" QOR_API ret name params;

// Declares a routine exported under the decorated name only.
#define QOR_ROUTINE(ret, name, params) \
  namespace Qor01100 {                 \
  QOR_API ret name params;             \
  }

// Defines the plain-name export forwarding to the decorated one:
//   QOR_PLAIN(bool, AbrePorta, (const rtl::Variant& Params), (Params))
#define QOR_PLAIN(ret, name, params, args) \
  extern "C" QOR_API ret name params { return Qor01100::name args; }
