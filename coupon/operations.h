// Declares the operations listed in coupon/operations.def.
#pragma once
#include "driver/export.h"

#define QOR_OP QOR_DECLARE_OP
#define QOR_DECORATED QOR_DECLARE_DECORATED
#define QOR_PLANNED QOR_DECLARE_PLANNED
#include "coupon/operations.def"
#undef QOR_OP
#undef QOR_DECORATED
#undef QOR_PLANNED
