// How the vendor libraries' entry points are called and exported, shared by
// the module (which binds them by name) and the simulated printer and its
// stand-ins (which define them).
//
// 32-bit Windows: the printer maker's libraries use the standard call
// (__stdcall: the callee pops its arguments) and export plain names
// ("Elgin_VendeItem", not "Elgin_VendeItem@36"; the stand-ins are linked
// with --kill-at). 64-bit Windows and Linux have one convention, so the
// macro is empty there.
#pragma once

#if defined(_WIN32) && defined(__i386__)
#define QOR_STDCALL __stdcall
#else
#define QOR_STDCALL
#endif

// An entry point a vendor library exports (on Windows only these are in the
// library's export table).
#ifdef _WIN32
#define QOR_VENDOR_EXPORT __declspec(dllexport)
#else
#define QOR_VENDOR_EXPORT __attribute__((visibility("default")))
#endif
