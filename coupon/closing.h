#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// Ends the coupon opened by AbreCupom: starts the closing with the subtotal
// discount or service surcharge, registers one payment per movement row,
// ends the coupon with the composed footer and, when asked, registers the
// change as a non-fiscal receipt.
//
// arParams is the host's positional list (at least 61 elements; see
// closing.cpp for the meaning of each position). stlCupomTef holds the
// reduced voucher text printed inside the footer when asked (may be null).
// oleRetorno receives: [0] 1 when the operator asked for a retry, else 0;
// [1] element 42 unchanged; [2] ""; [3] stMensagemTaa. It is not written
// when the call stops at a refused printer step.
QOR_OPERATION(bool, FechaCupom, (const rtl::Variant& arParams, rtl::StringList* stlCupomTef, rtl::Variant& oleRetorno))
