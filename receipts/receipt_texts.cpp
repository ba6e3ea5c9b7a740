// The texts of the customer account documents.
#include "receipts/receipt_texts.h"

#include "driver/amounts.h"
#include "driver/family_balance.h"
#include "driver/frame.h"
#include "hostlib/consiste.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace Qor01100 {

namespace {

constexpr int kColumns = 48;

std::string Line(const std::string& s) { return s + "\n"; }
// A line cut to the paper's width (not padded).
std::string CutLine(const std::string& s) { return Line(rtl::Copy(s, 1, kColumns)); }
std::string CenteredLine(const std::string& s) { return Line(hostlib::Centraliza(s, kColumns)); }
std::string DashLine() { return Line(hostlib::Replicate("-", kColumns)); }
std::string BlankLine() { return Line(hostlib::Replicate(" ", kColumns)); }

// "Saldo Final : " with the amount in the currency form, without a line feed.
std::string FinalBalance(double value) { return rtl::StringReplace(Msg2("SALDO_FIN"), "%s", CurrencyAmount(value)); }

std::string CustomerLines(const SaleParties& p) {
  return CutLine(Msg("CDCLIE") + p.cdClie) + CutLine(hostlib::Replicate(" ", 9) + p.nmClie);
}

std::string ConsumerLines(const SaleParties& p) {
  return CutLine(Msg("CDCons") + p.cdConsumidor) + CutLine(Msg("NmCons") + p.nmConsumidor);
}

std::string ProductCaption() { return CenteredLine(Msg("ProdVend")) + BlankLine() + CutLine(Msg("Cabecalho")); }

double Number(rtl::ClientDataSet& ds, const char* field) { return ds.FieldByName(field).AsFloat(); }
std::string Text(rtl::ClientDataSet& ds, const char* field) { return ds.FieldByName(field).AsString(); }

bool HasRows(rtl::ClientDataSet& ds) { return ds.Active() && !ds.IsEmpty(); }

}  // namespace

std::string TicketText(const std::string& stSenhaCupom) {
  return stSenhaCupom.empty() ? "" : Msg("SEN_PED") + stSenhaCupom + "\r\n";
}

std::string DebitHeaderText(const SaleParties& p) {
  return "\n\n" + CenteredLine(Msg("ComprDebito")) + DashLine() + CustomerLines(p) + DashLine() + "\n" +
         ConsumerLines(p) + DashLine() + ProductCaption();
}

std::string CreditSaleHeaderText(const SaleParties& p) {
  return "\n" + CenteredLine(Msg("CompraCredito")) + DashLine() + CustomerLines(p) + DashLine() + ConsumerLines(p) +
         DashLine() + ProductCaption();
}

std::string DebitProductLine(const std::string& cd, const std::string& nm, double qt, double vr) {
  return Line(rtl::Copy(cd, 1, 10) + " " + rtl::Copy(nm, 1, 12) + "   " + FormatAmount("0.00", qt) + "  " +
               hostlib::PadL(FormatAmount("0.00", vr), 8));
}

std::string CreditProductLine(const std::string& cd, const std::string& nm, double qt, double vr) {
  const std::string descricao = rtl::Copy(cd, 1, 10) + " " + rtl::Copy(nm, 1, 12) + "  " + FormatAmount("0.00#", qt);
  return Line(hostlib::TamFixo(descricao, 30) + "  " + hostlib::PadL(FormatAmount("0.00", vr), 8) +
               hostlib::PadL(FormatAmount("0.00", hostlib::Trunc2(qt * vr)), 8));
}

std::string DebitClosingText(const DebitClosing& c) {
  std::string s = BlankLine() + Line(rtl::Copy(Msg("Total"), 1, 40) + hostlib::PadL(FormatAmount("0.00", c.doValor), 31)) +
                  DashLine() + rtl::Copy(c.ticket, 1, kColumns);
  if (c.stAuxImpSaldCup != "2") s += FinalBalance(c.saldoFinal);
  if (!c.stObs.empty()) s += BlankLine() + Line(c.stObs);
  if (c.doPrecoSubsidio > 0) s += Msg("PRECO_SUBSIDIO") + " " + CurrencyAmount(c.doPrecoSubsidio);
  return s;
}

std::string CreditClosingText(const CreditClosing& c) {
  std::string s = BlankLine() +
                  Line(hostlib::TamFixo(rtl::Copy(Msg("Total"), 1, 40), 15) +
                        hostlib::PadL(FormatAmount("0.00", c.doValor), 33)) +
                  DashLine() + Line(rtl::Copy(c.ticket, 1, kColumns)) + c.saldo;
  if (c.doPrecoSubsidio > 0) s += Msg("PRECO_SUBSIDIO") + " " + CurrencyAmount(c.doPrecoSubsidio);
  if (c.doVrComplemento > 0) s += Msg("VR_COMPLEMENTO") + " " + CurrencyAmount(c.doVrComplemento);
  return s;
}

