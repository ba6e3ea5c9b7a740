/* Control and observation interface of the simulated fiscal printer.
 *
 * These functions are exported by the simulated vendor library beside its
 * printer entry points, under the prefix ecfsim_. Hosts and tests resolve
 * them by name from the same loaded library that the module uses, so both
 * see one printer. Every function returns 0 on success and a negative
 * value on bad input (unknown entry-point name, bad JSON, ...).
 *
 * Texts are UTF-8 here unless said otherwise.
 */
#ifndef ECFSIM_H
#define ECFSIM_H

#ifdef __cplusplus
extern "C" {
#endif

/* The state folder (non-volatile memory database, paper tape, vendor files).
 * Default: $ECFSIM_STATE, else "ecfsim-state" under the host program's folder.
 * Changing it closes the current printer and opens the one kept there. */
int ecfsim_set_state_dir(const char* dir);
/* Writes the state folder's path into buf (size len). */
int ecfsim_state_dir(char* buf, int len);

/* Back to a fresh printer: empty memories, factory programming, port closed,
 * power on, paper ok, no forced answers. Keeps the state folder and journal. */
int ecfsim_reset(void);

/* Physical state. paper: 0 ok, 1 low, 2 out. */
int ecfsim_set_power(int on);
int ecfsim_set_paper(int state);
int ecfsim_set_cover(int open);
/* The cash drawer (the printer opens it; a person closes it). */
int ecfsim_set_drawer(int open);

/* The next `times` status queries (Elgin_VerificaEstadoImpressora) answer these bytes. */
int ecfsim_force_status(int ack, int st1, int st2, int times);
/* The next `times` calls of entry point fn return code without acting. */
int ecfsim_fail(const char* fn, int code, int times);
/* The next `times` calls of fn return ret and write the outputs given as a
 * JSON array (texts or integers, in parameter order of the outputs). A text
 * is written from the start of the caller's buffer, cut at the buffer's
 * length (the caller's blanks); the rest keeps the caller's blanks. */
int ecfsim_answer(const char* fn, int ret, const char* outs_json, int times);
/* The next `times` calls of fn throw a C++ exception (std::runtime_error). */
int ecfsim_raise(const char* fn, int times);
/* Printer clock minus computer clock, in seconds. */
int ecfsim_set_clock_offset(long long seconds);
/* Freezes the computer clock as the simulated printer sees it
 * ("YYYY-MM-DDThh:mm:ss"); "" or null follows the real clock again. */
int ecfsim_set_clock(const char* iso);

/* Call journal: one JSON object per line per entry-point call. Default:
 * $ECFSIM_JOURNAL. "" or null stops journalling. */
int ecfsim_set_journal(const char* path);

/* Path of the paper tape file (UTF-8 text, 48 columns). */
int ecfsim_tape_path(char* buf, int len);

/* Programs the printer as a technician would (UTF-8 JSON object; keys:
 * serial, till, brand, model, type, firmware, owner {cnpj, ie, im, name,
 * fantasy, address}, rates [hundredths or {rate, iss}], payment_methods
 * [{slot, name, linkable}], nonfiscal_totalizers [{index, name}],
 * report_names [{slot, name}], truncation). Refused while a document is
 * open; rates only before the day's first document. */
int ecfsim_program(const char* json);

/* Writes the memory image (fiscal and detail memory, JSON) to path, as the
 * reader library reads it; serial, when not empty, must be the printer's. */
int ecfsim_memory_image(const char* path, const char* serial);

/* A JSON snapshot of the printer (counters, totals, coupon state, programming),
 * for tests and for people. Returns the length needed; writes when it fits. */
int ecfsim_state_json(char* buf, int len);

#ifdef __cplusplus
}
#endif
#endif
