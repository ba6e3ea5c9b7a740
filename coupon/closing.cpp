// Coupon closing and payment: the host's positional arguments read once
// into named fields, the start of the closing, the payment pass, the footer
// inputs (with the state programmes' texts as a table) and the end of the
// closing. Every registering step goes through the command path's
// exactly-once steps under the closing's failure rule.
#include "coupon/operations.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "coupon/footer.h"
#include "coupon/sale.h"
#include "driver/command.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/printer_record.h"
#include "driver/state.h"
#include "hostlib/consiste.h"
#include "hostlib/dialogs.h"
#include "nonfiscal/operations.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "vendor/elgin.h"

namespace Qor01100 {

namespace {

// The host's arguments by name (the positions and what each holds:
// coupon/closing_positions.def; positions not listed here are not read).
struct ClosingArgs {
  std::string linhaCpf;         // 1 first footer line
  std::string esquemaCor;       // 2 colour scheme of dialogs
  bool registraTroco = false;   // 4 register the change as a non-fiscal receipt
  bool mostraErros = false;     // 5 show printer-error dialogs
  double desconto = 0;          // 6 subtotal discount
  double troco = 0;             // 7 change
  double taxaServico = 0;       // 8 service charge (subtotal surcharge)
  std::string modoTef;          // 9 electronic-funds-transfer mode "S"/"T"
  std::string observacao;       // 10 last block of the footer
  bool tefEmCurso = false;      // 11 an electronic-funds-transfer sale is in progress
  rtl::Variant movimentos;      // 13 movement packet
  rtl::Variant tiposRece;       // 14 payment-type packet
  std::string cdCliente, nmCliente, cdConsumidor, nmConsumidor, cpfConsumidor;  // 15 to 19
  std::string rodape20;         // 20 passed on to the footer
  std::string mesa;             // 21 table or tab number
  std::string cdOperador, nmOperador;  // 22, 23
  std::string modoSaldo;        // 27 balance block mode
  std::string cooMesa, cerMesa; // 28, 29 COO and CER of the table bill
  std::string senha;            // 31 order password
  rtl::Variant saldosCred, saldosFamilia, emprestimos;  // 32, 33, 34
  std::string tipoVendaCons;    // 36 consumer-sale type
  double saldoAnterior = 0;     // 37 balance before the sale
  double precoSubsidio = 0;     // 38 subsidised price
  std::string rodape39;         // 39 passed on to the footer
  std::string tefNoRodape;      // 40 "S": reduced voucher inside the footer
  std::string nrEcf;            // 41 ECF number
  std::string eco42;            // 42 echoed in the result
  std::string uf;               // 43 branch state
  std::string cnpj;             // 44 branch CNPJ
  double icmsDf = 0;            // 50 ICMS amount (DF)
  double impostoAprox = 0;      // 51 approximate tax amount
  double pontos = 0, pontosExtras = 0;  // 52, 54 loyalty points
  bool linhaConsumidor = true;  // 60 print the consumer line (null: true)
};

using F = ClosingArgs;
// The used positions of each kind (coupon/closing_positions.def).
#define QOR_CLOSING_UNUSED(pos, kind, meaning)
#define QOR_CLOSING_ARG(pos, kind, field, meaning) QOR_CLOSING_KEEP_##kind(pos, field)
#define QOR_CLOSING_KEEP_Text(pos, field) {pos, &F::field},
#define QOR_CLOSING_KEEP_Real(pos, field)
#define QOR_CLOSING_KEEP_Flag(pos, field)
#define QOR_CLOSING_KEEP_Packet(pos, field)
#define QOR_CLOSING_KEEP_FlagOrNull(pos, field)
const std::pair<size_t, std::string F::*> kTexts[] = {
#include "coupon/closing_positions.def"
};
#undef QOR_CLOSING_KEEP_Text
#define QOR_CLOSING_KEEP_Text(pos, field)
#undef QOR_CLOSING_KEEP_Real
#define QOR_CLOSING_KEEP_Real(pos, field) {pos, &F::field},
const std::pair<size_t, double F::*> kAmounts[] = {
#include "coupon/closing_positions.def"
};
#undef QOR_CLOSING_KEEP_Real
#define QOR_CLOSING_KEEP_Real(pos, field)
#undef QOR_CLOSING_KEEP_Flag
#define QOR_CLOSING_KEEP_Flag(pos, field) {pos, &F::field},
const std::pair<size_t, bool F::*> kFlags[] = {
#include "coupon/closing_positions.def"
};
#undef QOR_CLOSING_KEEP_Flag
#define QOR_CLOSING_KEEP_Flag(pos, field)
#undef QOR_CLOSING_KEEP_Packet
#define QOR_CLOSING_KEEP_Packet(pos, field) {pos, &F::field},
const std::pair<size_t, rtl::Variant F::*> kPackets[] = {
#include "coupon/closing_positions.def"
};
#undef QOR_CLOSING_KEEP_Packet
#define QOR_CLOSING_KEEP_Packet(pos, field)
#undef QOR_CLOSING_KEEP_FlagOrNull
#define QOR_CLOSING_KEEP_FlagOrNull(pos, field) {pos, &F::field},
// A flag whose null counts as true: read only when it is not null.
const std::pair<size_t, bool F::*> kFlagsOrNull[] = {
#include "coupon/closing_positions.def"
};
#undef QOR_CLOSING_KEEP_FlagOrNull
#undef QOR_CLOSING_KEEP_Text
#undef QOR_CLOSING_KEEP_Real
#undef QOR_CLOSING_KEEP_Flag
#undef QOR_CLOSING_KEEP_Packet
#undef QOR_CLOSING_ARG
#undef QOR_CLOSING_UNUSED

// Each element is read on its own: an element that is missing or cannot be
// converted (a null where a text is expected) keeps its empty, zero or false
// value, and the elements after it are still read, so one bad value never
// takes the sale's payments or footer data with it.
ClosingArgs ReadArguments(const rtl::Variant& ar) {
  ClosingArgs a;
  auto elem = [&](size_t i) -> const rtl::Variant* {
    return ar.IsArray() && i < ar.ArrayLength() ? &ar[i] : nullptr;
  };
  auto le = [&](size_t i, auto&& converte) {
    if (const rtl::Variant* v = elem(i)) try {
        converte(*v);
      } catch (const rtl::Exception&) {
      }
  };
  // (Plain pairs, not structured bindings: some compilers refuse a binding captured by a lambda.)
  for (const auto& e : kTexts) le(e.first, [&](const rtl::Variant& v) { a.*e.second = v.AsString(); });
  for (const auto& e : kAmounts) le(e.first, [&](const rtl::Variant& v) { a.*e.second = v.AsDouble(); });
  for (const auto& e : kFlags) le(e.first, [&](const rtl::Variant& v) { a.*e.second = v.AsBoolean(); });
  for (const auto& e : kPackets) le(e.first, [&](const rtl::Variant& v) { a.*e.second = v; });
  for (const auto& e : kFlagsOrNull)
    if (const rtl::Variant* v = elem(e.first); v && !v->IsNull() && !v->IsEmpty())
      le(e.first, [&](const rtl::Variant& x) { a.*e.second = x.AsBoolean(); });
  return a;
}

std::string LoyaltyText(const char* chave, double pontos) {
  if (pontos == 0) return "";
  return rtl::StringReplace(Msg2(chave), "%s", rtl::FloatToStr(pontos), false);
}

// Movement fields copied into the working copy, in this order.
const char* const kMovementFields[] = {"CDFILIAL",   "IDTIPOMOVIVE", "DTHRINCMOV",   "CDTIPORECE",   "NMTIPORECE",
                                       "IDTIPORECE", "VRMOVIVEND",   "VRMOVIVEOUT",  "VRCOTINDOUT",  "CDTIPOTROCO",
                                       "NRORDTROCO", "CDCLIENTE",    "CDCONSUMIDOR", "DTMOVIMCAIXA", "DSIMPFISCAL",
                                       "CDFPIMPFIS", "NRCARTBANCO",  "CDNSUHOSTTEF", "CDBANCARTCR",  "CDTIPORECEORIG"};

void CopyField(rtl::ClientDataSet& de, rtl::ClientDataSet& para, const std::string& nome) {
  rtl::Field& origem = de.FieldByName(nome);
  rtl::Field& destino = para.FieldByName(nome);
  if (origem.IsNull()) {
    destino.Clear();
  } else if (nome.rfind("DT", 0) == 0) {
    destino.SetAsDateTime(origem.AsDateTime());
  } else if (nome.rfind("VR", 0) == 0) {
    destino.SetAsFloat(origem.AsFloat());
  } else {
    destino.SetAsString(origem.AsString());
  }
}

// The inputs of a state programme's footer text.
struct StateProgrammeInputs {
  std::string cnpj, data, inteiro, fracao, cpf;
  double icms;
};

// What a state programme adds: a text of its own, a tail to the tax line, a
// mark on the first footer line.
struct StateProgramme {
  const char* uf;
  std::string (*texto)(const StateProgrammeInputs&);
  std::string (*linhaImposto)(const StateProgrammeInputs&);
  const char* marcaCpf;
};

std::string NoText(const StateProgrammeInputs&) { return ""; }
std::string MinasLegal(const StateProgrammeInputs& d) {
  return "MINAS LEGAL: " + rtl::Copy(d.cnpj, 1, 8) + " " + d.data + " " + d.inteiro + d.fracao;
}
std::string ParaibaLegal(const StateProgrammeInputs& d) {
  return "PARAIBA LEGAL - RECEITA CIDADA\n\rTORPEDO PREMIADO: " + rtl::Copy(d.cnpj, 1, 14) + " " + d.data + " " +
         d.inteiro + d.fracao + " " + rtl::Copy(d.cpf, 1, 11);
}
std::string NotaLegal(const StateProgrammeInputs& d) {
  return std::string("\n\r") + "ESTABELECIMENTO INCLUIDO NO PROGRAMA DE " + "\n\r" +
         "CONCESSAO DE CREDITOS - LEI n\xBA 4.159/08." + "\n\r" + "\x1b" + "E" + "NOTA LEGAL:" + "\x1b" + "F" +
         " ICMS = " + FormatAmount("#,##0.00", d.icms);
}

const StateProgramme kStateProgrammes[] = {
    {"MG", MinasLegal, NoText, ""},
    {"DF", NoText, NotaLegal, "NL"},
    {"PB", ParaibaLegal, NoText, ""},
};

// What the payment pass leaves for the footer and the end of the closing.
struct PaymentTotals {
  double pago = 0;            // paid total (kinds "E", and "T" in a transfer sale)
  double totConsumidor = 0;   // consumer-account payments
  bool convenio = false;      // an agreement payment
  bool algumAceito = false;   // at least one payment may be on the printer
  std::string ultimoValor;    // the last amount text sent
  std::optional<Command> semResposta;  // a payment whose answer was lost
};

// The closing's steps and their failure rule: in an electronic-funds-transfer
// sale with an operator present the operator may repeat the step (the retry
// indicator becomes 1); otherwise boClieUtil is cleared and the call ends.
class ClosingRule {
 public:
  ClosingRule(const ClosingArgs& a) : a_(a), tef_(IsTefMode(a.modoTef) && a.tefEmCurso) {}