std::string CreditBalanceText(const std::string& mode, double saldoFinal, rtl::ClientDataSet& cdsSaldCred,
                              rtl::ClientDataSet* familia, rtl::ClientDataSet* emprestimo) {
  if (mode == "0") {
    if (cdsSaldCred.Active())
      for (cdsSaldCred.First(); !cdsSaldCred.Eof(); cdsSaldCred.Next())
        saldoFinal += Number(cdsSaldCred, "VRSALDCONFAM");
    return Line(FinalBalance(saldoFinal));
  }
  if (mode != "1" || !HasRows(cdsSaldCred)) return "";
  std::string s;
  for (cdsSaldCred.First(); !cdsSaldCred.Eof(); cdsSaldCred.Next()) {
    const double saldo = Number(cdsSaldCred, "VRSALDCONFAM");
    if (saldo == 0) continue;
    s += FamilyBalanceLine(Text(cdsSaldCred, "NMFAMILISALD"),
                           FamilyBalance(saldo, Text(cdsSaldCred, "CDFAMILISALD"), familia, emprestimo));
  }
  return s;
}

std::string PurchaseCopyText(const PurchaseCopy& c) {
  std::string s = "\n" + CenteredLine(Msg("ComprCredito")) + DashLine() + "\n" + CutLine(Msg("Nr_Deposito") + c.nrDeposito) +
                  BlankLine() + CutLine(Msg("NmCons") + c.nmConsumidor) + CutLine(Msg("NmFami") + c.nmFamilia) +
                  CutLine(Msg("VrCupom") + CurrencyAmount(c.pago)) +
                  CutLine(Msg("VrSaldo") + CurrencyAmount(c.pago + c.saldoAntes));
  if (c.primeira)
    for (int i = 0; i < 4; ++i) s += BlankLine();
  return s;
}

std::string CancellationText(const CancellationCopy& c) {
  return "\n" + CenteredLine(Msg("Canc_ComprCredito")) + DashLine() + "\n" + CutLine(Msg("Canc_Deposito") + ": " + c.deposito) +
         BlankLine() + CutLine(Msg("CDCLIE") + c.cliente) + CutLine(Msg("Consumidor") + ": " + c.consumidor) +
         CutLine(Msg("NmFami") + c.nmFamilia) + CutLine(Msg("VrCupom") + CurrencyAmount(c.valor)) +
         CutLine(Msg("Sald_Cons") + CurrencyAmount(c.saldo));
}

std::string FamilyCreditText(const std::string& stNmCons, rtl::ClientDataSet* cdsSaldCred, bool& achou) {
  std::string s = "\n" + CenteredLine(stNmCons) + BlankLine();
  double total = 0;
  achou = cdsSaldCred != nullptr && HasRows(*cdsSaldCred);
  if (achou) {
    rtl::ClientDataSet& ds = *cdsSaldCred;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      const double saldo = Number(ds, "VRSALDCONFAM");
      if (saldo == 0) continue;
      s += BalanceLine(Text(ds, "NMFAMILISALD"), saldo, 25, 15);
      total += saldo;
    }
  }
  return s + DashLine() + BalanceLine("Saldo Total", total, 25, 15);
}

std::string ReportHeaderText(const std::string& stNomeFilial, const std::string& stCaixa) {
  return "\n" + DashLine() + CenteredLine(stNomeFilial) + "\n" + DashLine() +
         Line("Caixa: " + stCaixa + hostlib::Replicate(" ", 16) + rtl::FormatDateTime("DD/MM/YYYY hh:mm", rtl::Now())) +
         DashLine();
}

std::string BalanceTitleText(const std::string& stCracCOns, const std::string& stNmCons) {
  return CenteredLine(">>> Consulta Saldo <<<") + DashLine() + Line(stCracCOns + " - " + stNmCons) + "\n";
}

std::string BalanceLine(const std::string& nome, double valor, int largura, int coluna) {
  return Line(hostlib::TamFixo(nome, largura) + hostlib::TamFixoR(FixedAmount(valor), coluna));
}

std::string BalanceTotalText(double total) {
  return Line(hostlib::TamFixo(" ", 37) + hostlib::Replicate("-", 11)) + BalanceLine("Saldo Total", total, 37, 11);
}

std::string NegativeTitleText() { return CenteredLine(">>> Saldo Negativo por Consumidor <<<") + DashLine(); }

std::string BlockedBranchText(const std::string& nmFilial) {
  return Line(hostlib::Replicate("-", 47)) + CenteredLine(nmFilial) + DashLine();
}

std::string BlockedCaptionText(const std::string& cdLoja) {
  return Line("Loja:" + hostlib::TamFixo(cdLoja, 20) + rtl::FormatDateTime("dd/mm/yyyy hh:nn:ss", rtl::Now())) +
         DashLine() + CenteredLine(">>> Produtos Bloqueados <<<") + DashLine() +
         Line(hostlib::TamFixo(Msg("Codigo"), 11) + hostlib::TamFixo("COD. TECLADO", 13) + hostlib::TamFixoR("NOME", 4));
}

std::string BlockedProductLine(const std::string& cd, const std::string& cdTeclado, const std::string& nm) {
  return Line(hostlib::TamFixo(cd, 11) + hostlib::TamFixo(cdTeclado, 13) + hostlib::TamFixo(nm, 24));
}

std::string MakerFooterText() { return CenteredLine(Msg("Velmara")); }

}  // namespace Qor01100
