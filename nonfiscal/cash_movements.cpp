// Money in and out of the drawer without a sale: cash supply, cash
// withdrawal, and non-fiscal receipts against a totalizer the caller names.
// Each is one registering printer command; the printer prints the voucher.
//
// Supply and withdrawal answer false only when the printer did not register
// the movement: a status error reported after the printer executed it (paper
// running out once the voucher is printed) is shown to the operator but the
// movement stands, so the host must not repeat it. A command refused with
// code 1 and the "not executed" status is a refusal, not a movement.
#include "driver/amounts.h"
#include "driver/command.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
#include "driver/vendor_call.h"
#include "hostlib/dialogs.h"
#include "nonfiscal/operations.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// Sends a cash movement once; true when the printer holds it. Each
// movement is a document of its own: when the answer is lost, the document
// number tells whether the printer registered it.
bool Register(Command c) {
  Step step(std::move(c.Probe(record::DocumentNumber)));
  step.Run();
  return step.Registered();
}

void CommandError(const std::string& stEsquemaCor) {
  Notice(Msg("ErroComando"), hostlib::tmInformacao, stEsquemaCor);
}

}  // namespace

bool Suprimento(const std::string& stIgnorado, const std::string& stEsquemaCor, double doValor, bool boEntraCaixa) {
  DataModule();
  const std::string valor = FormatAmount("0.00", doValor);
  if (!(doValor > 0)) return true;  // nothing to put in the drawer
  const std::string forma = rtl::Copy("Dinheiro", 1, 16);
  if (Register(Call("Elgin_Suprimento : " + valor + " - " + forma, Elgin_Suprimento, valor, forma).Show(true)))
    return true;
  CommandError(stEsquemaCor);
  return false;
}

bool Sangria(const std::string& stIgnorado, const std::string& stEsquemaCor, double doValor,
             rtl::ClientDataSet* cdsSangria) {
  // An amount of zero still prints a withdrawal voucher, of one cent.
  const std::string valor = FormatAmount("0.00", doValor == 0 ? 0.01 : doValor);
  // Nothing raises out of the command path once the call returned: the
  // printer's record decides an undecided answer.
  if (Register(Call("Elgin_Sangria : " + valor, Elgin_Sangria, valor).Show(true))) return true;
  CommandError(stEsquemaCor);
  return false;
}

bool Cupom_NFiscNVinc(const std::string& stIgnorado, const std::string& stParam1, const std::string& stParam2,
                      const std::string& stParam3, const std::string& stParam4) {
  return Step(Call("Elgin_RecebimentoNaoFiscal : " + stParam1 + " - " + stParam2 + " - " + stParam3,
                   Elgin_RecebimentoNaoFiscal, stParam1, stParam2, stParam3)
                  .Show(boNUtilTaa)
                  .Probe(record::DocumentNumber))
      .Run();
}

bool Totaliza_NFiscal(const std::string& stIgnorado1, const std::string& stIgnorado2) { return true; }

bool Leitura_Totais_Imp(bool boParam1, bool boParam2) { return true; }

}  // namespace Qor01100
