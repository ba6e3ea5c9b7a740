// Declares the operations listed in coupon/operations.def.
#pragma once
#define QOR_OPERATIONS "coupon/operations.def"
#include "driver/declare_operations.h"
