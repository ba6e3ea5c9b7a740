// Printer programming: tax rates, non-fiscal totalizers, grand total,
// payment methods and management-report names.
#pragma once
#include "programming/rates_totalizers.h"
#include "programming/payment_methods.h"
