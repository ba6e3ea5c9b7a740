// The adapters, one per operation of the module's lists: the C++ parameter
// and result types come from the operation's declaration, the JSON kinds and
// the parameter names from its list line. Operations not built yet are
// registered as planned: the hosts list them and refuse a call of one.
#include "calls/adapter.h"
#include "module/operations.h"

#define QOR_OP(ret, name, params, args, kinds) QORHOST_OPERATION_OF(Qor01100::name, name, kinds, #params, false);
#define QOR_PLANNED(ret, name, params, args, kinds) QORHOST_OPERATION_OF(Qor01100::name, name, kinds, #params, true);
#define QOR_DECORATED(ret, name, params)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
