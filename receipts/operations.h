// Declares the operations listed in receipts/operations.def.
#pragma once
#define QOR_OPERATIONS "receipts/operations.def"
#include "driver/declare_operations.h"
