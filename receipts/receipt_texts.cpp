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

constexpr int kColunas = 48;

std::string Linha(const std::string& s) { return s + "\n"; }
// A line cut to the paper's width (not padded).
std::string Cortada(const std::string& s) { return Linha(rtl::Copy(s, 1, kColunas)); }
std::string Centrada(const std::string& s) { return Linha(hostlib::Centraliza(s, kColunas)); }
std::string Tracos() { return Linha(hostlib::Replicate("-", kColunas)); }
std::string Brancos() { return Linha(hostlib::Replicate(" ", kColunas)); }

// "Saldo Final : " with the amount in the currency form, without a line feed.
std::string SaldoFinal(double valor) { return rtl::StringReplace(Msg2("SALDO_FIN"), "%s", CurrencyAmount(valor)); }

std::string LinhasCliente(const SaleParties& p) {
  return Cortada(Msg("CDCLIE") + p.cdClie) + Cortada(hostlib::Replicate(" ", 9) + p.nmClie);
}

std::string LinhasConsumidor(const SaleParties& p) {
  return Cortada(Msg("CDCons") + p.cdConsumidor) + Cortada(Msg("NmCons") + p.nmConsumidor);
}

std::string LegendaProdutos() { return Centrada(Msg("ProdVend")) + Brancos() + Cortada(Msg("Cabecalho")); }

double Campo(rtl::ClientDataSet& ds, const char* nome) { return ds.FieldByName(nome).AsFloat(); }
std::string Texto(rtl::ClientDataSet& ds, const char* nome) { return ds.FieldByName(nome).AsString(); }

bool TemRegistros(rtl::ClientDataSet& ds) { return ds.Active() && !ds.IsEmpty(); }

}  // namespace

std::string TicketText(const std::string& stSenhaCupom) {
  return stSenhaCupom.empty() ? "" : Msg("SEN_PED") + stSenhaCupom + "\r\n";
}

std::string DebitHeaderText(const SaleParties& p) {
  return "\n\n" + Centrada(Msg("ComprDebito")) + Tracos() + LinhasCliente(p) + Tracos() + "\n" +
         LinhasConsumidor(p) + Tracos() + LegendaProdutos();
}

std::string CreditSaleHeaderText(const SaleParties& p) {
  return "\n" + Centrada(Msg("CompraCredito")) + Tracos() + LinhasCliente(p) + Tracos() + LinhasConsumidor(p) +
         Tracos() + LegendaProdutos();
}

std::string DebitProductLine(const std::string& cd, const std::string& nm, double qt, double vr) {
  return Linha(rtl::Copy(cd, 1, 10) + " " + rtl::Copy(nm, 1, 12) + "   " + FormatAmount("0.00", qt) + "  " +
               hostlib::PadL(FormatAmount("0.00", vr), 8));
}

std::string CreditProductLine(const std::string& cd, const std::string& nm, double qt, double vr) {
  const std::string descricao = rtl::Copy(cd, 1, 10) + " " + rtl::Copy(nm, 1, 12) + "  " + FormatAmount("0.00#", qt);
  return Linha(hostlib::TamFixo(descricao, 30) + "  " + hostlib::PadL(FormatAmount("0.00", vr), 8) +
               hostlib::PadL(FormatAmount("0.00", hostlib::Trunc2(qt * vr)), 8));
}

std::string DebitClosingText(const DebitClosing& c) {
  std::string s = Brancos() + Linha(rtl::Copy(Msg("Total"), 1, 40) + hostlib::PadL(FormatAmount("0.00", c.doValor), 31)) +
                  Tracos() + rtl::Copy(c.ticket, 1, kColunas);
  if (c.stAuxImpSaldCup != "2") s += SaldoFinal(c.saldoFinal);
  if (!c.stObs.empty()) s += Brancos() + Linha(c.stObs);
  if (c.doPrecoSubsidio > 0) s += Msg("PRECO_SUBSIDIO") + " " + CurrencyAmount(c.doPrecoSubsidio);
  return s;
}

std::string CreditClosingText(const CreditClosing& c) {
  std::string s = Brancos() +
                  Linha(hostlib::TamFixo(rtl::Copy(Msg("Total"), 1, 40), 15) +
                        hostlib::PadL(FormatAmount("0.00", c.doValor), 33)) +
                  Tracos() + Linha(rtl::Copy(c.ticket, 1, kColunas)) + c.saldo;
  if (c.doPrecoSubsidio > 0) s += Msg("PRECO_SUBSIDIO") + " " + CurrencyAmount(c.doPrecoSubsidio);
  if (c.doVrComplemento > 0) s += Msg("VR_COMPLEMENTO") + " " + CurrencyAmount(c.doVrComplemento);
  return s;
}

