// Declares the operations listed in vendor/operations.def.
#pragma once
#define QOR_OPERATIONS "vendor/operations.def"
#include "driver/declare_operations.h"
