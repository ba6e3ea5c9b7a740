#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"
#include "platform/datetime.h"
#include "platform/stringlist.h"
#include "platform/variant.h"

// Operations declared here with QOR_OPERATION (plain and decorated export)
// or QOR_ROUTINE (decorated only).

// The coupon footer: the free text printed below the payments when the
// coupon is ended. Lines end with a single line feed; inTamanhoRodape is the
// line budget of the optional lines (8 in every call of the module).
// idTpFechamento "1" is the agreement layout, "2" the normal one; any other
// value gives only the first line, the tax line, the state programme text and
// the table-bill reference.
QOR_OPERATION(std::string, Formata_rodape,
              (int32_t inTamanhoRodape, const std::string& stTipoVendaCons, const std::string& dsMensCpfCup,
               const std::string& stLinhaImposto, const std::string& stTextoEstado, const std::string& stUfFilial,
               const std::string& stCdCliente, const std::string& stNmCliente, const std::string& stCdConsumidor,
               const std::string& stNmConsumidor, const std::string& stCdOperador, const std::string& stNmOperador,
               const std::string& stLinhaMesa, const std::string& stLinhaSenha, const std::string& stParam15,
               const std::string& stParam16, const std::string& stParam17, const std::string& dsObsCupom,
               const std::string& stNrEcf, const std::string& stCerVendaRest, const std::string& stCooVendaRest,
               const std::string& stModoSaldo, const std::string& idTpFechamento, double doTotConsumidor,
               double doPrecoSubsidio, double doSaldoAnterior, rtl::ClientDataSet* cdsSaldo,
               rtl::ClientDataSet* cdsFamiliaSaldo, rtl::ClientDataSet* cdsEmprestimo, bool boUtilTefRed,
               rtl::StringList* stlImpTefRed, const std::string& stDotz, const std::string& stDotzExtra,
               bool boImprimeConsumidor))

// The text without ".", "/" and "-" (a punctuated CNPJ becomes its 14 digits).
QOR_ROUTINE(std::string, FormataCNPJ, (const std::string& Str))

// Barcodes are not printed by this module: prints nothing and returns true.
QOR_OPERATION(bool, CodigoBarra,
              (const std::string& a1, const std::string& a2, const std::string& a3, int32_t a4, const std::string& a5,
               const std::string& a6))

namespace Qor01100 {
// Footer inputs that the coupon closing prepares from its arguments.
// The tax line: "Val Aprox Tributos R$ " + the approximate tax amount and
// its share of the net total.
std::string LinhaImposto(double doVrImposto, double doTotalLiquido);
// The table or tab reference line ("" when there is no table).
std::string LinhaMesa(const std::string& stMesa);
}  // namespace Qor01100