std::string CreditBalanceText(const std::string& mode, double saldoFinal, rtl::ClientDataSet& cdsSaldCred,
                              rtl::ClientDataSet* familia, rtl::ClientDataSet* emprestimo) {
  if (mode == "0") {
    if (cdsSaldCred.Active())
      for (cdsSaldCred.First(); !cdsSaldCred.Eof(); cdsSaldCred.Next())
        saldoFinal += Campo(cdsSaldCred, "VRSALDCONFAM");
    return Linha(SaldoFinal(saldoFinal));
  }
  if (mode != "1" || !TemRegistros(cdsSaldCred)) return "";
  std::string s;
  for (cdsSaldCred.First(); !cdsSaldCred.Eof(); cdsSaldCred.Next()) {
    const double saldo = Campo(cdsSaldCred, "VRSALDCONFAM");
    if (saldo == 0) continue;
    s += FamilyBalanceLine(Texto(cdsSaldCred, "NMFAMILISALD"),
                           FamilyBalance(saldo, Texto(cdsSaldCred, "CDFAMILISALD"), familia, emprestimo));
  }
  return s;
}

std::string PurchaseCopyText(const PurchaseCopy& c) {
  std::string s = "\n" + Centrada(Msg("ComprCredito")) + Tracos() + "\n" + Cortada(Msg("Nr_Deposito") + c.nrDeposito) +
                  Brancos() + Cortada(Msg("NmCons") + c.nmConsumidor) + Cortada(Msg("NmFami") + c.nmFamilia) +
                  Cortada(Msg("VrCupom") + CurrencyAmount(c.pago)) +
                  Cortada(Msg("VrSaldo") + CurrencyAmount(c.pago + c.saldoAntes));
  if (c.primeira)
    for (int i = 0; i < 4; ++i) s += Brancos();
  return s;
}

std::string CancellationText(const CancellationCopy& c) {
  return "\n" + Centrada(Msg("Canc_ComprCredito")) + Tracos() + "\n" + Cortada(Msg("Canc_Deposito") + ": " + c.deposito) +
         Brancos() + Cortada(Msg("CDCLIE") + c.cliente) + Cortada(Msg("Consumidor") + ": " + c.consumidor) +
         Cortada(Msg("NmFami") + c.nmFamilia) + Cortada(Msg("VrCupom") + CurrencyAmount(c.valor)) +
         Cortada(Msg("Sald_Cons") + CurrencyAmount(c.saldo));
}

std::string FamilyCreditText(const std::string& stNmCons, rtl::ClientDataSet* cdsSaldCred, bool& achou) {
  std::string s = "\n" + Centrada(stNmCons) + Brancos();
  double total = 0;
  achou = cdsSaldCred != nullptr && TemRegistros(*cdsSaldCred);
  if (achou) {
    rtl::ClientDataSet& ds = *cdsSaldCred;
    for (ds.First(); !ds.Eof(); ds.Next()) {
      const double saldo = Campo(ds, "VRSALDCONFAM");
      if (saldo == 0) continue;
      s += BalanceLine(Texto(ds, "NMFAMILISALD"), saldo, 25, 15);
      total += saldo;
    }
  }
  return s + Tracos() + BalanceLine("Saldo Total", total, 25, 15);
}

std::string ReportHeaderText(const std::string& stNomeFilial, const std::string& stCaixa) {
  return "\n" + Tracos() + Centrada(stNomeFilial) + "\n" + Tracos() +
         Linha("Caixa: " + stCaixa + hostlib::Replicate(" ", 16) + rtl::FormatDateTime("DD/MM/YYYY hh:mm", rtl::Now())) +
         Tracos();
}

std::string BalanceTitleText(const std::string& stCracCOns, const std::string& stNmCons) {
  return Centrada(">>> Consulta Saldo <<<") + Tracos() + Linha(stCracCOns + " - " + stNmCons) + "\n";
}

std::string BalanceLine(const std::string& nome, double valor, int largura, int coluna) {
  return Linha(hostlib::TamFixo(nome, largura) + hostlib::TamFixoR(FixedAmount(valor), coluna));
}

std::string BalanceTotalText(double total) {
  return Linha(hostlib::TamFixo(" ", 37) + hostlib::Replicate("-", 11)) + BalanceLine("Saldo Total", total, 37, 11);
}

std::string NegativeTitleText() { return Centrada(">>> Saldo Negativo por Consumidor <<<") + Tracos(); }

std::string BlockedBranchText(const std::string& nmFilial) {
  return Linha(hostlib::Replicate("-", 47)) + Centrada(nmFilial) + Tracos();
}

std::string BlockedCaptionText(const std::string& cdLoja) {
  return Linha("Loja:" + hostlib::TamFixo(cdLoja, 20) + rtl::FormatDateTime("dd/mm/yyyy hh:nn:ss", rtl::Now())) +
         Tracos() + Centrada(">>> Produtos Bloqueados <<<") + Tracos() +
         Linha(hostlib::TamFixo(Msg("Codigo"), 11) + hostlib::TamFixo("COD. TECLADO", 13) + hostlib::TamFixoR("NOME", 4));
}

std::string BlockedProductLine(const std::string& cd, const std::string& cdTeclado, const std::string& nm) {
  return Linha(hostlib::TamFixo(cd, 11) + hostlib::TamFixo(cdTeclado, 13) + hostlib::TamFixo(nm, 24));
}

std::string MakerFooterText() { return Centrada(Msg("Velmara")); }

}  // namespace Qor01100
