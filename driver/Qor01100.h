// Pkg_Qor01100, unit Qor01100: the chief header. Declares every exported
// operation (plain and decorated names), the shared state variables and the
// vendor entry-point variables, so that a C++ host can link the module or
// load it and resolve the plain names.
//
// Conventions (see driver/export.h): texts are std::string in code page
// 1252; parameter records, positional lists, result arrays and data packets
// are rtl::Variant; host-owned tables are rtl::ClientDataSet*; date-times
// are rtl::TDateTime (days since 30/12/1899).
#pragma once

#include "driver/export.h"
#include "driver/state.h"
#include "driver/frame.h"
#include "vendor/elgin.h"
#include "driver/datamodule/dtmElgin01100.h"

// One header per subsystem, each declaring its operations.
#include "session/session.h"            // start, port, printer check, identification
#include "programming/programming.h"   // tax rates, totalizers, payment methods, report names
#include "coupon/coupon.h"             // opening, items, closing, footer, cancellations, table bill
#include "nonfiscal/nonfiscal.h"       // cash movements, reports, vouchers, drawer, customer receipts
#include "fiscal/fiscal.h"             // readings, queries, clock, Z data, fiscal files
