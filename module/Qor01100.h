// Pkg_Qor01100, unit Qor01100: the chief header. Declares every exported
// operation (plain and decorated names), the shared state variables and the
// vendor entry-point variables, so that a C++ host can link the module or
// load it and resolve the plain names.
//
// Conventions (see driver/export.h): texts are std::string in code page
// 1252; parameter records, positional lists, result arrays and data packets
// are rtl::Variant; host-owned tables are rtl::ClientDataSet*; date-times
// are rtl::TDateTime (days since 30/12/1899). Every operation is listed once,
// in its folder's operations.def (module/all_operations.def names them all).
#pragma once

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/export.h"
#include "driver/frame.h"
#include "driver/state.h"
#include "vendor/elgin.h"

#include "module/operations.h"
