// Payment methods: programming the host's payment types into the printer.
#include "programming/operations.h"

#include <exception>

#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/state.h"
#include "driver/vendor_call.h"
#include "hostlib/consiste.h"
#include "hostlib/dialogs.h"
#include "platform/env.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// The reading of the printer's payment list into `list`.
Command ReadPaymentList(std::string& list) {
  return Query("Elgin_VerificaFormasPagamento", Elgin_VerificaFormasPagamento, list);
}

// Whether the printer still has room for a new payment method: the reading
// of slot 14 answers code 0 and "NomeErro" while that slot is free.
bool HasRoomForNewMethod() {
  std::string answer;
  const int code =
      CallOnly(Call("", Elgin_ExecutaLeitura, "LeMeioPagamento", "CodMeioPagamentoProgram=14", Into(answer)));
  return code == 0 && rtl::Copy(answer, 1, 8) == "NomeErro";
}

// Position (1-based) of the payment name K in the upper-cased printer list,
// 0 when absent. The list keeps each name in a field of 16 characters, so
// an occurrence counts only when its field holds exactly that name: a short
// name never matches the start of a longer one ("CARTAO" inside
// "CARTAO CREDITO").
int NamePosition(const std::string& K, const std::string& upperList) {
  const std::string name = rtl::TrimRight(K);
  if (name.empty()) return 0;
  size_t from = 0;
  for (;;) {
    const size_t p = upperList.find(name, from);
    if (p == std::string::npos) return 0;
    if (rtl::TrimRight(upperList.substr(p, 16)) == name) return static_cast<int>(p) + 1;
    from = p + 1;
  }
}

// Whether the type issues a change voucher (IDEMIVALE): never for payment kind "4".
std::string IssuesChangeVoucher(const std::string& idTipoRece) { return idTipoRece == "4" ? "N" : "S"; }

// Programs the payment name N (its first 16 characters).
Command ProgramMethod(const std::string& name) {
  const std::string n16 = rtl::Copy(name, 1, 16);
  return Call("Elgin_ProgramaFormaPagamentoMFD : " + n16 + "1", Elgin_ProgramaFormaPagamentoMFD, n16, "1");
}

// What one programming run shares between the host's rows: the printer's
// list as last read, the names programmed so far and the module's copy of
// the host's table.
struct ProgrammingRun {
  rtl::ClientDataSet& moduleTypes;
  std::string list;
  std::string upperList;
  std::string processed;  // names programmed in this run: upper case, 16 characters, "@"
  rtl::LocateOptions anyCase;
};

// Drops the host's row; the cursor moves on to the next one.
void DropType(rtl::ClientDataSet& type) {
  type.Delete();
  rtl::ProcessMessages();
}

// A method the printer does not know: programmed when the printer has room
// and confirmed by reading the list again. False when it could not be.
bool ProgramNewMethod(ProgrammingRun& p, rtl::ClientDataSet& type, const std::string& K,
                       const std::string& dsImpFiscal, const std::string& idTipoRece) {
  if (!HasRoomForNewMethod()) return false;
  Send(ProgramMethod(dsImpFiscal));
  const Command reading = ReadPaymentList(p.list);
  const int code = CallOnly(reading);
  p.upperList = rtl::AnsiUpperCase(p.list);
  // Confirmed when the re-read list holds the name (in whatever letter case
  // the printer keeps it) and the reading succeeded; the reading is analysed
  // only once the name was found.
  if (!(NamePosition(K, p.upperList) > 0 && Analyse(reading, code))) return false;
  p.processed += K + "@";
  type.Edit();
  type.FieldByName("CDFPIMPFIS").SetAsString("S");
  type.FieldByName("IDEMIVALE").SetAsString(IssuesChangeVoucher(idTipoRece));
  if (idTipoRece == "B") type.FieldByName("IDMOSTRARECE").SetAsString("N");
  type.Post();
  // The module's copy records that the method now exists in the printer.
  if (p.moduleTypes.Locate("CDTIPORECE", rtl::Variant(type.FieldByName("CDTIPORECE").AsString()), p.anyCase)) {
    p.moduleTypes.Edit();
    p.moduleTypes.FieldByName("CDFPIMPFIS").SetAsString("S");
    p.moduleTypes.FieldByName("IDEMIVALE").SetAsString(IssuesChangeVoucher(idTipoRece));
    p.moduleTypes.Post();
  }
  return true;
}

