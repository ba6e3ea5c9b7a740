// Declares the operations listed in reports/operations.def.
#pragma once
#define QOR_OPERATIONS "reports/operations.def"
#include "driver/declare_operations.h"
