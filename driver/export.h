// Export conventions of the module Pkg_Qor01100.
//
// Every host operation exists twice: as a C++ function in namespace
// Qor01100 (the decorated export, for packages that link the unit) and as
// an extern "C" function of the same plain name (what a host resolves by
// name). Both take the run-time layer's types (rtl::Variant, std::string
// holding code page 1252 text, rtl::ClientDataSet*), which the host and
// the module share through the platform library. Shared state and vendor
// entry-point variables are extern "C" variables under their plain names.
//
// Operations are declared once, in their folder's list `operations.def`
// (see module/all_operations.def). Each line is one of
//   QOR_OP(ret, Name, (params), (args), "qorhost kinds")
//       a built operation: decorated and plain export, qorhost adapter;
//   QOR_DECORATED(ret, Name, (params))
//       a routine exported under the decorated name only;
//   QOR_PLANNED(ret, Name, (params), (args), "qorhost kinds")
//       an operation of the export table not built yet: declared, not
//       exported; qorhost lists it as not available.
// `args` repeats the parameter names (the plain export forwards them);
// the kinds are explained in host/adapter.h. The folder's operations.h
// turns its list into declarations with the QOR_DECLARE_* macros below
// (through driver/declare_operations.h).
#pragma once
#include <cstdint>
#include <string>

#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Exported from the module. On Windows the DLL is linked with the export
// list (Pkg_Qor01100.def) and exports exactly its names: nothing is marked
// here, since a marked symbol would be exported beside the list. Elsewhere
// they are the symbols the module shows (the version script keeps the list).
#ifdef _WIN32
#define QOR_API
#else
#define QOR_API __attribute__((visibility("default")))
#endif

#define QOR_DECLARE_OP(ret, name, params, args, kinds) \
  namespace Qor01100 {                                 \
  QOR_API ret name params;                             \
  }                                                    \
  extern "C" QOR_API ret name params;

#define QOR_DECLARE_DECORATED(ret, name, params) \
  namespace Qor01100 {                           \
  QOR_API ret name params;                       \
  }

// Declared so that callers and qorhost know the signature; not defined yet.
#define QOR_DECLARE_PLANNED(ret, name, params, args, kinds) QOR_DECLARE_DECORATED(ret, name, params)
