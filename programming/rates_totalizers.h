#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// Reads the printer's tax rates into cdsAliqImpFis (one row per rate, "T"
// goods tax or "S" service tax, then the fixed rows NN, II, FF) and copies
// the table into the host's dataset.
QOR_OPERATION(void, CarregaAliquota, (const std::string& stIgnorado, rtl::ClientDataSet* cdsAliqImpFis_Ret))
// Reads the printer's rate list into stRetorno (trimmed) and its service-tax
// rates into stAliquotaIss; the verdict of the second read.
QOR_OPERATION(bool, Retorno_Aliquotas_Imp, (const std::string& stIgnorado))
// Finds the non-fiscal totalizers by name, names the missing ones, and
// returns their two-digit indices.
QOR_OPERATION(void, CarregaTotalizador,
              (std::string& stTotCV, std::string& stTotCred, std::string& stTotCompCred, std::string& stTotCancCred,
               std::string& stTotRelatorio, const std::string& stEsquemaCor, int32_t idTipoImpFis,
               rtl::ClientDataSet* cdsRecebimento))
// Nothing to do on this printer (its totalizers are named by
// CarregaTotalizador); answers true.
QOR_OPERATION(bool, Nomeia_TotParcial,
              (const std::string& stParam1, const std::string& stParam2, const std::string& stParam3,
               const std::string& stParam4, bool boParam1, bool boParam2))
// True when the personal-credit purchase totalizer is known.
QOR_OPERATION(bool, VerificaTotalizador, ())
// The printer's grand total as a decimal text in stValTotGer; always true.
// A printer answer that is not an amount raises the conversion error.
QOR_OPERATION(bool, BuscaTotGer, (const std::string& stIgnorado, std::string& stValTotGer))
// The grand-total check against the fiscal application's configuration
// file "Kalvora.cds", and its update with the printer's grand total.
QOR_OPERATION(bool, Atu_TotGeral, (const rtl::Variant& Params))
