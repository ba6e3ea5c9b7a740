// The declarations of every operation of the module (plain and decorated
// names), each folder's from its own list, without the shared state or the
// vendor entry points: for code that needs the operations' signatures only.
#pragma once

#include "coupon/operations.h"       // opening, items, closing, footer, cancellations, table bill
#include "driver/operations.h"       // frame: GetValue, ImpFisDebug, AnalisaRetorno, the data module
#include "fiscal/operations.h"       // readings, queries, clock, Z data, fiscal files
#include "nonfiscal/operations.h"    // cash movements, reports, vouchers, drawer and printer state
#include "programming/operations.h"  // tax rates, totalizers, payment methods, report names
#include "receipts/operations.h"     // consumer debit and personal credit receipts
#include "reports/operations.h"      // product report, sale registry, transfers
#include "session/operations.h"      // start, port, printer check, identification
#include "vendor/operations.h"       // StopImpFiscal
