// Declares the operations listed in session/operations.def.
#pragma once
#define QOR_OPERATIONS "session/operations.def"
#include "driver/declare_operations.h"
