// The coupon footer and its text helpers.
#include "coupon/footer.h"

#include <algorithm>
#include <cmath>

#include "coupon/sale.h"
#include "driver/family_balance.h"
#include "driver/frame.h"
#include "driver/text_blocks.h"
#include "hostlib/consiste.h"
#include "platform/format.h"
#include "platform/text.h"

namespace Qor01100 {

namespace {

// Lines of a text as the footer counts them: its line feeds, and 1 when it
// has none (so a single trailing line feed also counts 1).
int CountLines(const std::string& s) {
  int n = 0;
  for (char c : s)
    if (c == '\n') ++n;
  return n == 0 ? 1 : n;
}

bool Usable(rtl::ClientDataSet* ds) { return ds && ds->Active(); }

double AmountField(rtl::ClientDataSet& ds, const char* name) { return ds.FieldByName(name).AsFloat(); }

// The balance per family: one line per family (the first two rows of the
// balance table) whose balance is not zero, the family name in 25 columns
// and the balance after the sale right-aligned in 22.
std::string FamiliesBlock(rtl::ClientDataSet& saldo, rtl::ClientDataSet* familia, rtl::ClientDataSet* emprestimo) {
  // The table holds one row per family; only its first two rows are printed
  // (the footer has room for two families beside the other lines).
  constexpr int kMaxFamilies = 2;
  std::string bloco;
  int posicao = 0;
  for (saldo.First(); !saldo.Eof(); saldo.Next()) {
    if (++posicao > kMaxFamilies) break;
    const double vrSaldo = saldo.FieldByName("VRSALDCONFAM").AsFloat();
    if (vrSaldo == 0) continue;
    const std::string cdFamilia = saldo.FieldByName("CDFAMILISALD").AsString();
    bloco += FamilyBalanceLine(saldo.FieldByName("NMFAMILISALD").AsString(),
                               FamilyBalance(vrSaldo, cdFamilia, familia, emprestimo));
  }
  return bloco;
}

// The footer as it is built: its text and the lines it has taken against
// the budget the host gives.
struct FooterText {
  std::string text;
  int lines = 0;
  int budget = 0;

