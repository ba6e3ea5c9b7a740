// Declares the operations listed in fiscal/operations.def.
#pragma once
#define QOR_OPERATIONS "fiscal/operations.def"
#include "driver/declare_operations.h"
