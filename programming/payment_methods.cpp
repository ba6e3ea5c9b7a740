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

// The reading of the printer's payment list into `lista`.
Command LeFormasPagamento(std::string& lista) {
  return Query("Elgin_VerificaFormasPagamento", Elgin_VerificaFormasPagamento, lista);
}

// Whether the printer still has room for a new payment method: the reading
// of slot 14 answers code 0 and "NomeErro" while that slot is free.
bool TemEspacoNovaForma() {
  std::string resposta;
  CallOnly(Call("", Elgin_ExecutaLeitura, "LeMeioPagamento", "CodMeioPagamentoProgram=14", Into(resposta)));
  return inRetorno == 0 && rtl::Copy(resposta, 1, 8) == "NomeErro";
}

// Position (1-based) of the payment name K in the upper-cased printer list,
// 0 when absent. The list keeps each name in a field of 16 characters, so
// an occurrence counts only when its field holds exactly that name: a short
// name never matches the start of a longer one ("CARTAO" inside
// "CARTAO CREDITO").
int PosNome(const std::string& K, const std::string& listaMaiuscula) {
  const std::string nome = rtl::TrimRight(K);
  if (nome.empty()) return 0;
  size_t de = 0;
  for (;;) {
    const size_t p = listaMaiuscula.find(nome, de);
    if (p == std::string::npos) return 0;
    if (rtl::TrimRight(listaMaiuscula.substr(p, 16)) == nome) return static_cast<int>(p) + 1;
    de = p + 1;
  }
}

// Emissão de contra-vale: never for payment kind "4".
std::string EmiteVale(const std::string& idTipoRece) { return idTipoRece == "4" ? "N" : "S"; }

// Programs the payment name N (its first 16 characters).
Command ProgramaFormaPagamento(const std::string& nome) {
  const std::string n16 = rtl::Copy(nome, 1, 16);
  return Call("Elgin_ProgramaFormaPagamentoMFD : " + n16 + "1", Elgin_ProgramaFormaPagamentoMFD, n16, "1");
}

// What one programming run shares between the host's rows: the printer's
// list as last read, the names programmed so far and the module's copy of
// the host's table.
struct Programacao {
  rtl::ClientDataSet& receb;
  std::string lista;
  std::string listaMaiuscula;
  std::string processados;  // names programmed in this run: upper case, 16 characters, "@"
  rtl::LocateOptions semCaixa;
};

// Drops the host's row; the cursor moves on to the next one.
void DescartaTipo(rtl::ClientDataSet& tipo) {
  tipo.Delete();
  rtl::ProcessMessages();
}

// A method the printer does not know: programmed when the printer has room
// and confirmed by reading the list again. False when it could not be.
bool ProgramaNovaForma(Programacao& p, rtl::ClientDataSet& tipo, const std::string& K,
                       const std::string& dsImpFiscal, const std::string& idTipoRece) {
  if (!TemEspacoNovaForma()) return false;
  Send(ProgramaFormaPagamento(dsImpFiscal));
  const Command leitura = LeFormasPagamento(p.lista);
  const int codigo = CallOnly(leitura);
  p.listaMaiuscula = rtl::AnsiUpperCase(p.lista);
  // Confirmed when the re-read list holds the name (in whatever letter case
  // the printer keeps it) and the reading succeeded; the reading is analysed
  // only once the name was found.
  if (!(PosNome(K, p.listaMaiuscula) > 0 && Analyse(leitura, codigo))) return false;
  p.processados += K + "@";
  tipo.Edit();
  tipo.FieldByName("CDFPIMPFIS").SetAsString("S");
  tipo.FieldByName("IDEMIVALE").SetAsString(EmiteVale(idTipoRece));
  if (idTipoRece == "B") tipo.FieldByName("IDMOSTRARECE").SetAsString("N");
  tipo.Post();
  // The module's copy records that the method now exists in the printer.
  if (p.receb.Locate("CDTIPORECE", rtl::Variant(tipo.FieldByName("CDTIPORECE").AsString()), p.semCaixa)) {
    p.receb.Edit();
    p.receb.FieldByName("CDFPIMPFIS").SetAsString("S");
    p.receb.FieldByName("IDEMIVALE").SetAsString(EmiteVale(idTipoRece));
    p.receb.Post();
  }
  return true;
}

