// Every symbol Pkg_Qor01100 exports, referred to once, and nothing else: the
// build reads the symbols this object leaves undefined as the module's
// export list (cmake/ExportList.cmake), so that the list follows the
// operation lists, the shared state and the entry lists, with the names the
// compiler gives them. This object is not part of the module.
#include "module/Qor01100.h"

#define QOR_EXPORT_REF(symbol) reinterpret_cast<const void*>(&symbol),

extern "C" const void* const qor_export_refs[] = {
// Operations: the plain name and the decorated one; decorated-only routines.
#define QOR_OP(ret, name, params, args, kinds) QOR_EXPORT_REF(::name) QOR_EXPORT_REF(Qor01100::name)
#define QOR_DECORATED(ret, name, params) QOR_EXPORT_REF(Qor01100::name)
#define QOR_PLANNED(ret, name, params, args, kinds)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
// The shared state.
#define QOR_STATE(type, name, init, kind) QOR_EXPORT_REF(Qor01100::name)
#include "driver/state.def"
#undef QOR_STATE
// The entry-point variables of the vendor libraries.
#define ELGIN_ENTRY(name, ...) QOR_EXPORT_REF(Qor01100::name)
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
#define FURTHER_ENTRY(name, types) QOR_EXPORT_REF(Qor01100::name)
#include "vendor/further_entries.def"
#undef FURTHER_ENTRY
};
