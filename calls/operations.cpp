// qorhost's adapters, one per operation of the module's lists: the C++
// parameter and result types come from the operation's declaration, the
// JSON kinds from its list line. Operations not built yet are registered as
// planned: qorhost lists them and refuses a step that calls one.
#include "host/adapter.h"
#include "module/Qor01100.h"

#define QOR_OP(ret, name, params, args, kinds) QORHOST_ADAPTER_OF(Qor01100::name, name, kinds);
#define QOR_PLANNED(ret, name, params, args, kinds) QORHOST_PLANNED_OF(Qor01100::name, name, kinds);
#define QOR_DECORATED(ret, name, params)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
