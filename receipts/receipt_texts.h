// The texts of the customer account documents, 48 columns wide, built
// without the printer. Lines end with a single line feed unless a function
// says otherwise; captions come from the message tables.
#pragma once
#include <string>

#include "driver/export.h"
#include "platform/dataset.h"

namespace Qor01100 {

// ---- sale vouchers (consumer debit, personal credit) ----------------------

// The order ticket line: "SENHA PEDIDO:  " + ticket + CR LF; "" without a ticket.
QOR_API std::string TicketText(const std::string& stSenhaCupom);

// The client, the consumer and the product caption of a sale voucher.
struct SaleParties {
  std::string cdClie, nmClie, cdConsumidor, nmConsumidor;
};
// Consumer debit: two empty lines, the title, the client, an empty line, the consumer, the caption.
QOR_API std::string DebitHeaderText(const SaleParties& p);
// Personal credit: one empty line, the title, the client, the consumer, the caption.
QOR_API std::string CreditSaleHeaderText(const SaleParties& p);

// One product of the consumer-debit voucher: code (10), name (12), quantity, unit price.
QOR_API std::string DebitProductLine(const std::string& cd, const std::string& nm, double qt, double vr);
// One product of the personal-credit voucher: code, name and quantity ("0.00#") in 30
// columns, unit price and the truncated line total in 8 each.
QOR_API std::string CreditProductLine(const std::string& cd, const std::string& nm, double qt, double vr);

// The closing of the consumer-debit voucher. The balance text (no line
// feed after it) is left out when stAuxImpSaldCup is "2"; the remark
// follows 48 blanks; the subsidised price (no line feed) only when positive.
struct DebitClosing {
  double doValor = 0;
  std::string ticket;  // TicketText
  std::string stAuxImpSaldCup;
  double saldoFinal = 0;
  std::string stObs;
  double doPrecoSubsidio = 0;
};
QOR_API std::string DebitClosingText(const DebitClosing& c);

// The closing of the personal-credit voucher: total, dashes, ticket and a
// line feed, the balance text chosen by the mode (CreditBalanceText), then
// the subsidised price and the complement when positive (no line feeds).
struct CreditClosing {
  double doValor = 0;
  std::string ticket;
  std::string saldo;  // CreditBalanceText
  double doPrecoSubsidio = 0;
  double doVrComplemento = 0;
};
QOR_API std::string CreditClosingText(const CreditClosing& c);

// The balance text of the personal-credit voucher by mode: "0" the final
// balance plus every family balance of cdsSaldCred ("Saldo Final : " text
// and a line feed); "1" one line per member of cdsSaldCred with a balance
// other than zero, after the family's balance and loans (familia,
// emprestimo); any other mode, or "1" with no members, "".
QOR_API std::string CreditBalanceText(const std::string& mode, double saldoFinal, rtl::ClientDataSet& cdsSaldCred,
                                      rtl::ClientDataSet* familia, rtl::ClientDataSet* emprestimo);

// ---- personal-credit documents --------------------------------------------

// One copy of the credit purchase; the first copy ends with four more blank lines.
struct PurchaseCopy {
  std::string nrDeposito, nmConsumidor, nmFamilia;
  double pago = 0;        // sum of the purchase's payments
  double saldoAntes = 0;  // balance before the purchase
  bool primeira = true;
};
QOR_API std::string PurchaseCopyText(const PurchaseCopy& c);

// The cancellation of a credit purchase.
struct CancellationCopy {
  std::string deposito, cliente, consumidor, nmFamilia;
  double valor = 0, saldo = 0;
};
QOR_API std::string CancellationText(const CancellationCopy& c);

// The credit balances of a family (name centred, one line per member whose
// balance is not zero, dashes, the total). `achou` tells whether the
// dataset had records (a closed or missing one has none).
QOR_API std::string FamilyCreditText(const std::string& stNmCons, rtl::ClientDataSet* cdsSaldCred, bool& achou);

// ---- account reports ------------------------------------------------------

// The reports' header: branch, till and the current date and time.
QOR_API std::string ReportHeaderText(const std::string& stNomeFilial, const std::string& stCaixa);
// The balance inquiry's title block.
QOR_API std::string BalanceTitleText(const std::string& stCracCOns, const std::string& stNmCons);
// One balance line: name in `largura` columns (37 or 25), the amount fixed in `coluna` columns.
QOR_API std::string BalanceLine(const std::string& nome, double valor, int largura, int coluna);
// The hyphens under a balance column and the "Saldo Total" line.
QOR_API std::string BalanceTotalText(double total);
// The title of the negative balances.
QOR_API std::string NegativeTitleText();
// The blocked products' header (branch, store and date, title, caption) in two blocks.
QOR_API std::string BlockedBranchText(const std::string& nmFilial);
QOR_API std::string BlockedCaptionText(const std::string& cdLoja);
QOR_API std::string BlockedProductLine(const std::string& cd, const std::string& cdTeclado, const std::string& nm);
// The one-line footer naming the software's maker.
QOR_API std::string MakerFooterText();

}  // namespace Qor01100
