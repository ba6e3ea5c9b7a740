// The printer maker's library: one exported function variable per entry
// point, named like the entry point, null until bound; the binding and
// StopImpFiscal; and the further vendor libraries loaded for fiscal files.
#pragma once
#include "vendor/calling_convention.h"
#include "vendor/operations.h"

namespace Qor01100 {
extern "C" {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) QOR_API extern int(QOR_STDCALL* name) types;
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY

#define FURTHER_ENTRY(name, types) QOR_API extern int(QOR_STDCALL* name) types;
#include "vendor/further_entries.def"
#undef FURTHER_ENTRY
}
// Loads "Elgin.dll" and binds its 95 entry points in bind order. False (and
// every entry point null, no message; the reason in the debug log) when the
// library or any entry point is missing.
QOR_API bool BindElgin();

// The further vendor libraries of the fiscal files, loaded on demand by file
// name and never released. Each resolves its entry points in order, stopping
// at the first one missing.
enum class FurtherLibrary { Bound, NoLibrary, NoEntryPoint };
// "Leitura.dll" (handle in ImpFisDLLLeitHandle): DLLReadDefineBaudRate, DLLReadLeMemorias.
QOR_API FurtherLibrary BindLeitura();
// "ATO17.dll" (handle in ImpFisDLLAtoHandle): DLLATO17GeraArquivo.
QOR_API FurtherLibrary BindAto17();
// "sign_bema.dll": setLibType, genkkey, generateEAD, validateFile into the
// four signing entry points; UnbindSignature sets them back to null.
QOR_API FurtherLibrary BindSignature();
QOR_API void UnbindSignature();
}  // namespace Qor01100

