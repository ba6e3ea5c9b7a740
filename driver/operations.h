// Declares the operations listed in driver/operations.def.
#pragma once
class TdtmElgin01100;
#define QOR_OPERATIONS "driver/operations.def"
#include "driver/declare_operations.h"
