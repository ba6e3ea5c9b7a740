// Declares the operations listed in nonfiscal/operations.def.
#pragma once
#define QOR_OPERATIONS "nonfiscal/operations.def"
#include "driver/declare_operations.h"
