/* Control and observation interface of the simulated fiscal printer.
 *
 * These functions are exported by the simulated vendor library beside its
 * printer entry points, under the prefix ecfsim_. Hosts and tests resolve
 * them by name from the same loaded library that the module uses, so both
 * see one printer (sim/ecfsim_table.h does it). The functions and what they
 * do are listed once, in sim/ecfsim_controls.def.
 */
#ifndef ECFSIM_H
#define ECFSIM_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef _WIN32
#define ECFSIM_API __declspec(dllexport)
#else
#define ECFSIM_API __attribute__((visibility("default")))
#endif

#define ECFSIM_CONTROL(name, ret, params) ECFSIM_API ret ecfsim_##name params;
#include "sim/ecfsim_controls.def"
#undef ECFSIM_CONTROL

#ifdef __cplusplus
}
#endif
#endif