  bool Attempt(const std::function<bool()>& attempt) {
    declined_ = false;
    const RetryEnd end = RetryLoop(attempt, [&] { return !declined_ && AskOperator(); });
    if (end == RetryEnd::Succeeded) return true;
    if (!(end == RetryEnd::Declined && tef_)) boClieUtil = false;
    return false;
  }
  // The operator's question, when this sale has one; true: repeat the step.
  bool AskOperator() {
    if (!tef_ || !boNUtilTaa) return false;
    if (!AskRetry(Msg("Imp_N_Resp"), a_.esquemaCor)) {
      declined_ = true;
      return false;
    }
    inTefErro = 1;
    return true;
  }
  bool Attempt(Step& s) { return Attempt([&] { return s.Run(); }); }

  bool TransferSale() const { return tef_; }
  int inTefErro = 0;  // element 0 of the result

 private:
  const ClosingArgs& a_;
  bool tef_;
  bool declined_ = false;  // the operator said no: the step ends
};

// The start of the closing with the subtotal discount, else the service
// charge, else a zero discount.
bool StartClosing(const ClosingArgs& a, ClosingRule& rule, std::string& ultimoValor, std::string& etapa) {
  std::string tipo = "d", valor = rtl::FloatToStr(a.desconto);
  if (a.desconto > 0) {
    tipo = "D";
    valor = FormatAmount("0.00", hostlib::Trunc2(a.desconto));
  } else if (a.taxaServico > 0) {
    tipo = "A";
    valor = FormatAmount("0.00", hostlib::Trunc2(a.taxaServico));
  }
  const std::string trace =
      std::string("Elgin_IniciaFechamentoCupom : ") + (tipo == "A" ? "a" : "d") + " - $ - " + valor;
  ultimoValor = valor;
  etapa = trace;
  Step start(
      Call(trace, Elgin_IniciaFechamentoCupom, tipo, "$", valor).Show(a.mostraErros).Probe(record::CouponState));
  return rule.Attempt(start);
}

// Copy pass: every movement into the working copy, in change order; the paid total.
double CopyMovements(rtl::ClientDataSet& mov, rtl::ClientDataSet& tef, bool vendaTef) {
  double pago = 0;
  mov.SetIndexName("idxNRORDTROCO");
  for (mov.First(); !mov.Eof(); mov.Next()) {
    tef.Append();
    for (const char* campo : kMovementFields) CopyField(mov, tef, campo);
    tef.Post();
    const std::string tipoMov = mov.FieldByName("IDTIPOMOVIVE").AsString();
    if (tipoMov == "E" || (tipoMov == "T" && vendaTef)) pago += mov.FieldByName("VRMOVIVEND").AsFloat();
  }
  return pago;
}

// The printer name and kind of a payment row: from the host's payment types,
// or, for a type missing there, the movement's own printer name and kind
// (never whatever type the table happened to be on).
std::pair<std::string, std::string> PaymentMethod(rtl::ClientDataSet& tef, rtl::ClientDataSet& receb) {
  const std::string banco = tef.FieldByName("CDBANCARTCR").AsString();
  const std::string cdBusca = tef.FieldByName(banco.empty() ? "CDTIPORECE" : "CDTIPORECEORIG").AsString();
  if (receb.Active() && receb.Locate("CDTIPORECE", rtl::Variant(cdBusca)))
    return {receb.FieldByName("NMTIPORECE").AsString(), receb.FieldByName("IDTIPORECE").AsString()};
  std::string nome = tef.FieldByName("DSIMPFISCAL").AsString();
  if (rtl::Trim(nome).empty()) nome = tef.FieldByName("NMTIPORECE").AsString();
  return {nome, tef.FieldByName("IDTIPORECE").AsString()};
}

bool IsPayment(rtl::ClientDataSet& tef) {
  const std::string tipoMov = tef.FieldByName("IDTIPOMOVIVE").AsString();
  return tipoMov == "E" || tipoMov == "T";
}

// Payment pass, in the order of the host's payment-type index. The host's
// packet defines "idxIDTIPORECE" with whatever fields give its payment order;
// a packet without it cannot be paid (the dataset raises).
//
// A payment whose answer was lost is decided from the printer's payment list:
// the method's accumulated value grows as the printer registers the payment.
// When that list cannot be read either and it was the LAST payment, it is not
// sent again here: the end of the closing, which the printer refuses while
// the coupon is not fully paid, tells whether it was taken.
bool PayMovements(const ClosingArgs& a, ClosingRule& rule, PaymentTotals& p, std::string& etapa) {
  TdtmElgin01100& dm = DataModule();
  rtl::ClientDataSet& tef = dm.cdsMovCaixaTef;
  tef.SetIndexName("idxIDTIPORECE");
  int restantes = 0;
  for (tef.First(); !tef.Eof(); tef.Next()) restantes += IsPayment(tef) ? 1 : 0;
  for (tef.First(); !tef.Eof(); tef.Next()) {
    if (!IsPayment(tef)) continue;
    const bool ultimo = --restantes == 0;
    const auto [nome, tipoRece] = PaymentMethod(tef, dm.cdsRecebAux);
    const double valor = tef.FieldByName("VRMOVIVEND").AsFloat();
    if (tipoRece == "8") p.convenio = true;
    if (tipoRece == "9" || tipoRece == "A") p.totConsumidor += valor;

    const std::string stNome = rtl::Copy(nome, 1, 16);
    const std::string stValor = FormatAmount("#0.00", valor);
    p.ultimoValor = stValor;
    etapa = "Elgin_EfetuaFormaPagamento : ";
    etapa.append(stNome).append(" - ").append(stValor);
    const Command envio = Call(etapa, Elgin_EfetuaFormaPagamento, stNome, stValor)
                              .Show(a.mostraErros)
                              .Probe(record::Payments);
    Step pagamento(envio);
    bool semResposta = false;
    const bool pago = rule.Attempt([&] {
      if (pagamento.Run()) return true;
      if (!ultimo || !pagamento.Unanswered()) return false;
      // The last payment without an answer: the operator is asked as after
      // any failed step, and a yes (or a sale without the question) leaves
      // it to the end of the closing.
      if (rule.TransferSale() && boNUtilTaa && !rule.AskOperator()) return false;
      semResposta = true;
      return true;
    });
    if (!pago) return false;
    if (semResposta) p.semResposta = envio;
    p.algumAceito = true;
  }
  tef.SetIndexName("idxNRORDTROCO");
  return true;
}

// The packets checked and copied before anything reaches the printer: the
// copy pass, then a dry run of what the payment pass reads (the payment
// index, each payment's method and amount). Empty when the sale can be paid;
// otherwise what is wrong with the host's packets, for the operator.
std::string PreparePayments(bool vendaTef, PaymentTotals& p) {
  TdtmElgin01100& dm = DataModule();
  rtl::ClientDataSet& tef = dm.cdsMovCaixaTef;
  if (!dm.cdsMovCaixa.Active() || !tef.Active()) return "a tabela de movimentos (elemento 13) nao foi informada";
  try {
    p.pago = CopyMovements(dm.cdsMovCaixa, tef, vendaTef);
  } catch (const std::exception& e) {
    return std::string("a tabela de movimentos nao pode ser lida: ") + e.what();
  }
  try {
    tef.SetIndexName("idxIDTIPORECE");
  } catch (const std::exception&) {
    return "a tabela de movimentos nao define o indice idxIDTIPORECE";
  }
  int pagamentos = 0;
  try {
    for (tef.First(); !tef.Eof(); tef.Next()) {
      if (!IsPayment(tef)) continue;
      ++pagamentos;
      PaymentMethod(tef, dm.cdsRecebAux);
      tef.FieldByName("VRMOVIVEND").AsFloat();
    }
  } catch (const std::exception& e) {
    return std::string("um pagamento nao pode ser lido: ") + e.what();
  }
  if (pagamentos == 0) return "a tabela de movimentos nao tem pagamentos (movimentos E ou T)";
  return "";
}

// Packets the closing cannot use: logged, collected for the host and shown as
// the printer's refusals are; the coupon stays in its sale stage.
void RefusePackets(const ClosingArgs& a, const std::string& problema) {
  const std::string text = "FechaCupom: " + problema + "; nada foi enviado a impressora.";
  DebugLog("ERRO!!! " + text);
  stMensagemTaa += " " + text;
  if (a.mostraErros) Notice(text, hostlib::tmInformacao, a.esquemaCor);
  boClieUtil = false;
}

// Whether the printer holds a payment whose answer was lost: it ends the
// coupon only once it is fully paid, so an end it refuses means the payment
// is missing. This attempt shows nothing and leaves the operator texts as
// they were; true when the coupon ended.
bool EndIfFullyPaid(const Command& termino) {
  const std::string mensagens = stMensagemTaa;
  Step attempt(Command(termino).Show(false));
  if (attempt.Run() || attempt.Registered()) return true;
  stMensagemTaa = mensagens;
  return false;
}

// The end of the closing; a payment whose answer was lost is sent again
// first when the printer shows it did not take it.
bool EndClosing(const ClosingArgs& a, ClosingRule& rule, PaymentTotals& p, const std::string& rodape) {
  const Command termino = Call("Elgin_TerminaFechamentoCupom", Elgin_TerminaFechamentoCupom, rodape)
                              .Show(a.mostraErros)
                              .Probe(record::CouponState);
  if (p.semResposta) {
    if (EndIfFullyPaid(termino)) return true;
    Step pendente(*p.semResposta);
    if (!rule.Attempt([&] { return pendente.Run(); })) return false;
  }
  Step end(termino);
  return rule.Attempt([&] { return end.Run(); });
}

// The footer inputs that depend on the payments, then the footer itself.
std::string BuildFooter(const ClosingArgs& a, const PaymentTotals& p, rtl::StringList* stlCupomTef) {
  TdtmElgin01100& dm = DataModule();
  const char sep = rtl::Settings().DecimalSeparator;
  const double doLiquido = hostlib::RoundDec(p.pago, 2) - hostlib::RoundDec(a.troco, 2);
  std::string stLiquido = FormatAmount(".00", doLiquido);
  if (stLiquido == std::string(1, sep) + "00") stLiquido = p.ultimoValor;
  const double nLiquido = rtl::StrToFloatDef(stLiquido, doLiquido);
  StateProgrammeInputs d{
      FormataCNPJ(a.cnpj), rtl::FormatDateTime("ddmmyyyy", rtl::Now()), stLiquido, "00", a.cpfConsumidor, a.icmsDf};
  if (auto pos = stLiquido.find(sep); pos != std::string::npos) {
    d.inteiro = stLiquido.substr(0, pos);
    d.fracao = rtl::Copy(stLiquido, static_cast<int64_t>(pos) + 2, 2);
  }
  std::string stLinhaImposto = TaxLine(a.impostoAprox, nLiquido);
  std::string stTextoEstado, dsMensCpfCup = a.linhaCpf;
  for (const StateProgramme& e : kStateProgrammes) {
    if (a.uf != e.uf) continue;
    stTextoEstado = e.texto(d);
    stLinhaImposto += e.linhaImposto(d);
    dsMensCpfCup += e.marcaCpf;
  }
  const bool boUtilTefRed = a.modoTef == "T" && a.tefEmCurso && a.tefNoRodape == "S";
  const std::string stLinhaSenha = a.senha.empty() ? "" : Msg("SENHA") + a.senha;
  return Formata_rodape(8, a.tipoVendaCons, dsMensCpfCup, stLinhaImposto, stTextoEstado, a.uf, a.cdCliente,
                        a.nmCliente, a.cdConsumidor, a.nmConsumidor, a.cdOperador, a.nmOperador, TableLine(a.mesa),
                        stLinhaSenha, a.cpfConsumidor, a.rodape20, a.rodape39, a.observacao, a.nrEcf, a.cerMesa,
                        a.cooMesa, a.modoSaldo, p.convenio ? "1" : "2", p.totConsumidor, a.precoSubsidio,
                        a.saldoAnterior, &dm.cdsSaldCred, &dm.cdsFamiliaSaldo, &dm.cdsEmprestimo, boUtilTefRed,
                        stlCupomTef, LoyaltyText("DOTZ", a.pontos), LoyaltyText("DOTZ_EXTRAS", a.pontosExtras),
                        a.linhaConsumidor);
}

// The change as a non-fiscal receipt; its outcome does not change the result.
void RegisterChange(const ClosingArgs& a) {
  const std::string stValor = FormatAmount("0.00", a.troco);
  const std::string stNome = rtl::Copy(Msg("Dinheiro"), 1, 16);
  Send(Call("Elgin_RecebimentoNaoFiscal : " + IdTotParcCV + " - " + stValor + " - " + stNome,
            Elgin_RecebimentoNaoFiscal, IdTotParcCV, stValor, stNome)
           .Show(a.mostraErros));
}

// A packet of the host's list as the closing reads it: the element, the
// table it is, the fields read from it (the first `indexed` of them by the
// index the module defines on it), and whether this sale reads it.
struct PacketCheck {
  size_t elemento;
  const char* tabela;
  std::vector<const char*> campos;
  size_t indexados = 0;
  const char* indice = nullptr;
};

// What is wrong with the packet at `v` for the closing; empty when it can
// be used, or when there is none (an empty or null element: the table stays
// closed). `lido`: this sale reads its fields.
std::string PacketProblem(const rtl::Variant& v, const PacketCheck& p, bool lido) {
  if (v.IsNull() || v.IsEmpty()) return "";
  const std::string qual = "a tabela de " + std::string(p.tabela) + " (elemento " + std::to_string(p.elemento) + ")";
  rtl::ClientDataSet ds;
  try {
    ds.SetData(v);
  } catch (const std::exception& e) {
    return qual + " nao e um pacote de dados: " + e.what();
  }
  if (!lido) return "";
  std::string faltam;
  bool doIndice = false;
  for (size_t i = 0; i < p.campos.size(); ++i) {
    if (ds.FindField(p.campos[i])) continue;
    faltam += (faltam.empty() ? "" : ", ") + std::string(p.campos[i]);
    doIndice = doIndice || i < p.indexados;
  }
  if (faltam.empty()) return "";
  std::string indexados;
  for (size_t i = 0; i < p.indexados; ++i) indexados += (i ? " e " : "") + std::string(p.campos[i]);
  return qual + " nao tem " + (faltam.find(',') == std::string::npos ? "o campo " : "os campos ") + faltam +
         (doIndice ? "; o indice " + std::string(p.indice) + " precisa de " + indexados : "");
}

// Every packet is checked before any is loaded and before the printer is
// touched: a packet the closing could not read halfway (after payments
// were on the printer) is refused here, naming its element and fields.
// Empty when all can be used; then the data module holds them.
std::string LoadPackets(TdtmElgin01100& dm, const ClosingArgs& a) {
  const bool saldoTotal = a.tipoVendaCons == "1" && a.modoSaldo == "0";
  const bool saldoFamilias = a.tipoVendaCons == "1" && a.modoSaldo == "1";
  std::vector<const char*> movimento = {"NRORDTROCO", "DTHRINCMOV"};
  for (const char* c : kMovementFields)
    if (std::string(c) != "NRORDTROCO" && std::string(c) != "DTHRINCMOV") movimento.push_back(c);
  const struct {
    const rtl::Variant& v;
    PacketCheck p;
    bool lido;
    rtl::ClientDataSet& ds;
  } pacotes[] = {
      {a.movimentos, {13, "movimentos", movimento, 2, "idxNRORDTROCO"}, true, dm.cdsMovCaixa},
      {a.tiposRece, {14, "tipos de recebimento", {"CDTIPORECE", "NMTIPORECE", "IDTIPORECE"}}, true, dm.cdsRecebAux},
      {a.saldosCred,
       {32, "saldos das familias", saldoTotal ? std::vector<const char*>{"VRSALDCONFAM"}
                                              : std::vector<const char*>{"CDFAMILISALD", "NMFAMILISALD", "VRSALDCONFAM"}},
       saldoTotal || saldoFamilias, dm.cdsSaldCred},
      {a.saldosFamilia, {33, "saldos das familias no dia", {"CDFAMILISALD", "VRSALDCONFAM"}}, saldoFamilias,
       dm.cdsFamiliaSaldo},
      {a.emprestimos, {34, "emprestimos das familias", {"CDFAMILISALD", "IDTPMOVEXT", "VRMOVEXTCONS"}}, saldoFamilias,
       dm.cdsEmprestimo},
  };
  for (const auto& e : pacotes)
    if (std::string problema = PacketProblem(e.v, e.p, e.lido); !problema.empty()) return problema;
  // No packet (an empty or null element) leaves a dataset closed and empty.
  for (const auto& e : pacotes) e.ds.SetData(e.v);
  dm.cdsMovCaixaTef.SetData(a.movimentos);
  if (dm.cdsMovCaixaTef.Active()) dm.cdsMovCaixaTef.EmptyDataSet();
  return "";
}

// Leave the working copy as a finished pass would: nothing half edited, back
// on its own index (so the next call can load its packet).
void TidyWorkingCopy(TdtmElgin01100& dm) {
  for (rtl::ClientDataSet* ds : {&dm.cdsMovCaixa, &dm.cdsMovCaixaTef})
    if (ds->State() == rtl::DataSetState::Edit || ds->State() == rtl::DataSetState::Insert) ds->Cancel();
  try {
    dm.cdsMovCaixaTef.SetIndexName("idxNRORDTROCO");
  } catch (const std::exception&) {
    dm.cdsMovCaixaTef.SetIndexName("");
  }
}

// The closing on the printer: its start, the payments, the footer and the
// end, then the change receipt. Stopped: a step failed for good (the result is
// then not written).
// `etapa` names the step under way, for the report of a closing that stops.
enum class ClosingEnd { Done, Stopped };
ClosingEnd CloseOnPrinter(const ClosingArgs& a, ClosingRule& rule, PaymentTotals& p, rtl::StringList* stlCupomTef, std::string& etapa) {
  if (!StartClosing(a, rule, p.ultimoValor, etapa)) return ClosingEnd::Stopped;
  if (!PayMovements(a, rule, p, etapa)) return ClosingEnd::Stopped;
  etapa = "o rodape";
  const std::string rodape = BuildFooter(a, p, stlCupomTef);
  // Ended once at least one payment was accepted; otherwise the coupon stays
  // open in its payment stage.
  etapa = "Elgin_TerminaFechamentoCupom";
  if (p.algumAceito && !EndClosing(a, rule, p, rodape)) return ClosingEnd::Stopped;
  etapa = "Elgin_RecebimentoNaoFiscal";
  if (a.registraTroco) RegisterChange(a);
  return ClosingEnd::Done;
}

// A closing that stopped after it reached the printer: where and why go to
// the debug log, and to the host's messages unless the printer's answer
// already told them (what this call added to stMensagemTaa is the why).
void ReportStop(const std::string& etapa, const std::string& mensagensAntes, const std::string& erro) {
  const bool contado = stMensagemTaa != mensagensAntes;
  std::string motivo = erro;
  if (motivo.empty() && contado && stMensagemTaa.size() > mensagensAntes.size())
    motivo = rtl::Trim(stMensagemTaa.substr(mensagensAntes.size()));
  const std::string text = "FechaCupom: o fechamento parou em " + etapa + (motivo.empty() ? "" : ": " + motivo);
  ImpFisDebug("ERRO!!! " + text);
  if (!contado || !erro.empty()) stMensagemTaa += " " + text;
}

}  // namespace

bool FechaCupom(const rtl::Variant& arParams, rtl::StringList* stlCupomTef, rtl::Variant& oleRetorno) {
  const ClosingArgs a = ReadArguments(arParams);
  TdtmElgin01100& dm = DataModule();
  ClosingRule rule(a);
  PaymentTotals p;

  // The host's packets, all of them, before the printer is touched.
  std::string problema = LoadPackets(dm, a);
  if (problema.empty()) problema = PreparePayments(rule.TransferSale(), p);
  bool pronto = problema.empty();
  if (!pronto) {
    RefusePackets(a, problema);
    TidyWorkingCopy(dm);
  } else {
    if (a.modoTef == "T" && a.tefEmCurso && !rule.Attempt([&] { return Estado_Imp(a.esquemaCor, true, false); }))
      return false;
    const std::string mensagensAntes = stMensagemTaa;
    std::string etapa;
    try {
      if (CloseOnPrinter(a, rule, p, stlCupomTef, etapa) == ClosingEnd::Stopped) {
        ReportStop(etapa, mensagensAntes, "");
        return false;
      }
    } catch (const std::exception& e) {
      pronto = false;
      ReportStop(etapa, mensagensAntes, e.what());
      TidyWorkingCopy(dm);
    }
  }

  // The host creates the result array with at least four elements; a
  // smaller one (or none) is grown so that the results always fit.
  if (!oleRetorno.IsArray()) oleRetorno = rtl::Variant::CreateArray(4);
  if (oleRetorno.ArrayLength() < 4) oleRetorno.Items().resize(4);
  oleRetorno[0] = rtl::Variant(rule.inTefErro);
  oleRetorno[1] = rtl::Variant(a.eco42);
  oleRetorno[2] = rtl::Variant(std::string());
  oleRetorno[3] = rtl::Variant(stMensagemTaa);
  if (!stMensagemTaa.empty()) boClieUtil = false;
  return pronto;
}

}  // namespace Qor01100

