// The further vendor libraries of the fiscal files: the memory reader, the
// official-file generator and the signing library, each loaded when a file
// is first produced and kept loaded.
#include "driver/state.h"
#include "platform/env.h"
#include "vendor/elgin.h"

namespace Qor01100 {
namespace {

struct Entry {
  const char* name;
  void** slot;
};

template <class F>
Entry At(const char* name, F*& variable) {
  return {name, reinterpret_cast<void**>(&variable)};
}

// Loads `file` into `handle` unless it is loaded already, then resolves the
// entries in order into their variables.
template <std::size_t N>
FurtherLibrary Bind(const char* file, void*& handle, const Entry (&entries)[N]) {
  rtl::Env* env = rtl::CurrentEnv();
  if (handle == nullptr) handle = env->LoadLibrary(file);
  if (handle == nullptr) return FurtherLibrary::NoLibrary;
  for (const Entry& e : entries) {
    *e.slot = env->GetProcAddress(handle, e.name);
    if (*e.slot == nullptr) return FurtherLibrary::NoEntryPoint;
  }
  return FurtherLibrary::Bound;
}

}  // namespace

FurtherLibrary BindLeitura() {
  const Entry entries[] = {At("DLLReadDefineBaudRate", DLLReadDefineBaudRate),
                           At("DLLReadLeMemorias", DLLReadLeMemorias)};
  return Bind("Leitura.dll", ImpFisDLLLeitHandle, entries);
}

FurtherLibrary BindAto17() {
  const Entry entries[] = {At("DLLATO17GeraArquivo", DLLATO17GeraArquivo)};
  return Bind("ATO17.dll", ImpFisDLLAtoHandle, entries);
}

FurtherLibrary BindSignature() {
  const Entry entries[] = {At("setLibType", Bematech_setLibType), At("genkkey", Bematech_genkkey),
                           At("generateEAD", Bematech_generateEAD), At("validateFile", Bematech_validateFile)};
  // Loaded on every signature (the loader keeps one copy); ImpFisDLLHandle
  // keeps the printer library's handle.
  void* handle = nullptr;
  return Bind("sign_bema.dll", handle, entries);
}

void UnbindSignature() {
  Bematech_setLibType = nullptr;
  Bematech_genkkey = nullptr;
  Bematech_generateEAD = nullptr;
  Bematech_validateFile = nullptr;
}

}  // namespace Qor01100
