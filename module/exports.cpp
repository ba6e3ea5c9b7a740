// The plain-name export of every built operation, forwarding to its
// decorated (namespace Qor01100) function.
#include "module/Qor01100.h"

#define QOR_OP(ret, name, params, args, kinds) \
  extern "C" QOR_API ret name params { return Qor01100::name args; }
#define QOR_DECORATED(ret, name, params)
#define QOR_PLANNED(ret, name, params, args, kinds)
#include "module/all_operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
