// Declares the operations listed in programming/operations.def.
#pragma once
#include "driver/export.h"

#define QOR_OP QOR_DECLARE_OP
#define QOR_DECORATED QOR_DECLARE_DECORATED
#define QOR_PLANNED QOR_DECLARE_PLANNED
#include "programming/operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
