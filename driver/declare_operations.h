// Turns the operation list named by QOR_OPERATIONS into declarations (see
// driver/export.h). A folder's operations.h defines QOR_OPERATIONS as the
// path of its list and includes this file; no include guard, as each list
// comes through here once.
#include "driver/export.h"

#ifndef QOR_OPERATIONS
#error "define QOR_OPERATIONS as the operation list to declare"
#endif
#define QOR_OP QOR_DECLARE_OP
#define QOR_DECORATED QOR_DECLARE_DECORATED
#define QOR_PLANNED QOR_DECLARE_PLANNED
#include QOR_OPERATIONS
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
#undef QOR_OPERATIONS