// A method the printer knows: the host's row takes the printer's spelling,
// and the code of an earlier row of the same method.
void AdoptKnownMethod(ProgrammingRun& p, rtl::ClientDataSet& type, const std::string& K,
                         const std::string& dsImpFiscal, const std::string& idTipoRece) {
  rtl::ClientDataSet& moduleTypes = p.moduleTypes;
  const int P = NamePosition(K, p.upperList);
  const std::string printerName =
      rtl::TrimRight(P > 0 ? rtl::Copy(p.list, P, 16) : rtl::Copy(dsImpFiscal, 1, 16));
  moduleTypes.SetFilter("CDFPIMPFIS <> ' '");
  moduleTypes.SetFiltered(true);
  const bool found = moduleTypes.Locate("DSIMPFISCAL", rtl::Variant(dsImpFiscal), p.anyCase);
  const std::string cdFpImpFis = found ? moduleTypes.FieldByName("CDFPIMPFIS").AsString() : std::string("S");
  moduleTypes.SetFiltered(false);
  type.Edit();
  type.FieldByName("NMTIPORECE").SetAsString(printerName);
  type.FieldByName("CDFPIMPFIS").SetAsString(cdFpImpFis);
  type.FieldByName("IDEMIVALE").SetAsString(IssuesChangeVoucher(idTipoRece));
  type.Post();
  if (!found && moduleTypes.Locate("CDTIPORECE", rtl::Variant(type.FieldByName("CDTIPORECE").AsString()), p.anyCase)) {
    moduleTypes.Edit();
    moduleTypes.FieldByName("NMTIPORECE").SetAsString(printerName);
    moduleTypes.FieldByName("CDFPIMPFIS").SetAsString(cdFpImpFis);
    moduleTypes.FieldByName("IDEMIVALE").SetAsString(IssuesChangeVoucher(idTipoRece));
    moduleTypes.Post();
  }
}

// One row of the host's table (shown to the operator, or with the flag
// blank). False when the row was dropped: the cursor is then already on
// the next one.
bool ProcessType(ProgrammingRun& p, rtl::ClientDataSet& type) {
  const std::string shown = type.FieldByName("IDMOSTRARECE").AsString();
  if (shown != "S" && !rtl::Trim(shown).empty()) return true;
  const std::string dsImpFiscal = type.FieldByName("DSIMPFISCAL").AsString();
  const std::string idTipoRece = type.FieldByName("IDTIPORECE").AsString();
  const std::string K = rtl::AnsiUpperCase(rtl::Copy(dsImpFiscal, 1, 16));

  if (rtl::Trim(K).empty()) {
    // A type without a printer name cannot be programmed (and would
    // otherwise match any name of the printer's list).
    DropType(type);
    return false;
  }
  const bool known = rtl::Pos("@" + K + "@", "@" + p.processed) > 0 || NamePosition(K, p.upperList) > 0;
  if (known) {
    AdoptKnownMethod(p, type, K, dsImpFiscal, idTipoRece);
    return true;
  }
  if (!ProgramNewMethod(p, type, K, dsImpFiscal, idTipoRece)) {
    DropType(type);
    return false;
  }
  return true;
}

// After a row failed half-way: its changes are undone and the module's
// copy is left without a filter.
void UndoRow(rtl::ClientDataSet& type, rtl::ClientDataSet& moduleTypes) {
  for (rtl::ClientDataSet* ds : {&type, &moduleTypes})
    if (ds->State() == rtl::DataSetState::Edit || ds->State() == rtl::DataSetState::Insert) ds->Cancel();
  moduleTypes.SetFiltered(false);
}

}  // namespace

void CarregaRecebimento(const std::string& stIgnorado, const std::string& stEsquemaCor, int32_t idTipoImpFis,
                        rtl::ClientDataSet* cdsTipoRece) {
  if (!cdsTipoRece) return;  // no table, nothing to program
  ProgrammingRun p{DataModule().cdsReceb, "", "", "", {}};
  p.moduleTypes.CopyFrom(*cdsTipoRece);
  cdsTipoRece->SetFilter("IDTPBUTTON = '5'");
  cdsTipoRece->SetFiltered(true);
  cdsTipoRece->First();

  Send(ReadPaymentList(p.list));
  p.upperList = rtl::AnsiUpperCase(p.list);
  p.anyCase.caseInsensitive = true;

  while (!cdsTipoRece->Eof()) {
    try {
      if (!ProcessType(p, *cdsTipoRece)) continue;
    } catch (const std::exception&) {
      UndoRow(*cdsTipoRece, p.moduleTypes);
      Notice(Msg("ComandoNExec"), hostlib::tmAviso, stEsquemaCor);
    }
    cdsTipoRece->Next();
    rtl::ProcessMessages();
  }

  Carrega_Rel_Gerencial(p.list);
}

bool Carrega_Rel_Gerencial(const std::string& stRelGer) {
  const std::string R = Msg("RelGerencial");
  if (rtl::Pos(rtl::AnsiUpperCase(rtl::Copy(R, 1, 16)), rtl::AnsiUpperCase(stRelGer)) > 0) return true;
  Send(ProgramMethod(R));
  return true;
}

bool Config_Forma_Pagamento(const std::string& stIgnorado, const std::string& stParam, bool boParam1, bool boParam2) {
  return Send(ProgramMethod(stParam).Show(boParam1).CancelOpenCoupon(boParam2));
}

bool CarregaRelatorioGer(std::string& stMeiosPgto, std::string& stIdentPaf, std::string& stParamConfig,
                         std::string& stTransMesa, std::string& stConfMesa, std::string& stMesaAber,
                         const std::string& stEsquemaCor, int32_t idTipoImpFis) {
  // This printer has nothing of the kind to load.
  return true;
}

}  // namespace Qor01100

