// Non-fiscal documents, cash movements, drawer and printer state, customer receipts.
#pragma once
#include "nonfiscal/drawer.h"
