/* The C entry of the fiscal-printer driver: the module Pkg_Qor01100 called
 * in process by any language with a C foreign-function interface (Python's
 * ctypes, C#'s P/Invoke, Delphi, Java's FFM, ...).
 *
 * Conventions (all functions):
 *   - Texts in and out are zero-terminated UTF-8 JSON.
 *   - Every function that returns a text returns one the library allocated:
 *     give it back with qor_free, once. NULL is returned only when not even
 *     the answer could be allocated.
 *   - A request and its answer are those of the resident service
 *     (`qorhost serve`; host/README.md): {"id"?, "op", "args", "answers"?},
 *     {"steps": [...]}, {"sim": {...}} or {"status": true}; the answer holds
 *     "result", the by-reference "args", "state", "dialogs" and "seq", or
 *     {"invalid": reason} when the request was refused (nothing changed).
 *   - No exception and no crash of a bad request crosses this boundary:
 *     whatever goes wrong comes back as {"invalid": reason}.
 *   - Calls from several threads are carried out one at a time, in the
 *     order they arrive; operator questions take the request's "answers",
 *     then the configured default (no unless set). No dialog is ever shown.
 *   - The module, the printer library and the request record stay loaded
 *     until the process ends.
 */
#ifndef QORCALL_H
#define QORCALL_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define QORCALL_API __declspec(dllexport)
#else
#define QORCALL_API __attribute__((visibility("default")))
#endif

/* Loads the module and the printer with the given configuration (JSON
 * object; every member optional):
 *   "host_dir"        the host program's folder: debug log, "ELGIN.INI",
 *                     "Dados" (default: the current folder)
 *   "state"           the simulated printer's state folder (default: its own)
 *   "printer"         "sim" (default) or the path of the printer library
 *   "journal"         the simulated printer's call journal file (default: none)
 *   "default_answer"  true/false: the answer of an unanswered question (false)
 *   "max_request_bytes"  longest request read (1048576)
 * Answers {"ok": true, "host_dir": ..., "record": ...} or {"invalid": reason}.
 * Once loaded, a second qor_init is refused; qor_call loads with the
 * defaults when qor_init was not called. */
QORCALL_API char* qor_init(const char* config_json);

/* Carries out one request and answers it (see the conventions above). */
QORCALL_API char* qor_call(const char* request_json);

/* Gives back a text returned by qor_init or qor_call (NULL is ignored). */
QORCALL_API void qor_free(char* answer);

#ifdef __cplusplus
}
#endif

#endif /* QORCALL_H */
