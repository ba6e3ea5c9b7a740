// Declares the operations listed in programming/operations.def.
#pragma once
#define QOR_OPERATIONS "programming/operations.def"
#include "driver/declare_operations.h"
