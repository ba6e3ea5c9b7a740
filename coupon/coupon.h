// The fiscal coupon: opening and items, closing and payments, the footer.
#pragma once
#include "coupon/sale.h"
#include "coupon/closing.h"
#include "coupon/footer.h"
