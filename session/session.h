#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations of this subsystem are declared here with QOR_OPERATION / QOR_ROUTINE.

// The host's first call: reads the start parameters, binds "Elgin.dll" and
// opens the port (AbrePorta). Sets boNUtilTaa, and boImpFiscalOK on success.
QOR_OPERATION(bool, StartImpFiscal, (rtl::Variant & Params))
// Opens the port and checks the printer: clock, power, and a coupon left
// open by an interrupted sale (cancelled, grand-total record updated).
QOR_OPERATION(bool, AbrePorta, (const rtl::Variant& Params))
// Closes the port: true when the printer's library closed it.
QOR_OPERATION(bool, FechaPorta, ())
// A status-only check of the printer.
QOR_OPERATION(bool, ImpressoraOk, (const std::string& stEsquemaCor, bool boMsg, bool boFechaCupom, bool boAbreCupom))
// The printer's identification at cash opening: replaces Params with the
// record DATAATUIMP, ECFIMP, REDIMP, SERIEIMP, DATAIMP.
QOR_OPERATION(bool, Carrega_Dados_Impressora, (rtl::Variant & Params))

// Values of the printer library's "ELGIN.INI", or "ARQ_N_ENC" when the file
// does not exist: its paths (from the host folder, with a trailing "\") and
// its port (from the system folder, as written).
QOR_ROUTINE(std::string, retornaPathElgin, ())
QOR_ROUTINE(std::string, retornaPortaElgin, ())
QOR_ROUTINE(std::string, retornaPathRFDElgin, ())