// A method the printer knows: the host's row takes the printer's spelling,
// and the code of an earlier row of the same method.
void AdotaFormaConhecida(Programacao& p, rtl::ClientDataSet& tipo, const std::string& K,
                         const std::string& dsImpFiscal, const std::string& idTipoRece) {
  rtl::ClientDataSet& receb = p.receb;
  const int P = PosNome(K, p.listaMaiuscula);
  const std::string nomeImpressora =
      rtl::TrimRight(P > 0 ? rtl::Copy(p.lista, P, 16) : rtl::Copy(dsImpFiscal, 1, 16));
  receb.SetFilter("CDFPIMPFIS <> ' '");
  receb.SetFiltered(true);
  const bool achou = receb.Locate("DSIMPFISCAL", rtl::Variant(dsImpFiscal), p.semCaixa);
  const std::string cdFpImpFis = achou ? receb.FieldByName("CDFPIMPFIS").AsString() : std::string("S");
  receb.SetFiltered(false);
  tipo.Edit();
  tipo.FieldByName("NMTIPORECE").SetAsString(nomeImpressora);
  tipo.FieldByName("CDFPIMPFIS").SetAsString(cdFpImpFis);
  tipo.FieldByName("IDEMIVALE").SetAsString(EmiteVale(idTipoRece));
  tipo.Post();
  if (!achou && receb.Locate("CDTIPORECE", rtl::Variant(tipo.FieldByName("CDTIPORECE").AsString()), p.semCaixa)) {
    receb.Edit();
    receb.FieldByName("NMTIPORECE").SetAsString(nomeImpressora);
    receb.FieldByName("CDFPIMPFIS").SetAsString(cdFpImpFis);
    receb.FieldByName("IDEMIVALE").SetAsString(EmiteVale(idTipoRece));
    receb.Post();
  }
}

// One row of the host's table (shown to the operator, or with the flag
// blank). False when the row was dropped: the cursor is then already on
// the next one.
bool TrataTipo(Programacao& p, rtl::ClientDataSet& tipo) {
  const std::string mostra = tipo.FieldByName("IDMOSTRARECE").AsString();
  if (mostra != "S" && !rtl::Trim(mostra).empty()) return true;
  const std::string dsImpFiscal = tipo.FieldByName("DSIMPFISCAL").AsString();
  const std::string idTipoRece = tipo.FieldByName("IDTIPORECE").AsString();
  const std::string K = rtl::AnsiUpperCase(rtl::Copy(dsImpFiscal, 1, 16));

  if (rtl::Trim(K).empty()) {
    // A type without a printer name cannot be programmed (and would
    // otherwise match any name of the printer's list).
    DescartaTipo(tipo);
    return false;
  }
  const bool conhecida = rtl::Pos("@" + K + "@", "@" + p.processados) > 0 || PosNome(K, p.listaMaiuscula) > 0;
  if (conhecida) {
    AdotaFormaConhecida(p, tipo, K, dsImpFiscal, idTipoRece);
    return true;
  }
  if (!ProgramaNovaForma(p, tipo, K, dsImpFiscal, idTipoRece)) {
    DescartaTipo(tipo);
    return false;
  }
  return true;
}

// After a row failed half-way: its changes are undone and the module's
// copy is left without a filter.
void DesfazLinha(rtl::ClientDataSet& tipo, rtl::ClientDataSet& receb) {
  for (rtl::ClientDataSet* ds : {&tipo, &receb})
    if (ds->State() == rtl::DataSetState::Edit || ds->State() == rtl::DataSetState::Insert) ds->Cancel();
  receb.SetFiltered(false);
}

}  // namespace

void CarregaRecebimento(const std::string& stIgnorado, const std::string& stEsquemaCor, int32_t idTipoImpFis,
                        rtl::ClientDataSet* cdsTipoRece) {
  if (!cdsTipoRece) return;  // no table, nothing to program
  Programacao p{DataModule().cdsReceb, "", "", "", {}};
  p.receb.CopyFrom(*cdsTipoRece);
  cdsTipoRece->SetFilter("IDTPBUTTON = '5'");
  cdsTipoRece->SetFiltered(true);
  cdsTipoRece->First();

  Send(LeFormasPagamento(p.lista));
  p.listaMaiuscula = rtl::AnsiUpperCase(p.lista);
  p.semCaixa.caseInsensitive = true;

  while (!cdsTipoRece->Eof()) {
    try {
      if (!TrataTipo(p, *cdsTipoRece)) continue;
    } catch (const std::exception&) {
      DesfazLinha(*cdsTipoRece, p.receb);
      Notice(Msg("ComandoNExec"), hostlib::tmAviso, stEsquemaCor);
    }
    cdsTipoRece->Next();
    rtl::ProcessMessages();
  }

  Carrega_Rel_Gerencial(p.lista);
}

bool Carrega_Rel_Gerencial(const std::string& stRelGer) {
  const std::string R = Msg("RelGerencial");
  if (rtl::Pos(rtl::AnsiUpperCase(rtl::Copy(R, 1, 16)), rtl::AnsiUpperCase(stRelGer)) > 0) return true;
  Send(ProgramaFormaPagamento(R));
  return true;
}

bool Config_Forma_Pagamento(const std::string& stIgnorado, const std::string& stParam, bool boParam1, bool boParam2) {
  return Send(ProgramaFormaPagamento(stParam).Show(boParam1).CancelOpenCoupon(boParam2));
}

bool CarregaRelatorioGer(std::string& stMeiosPgto, std::string& stIdentPaf, std::string& stParamConfig,
                         std::string& stTransMesa, std::string& stConfMesa, std::string& stMesaAber,
                         const std::string& stEsquemaCor, int32_t idTipoImpFis) {
  // This printer has nothing of the kind to load.
  return true;
}

}  // namespace Qor01100