  void Add(const std::string& line) {
    text += line;
    text += '\n';
    ++lines;
  }
  bool HasRoom() const { return lines < budget; }
  int FreeLines() const { return budget - lines; }
};

// The reduced voucher, one footer line per line of each entry; a last piece
// without a line feed is printed as a line of its own.
void AddReducedVoucher(FooterText& r, const rtl::StringList& stlImpTefRed) {
  for (const std::string& entrada : stlImpTefRed.Lines()) {
    // An empty entry adds nothing and takes no line.
    for (std::string resto = entrada; !resto.empty();) {
      std::string linha = TakeLine(resto);
      if (!linha.empty() && linha.back() == '\n') linha.pop_back();
      r.Add(linha);
    }
  }
}

// The consumer's balance after the sale on the balance table: the families'
// balances less what was paid on the consumer's account (0 without a table).
double FamiliesTotalBalance(rtl::ClientDataSet* cdsSaldo, double doTotConsumidor) {
  double total = 0;
  if (Usable(cdsSaldo) && !cdsSaldo->IsEmpty()) {
    for (cdsSaldo->First(); !cdsSaldo->Eof(); cdsSaldo->Next()) total += AmountField(*cdsSaldo, "VRSALDCONFAM");
    total -= doTotConsumidor;
  }
  return total;
}

// The balance lines of a consumer sale ("1") or a card sale ("2"), by the
// balance mode: the total ("0"), or per family ("1", a card sale prints
// the total there too).
void AddConsumerBalance(FooterText& r, const std::string& stTipoVendaCons, const std::string& stModoSaldo,
                             double doTotConsumidor, double doPrecoSubsidio, double doSaldoAnterior,
                             rtl::ClientDataSet* cdsSaldo, rtl::ClientDataSet* cdsFamiliaSaldo,
                             rtl::ClientDataSet* cdsEmprestimo) {
  if (stTipoVendaCons == "1" && stModoSaldo == "0") {
    if (r.HasRoom()) r.Add(Msg("Sald_Cons") + "  " + FixedAmount(FamiliesTotalBalance(cdsSaldo, doTotConsumidor)));
  } else if (stTipoVendaCons == "1" && stModoSaldo == "1") {
    if (Usable(cdsSaldo) && !cdsSaldo->IsEmpty()) {
      const std::string bloco = FamiliesBlock(*cdsSaldo, cdsFamiliaSaldo, cdsEmprestimo);
      // Counted as the observation's lines are: an empty block (every
      // family at zero) prints nothing but takes its one line of the budget.
      if (CountLines(bloco) <= r.FreeLines()) {
        r.text += bloco;
        r.lines += CountLines(bloco);
      }
    }
  } else if (stTipoVendaCons == "2" && (stModoSaldo == "0" || stModoSaldo == "1")) {
    if (r.HasRoom())
      r.Add(Msg("Sald_Cons") + "  " + FixedAmount(doSaldoAnterior - doTotConsumidor + doPrecoSubsidio));
  }
}

// The lines that close the footer while the budget lasts: subsidy, password
// and table, operator, maker, the loyalty texts and the observation.
void AddClosingLines(FooterText& r, double doPrecoSubsidio, const std::string& linhaSenhaMesa,
                   const std::string& linhaOperador, const std::string& stDotz, const std::string& stDotzExtra,
                   const std::string& dsObsCupom) {
  if (doPrecoSubsidio != 0 && r.HasRoom()) r.Add(Msg("PRECO_SUBSIDIO") + "  " + FixedAmount(doPrecoSubsidio));
  if (r.HasRoom()) r.Add(linhaSenhaMesa);
  if (r.HasRoom()) r.Add(linhaOperador);
  if (r.HasRoom()) r.Add(Msg("Velmara"));
  if (r.HasRoom() && !stDotz.empty()) r.Add(hostlib::Centraliza(stDotz, 40));
  if (r.HasRoom() && !stDotzExtra.empty()) r.Add(hostlib::Centraliza(stDotzExtra, 40));
  if (CountLines(dsObsCupom) <= r.FreeLines()) r.text += dsObsCupom;
}

// Agreement layout: every line, without the budget. The consumer's balance
// after the sale is computed as in the normal layout's consumer-sale
// balance: balance before the sale, less what was paid on the consumer's
// account, plus the subsidised price.
std::string AgreementFooter(FooterText& r, const std::string& cliente, const std::string& consumidor,
                           double doSaldoAnterior, double doTotConsumidor, double doPrecoSubsidio,
                           const std::string& linhaSenhaMesa, const std::string& linhaOperador,
                           const std::string& dsObsCupom) {
  r.Add(Msg("Convenio") + " ..: " + cliente);
  r.Add(Msg("Consumidor") + " : " + consumidor);
  r.Add(Msg("Sald_Cons") + " - " + FixedAmount(doSaldoAnterior - doTotConsumidor + doPrecoSubsidio));
  r.Add(Msg("PRECO_SUBSIDIO") + " - " + FixedAmount(doPrecoSubsidio));
  r.Add(linhaSenhaMesa);
  r.Add(linhaOperador);
  r.Add(Msg("Velmara"));
  if (CountLines(dsObsCupom) <= 1) r.text += dsObsCupom;
  return r.text;
}

}  // namespace

std::string FormataCNPJ(const std::string& Str) {
  std::string out;
  out.reserve(Str.size());
  for (char c : Str)
    if (c != '.' && c != '/' && c != '-') out += c;
  return out;
}

bool CodigoBarra(const std::string&, const std::string&, const std::string&, int32_t, const std::string&,
                 const std::string&) {
  return true;
}

std::string TaxLine(double doVrImposto, double doTotalLiquido) {
  const std::string prefixo = "Val Aprox Tributos R$ " + FormatAmount("#,##0.00", doVrImposto);
  if (doVrImposto == 0) return prefixo + "(0,00%)" + " Fonte IBPT";
  // A net total of zero has no share to show (and must not divide by zero).
  const double percentual = doTotalLiquido == 0 ? 0.0 : std::fabs(1 / (doTotalLiquido / doVrImposto) * 100);
  return prefixo + " (" + rtl::FormatFloat("#,##0.00", percentual) + "%) Fonte:IBPT";
}

std::string TableLine(const std::string& stMesa) {
  if (stMesa.empty()) return "";
  if (stMesa.size() > 4) return Msg("Comanda") + " : " + stMesa + "   - ";
  return Msg("Mesa") + "  : " + stMesa + "           - ";
}

std::string Formata_rodape(int32_t inTamanhoRodape, const std::string& stTipoVendaCons, const std::string& dsMensCpfCup,
                           const std::string& stLinhaImposto, const std::string& stTextoEstado,
                           const std::string& stUfFilial, const std::string& stCdCliente,
                           const std::string& stNmCliente, const std::string& stCdConsumidor,
                           const std::string& stNmConsumidor, const std::string& stCdOperador,
                           const std::string& stNmOperador, const std::string& stLinhaMesa,
                           const std::string& stLinhaSenha, const std::string& stParam15, const std::string& stParam16,
                           const std::string& stParam17, const std::string& dsObsCupom, const std::string& stNrEcf,
                           const std::string& stCerVendaRest, const std::string& stCooVendaRest,
                           const std::string& stModoSaldo, const std::string& idTpFechamento, double doTotConsumidor,
                           double doPrecoSubsidio, double doSaldoAnterior, rtl::ClientDataSet* cdsSaldo,
                           rtl::ClientDataSet* cdsFamiliaSaldo, rtl::ClientDataSet* cdsEmprestimo, bool boUtilTefRed,
                           rtl::StringList* stlImpTefRed, const std::string& stDotz, const std::string& stDotzExtra,
                           bool boImprimeConsumidor) {
  FooterText r;
  // A budget below zero leaves no room, as zero does (and keeps the room
  // left, budget minus lines, from running below the smallest integer).
  r.budget = std::max(inTamanhoRodape, 0);
  r.Add(dsMensCpfCup);
  r.Add(stLinhaImposto);
  if (!stTextoEstado.empty()) r.Add(stTextoEstado);
  if (!stLinhaMesa.empty())
    r.Add("ECF:" + stNrEcf + "-Conf.Mesa -CER: " + stCerVendaRest + "- COO: " + stCooVendaRest);

  const std::string linhaOperador = Msg("Operador") + ": " + stCdOperador + " - " + stNmOperador;
  const std::string cliente = rtl::Copy(stCdCliente + " - " + stNmCliente, 1, 40);
  const std::string consumidor = rtl::Copy(stCdConsumidor + " - " + stNmConsumidor, 1, 40);

  if (idTpFechamento == "1")
    return AgreementFooter(r, cliente, consumidor, doSaldoAnterior, doTotConsumidor, doPrecoSubsidio,
                          stLinhaSenha + stLinhaMesa, linhaOperador, dsObsCupom);
  if (idTpFechamento != "2") return r.text;

  if (boUtilTefRed && stlImpTefRed) AddReducedVoucher(r, *stlImpTefRed);
  if (!stCdCliente.empty() && r.HasRoom()) r.Add(rtl::Copy(Msg("CDCLIE") + cliente, 1, 48));
  if (boImprimeConsumidor && !stCdConsumidor.empty() && r.HasRoom())
    r.Add(rtl::Copy(Msg("Consumidor") + " : " + consumidor, 1, 48));
  AddConsumerBalance(r, stTipoVendaCons, stModoSaldo, doTotConsumidor, doPrecoSubsidio, doSaldoAnterior,
                          cdsSaldo, cdsFamiliaSaldo, cdsEmprestimo);
  AddClosingLines(r, doPrecoSubsidio, stLinhaSenha + stLinhaMesa, linhaOperador, stDotz, stDotzExtra, dsObsCupom);
  return r.text;
}

}  // namespace Qor01100

