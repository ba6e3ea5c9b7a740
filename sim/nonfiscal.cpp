// Non-fiscal documents: receipts against named totalizers, cash supply and
// withdrawal, management reports, linked vouchers, barcodes; drawer, cutter.
#include <algorithm>

#include "sim/core/text.h"
#include "sim/printer.h"

namespace ecfsim {

using nlohmann::json;

namespace {
const std::string kRule(48, '-');
}

int Printer::Elgin_RecebimentoNaoFiscal(const Call& c) {
  if (int r = CheckNewDocument(true)) return r;
  auto idx = ParseInt(c.In(0), 2);
  if (!idx || *idx >= kNamedTotalizers) return Refuse(kBadParam, kSt1Syntax);
  if (Trim(st_.prog.nfNames[*idx]).empty()) return Refuse(kTotalizerNotProgrammed);
  auto v = ParseAmount(c.In(1), 2, 2);
  if (!v || *v <= 0) return Refuse(kBadParam, kSt1Syntax);
  int slot = FindPayment(c.In(2));
  if (slot < 0) return Refuse(kPaymentNotProgrammed);
  StartDay();
  int64_t coo = NextCoo();
  int64_t gnf = ++st_.counters.gnf;
  NamedValue& t = st_.day.nf[*idx];
  t.value += *v;
  ++t.count;
  st_.day.nonFiscal += *v;
  st_.day.payments[slot] += *v;
  LastSale last;
  last.kind = "CNF";
  last.coo = coo;
  last.movementDate = st_.movementDate;
  last.linkable = true;
  Payment p;
  p.slot = slot;
  p.name = st_.prog.payNames[slot];
  p.amount = *v;
  last.payments.push_back(p);
  last.total = *v;
  st_.last = last;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(gnf, 6) + " COO:" + Zeros(coo, 6)));
  l.push_back(Center("COMPROVANTE NAO-FISCAL", 48));
  l.push_back(Spread(Zeros(*idx, 2) + " " + Trim(st_.prog.nfNames[*idx]), Money(*v), 48));
  l.push_back(Spread("TOTAL R$", Money(*v), 48));
  l.push_back(Spread(p.name, Money(*v), 48));
  for (auto& x : Trailer()) l.push_back(x);
  FinishDocument("CNF", coo,
                 {{"gnf", gnf}, {"totalizer", *idx}, {"totalizer_name", Cp1252ToUtf8(Trim(st_.prog.nfNames[*idx]))},
                  {"amount", *v}, {"payments", json::array({{{"name", Cp1252ToUtf8(p.name)}, {"amount", *v}}})}},
                 l);
  return Ok();
}

int Printer::Elgin_Suprimento(const Call& c) {
  if (int r = CheckNewDocument(true)) return r;
  auto v = ParseAmount(c.In(0), 2, 0);
  if (!v || *v <= 0) return Refuse(kBadParam, kSt1Syntax);
  if (Trim(c.In(1)).empty()) return Refuse(kBadParam, kSt1Syntax);
  int slot = FindPayment(c.In(1));
  if (slot < 0) return Refuse(kPaymentNotProgrammed);
  StartDay();
  int64_t coo = NextCoo();
  int64_t gnf = ++st_.counters.gnf;
  st_.day.supply += *v;
  ++st_.day.supplyCount;
  st_.day.nonFiscal += *v;
  st_.day.payments[slot] += *v;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(gnf, 6) + " COO:" + Zeros(coo, 6)));
  l.push_back(Center("COMPROVANTE NAO-FISCAL", 48));
  l.push_back(Spread("SUPRIMENTO", Money(*v), 48));
  l.push_back(Spread(st_.prog.payNames[slot], Money(*v), 48));
  for (auto& x : Trailer()) l.push_back(x);
  FinishDocument("SU", coo,
                 {{"gnf", gnf}, {"amount", *v},
                  {"payments", json::array({{{"name", Cp1252ToUtf8(st_.prog.payNames[slot])}, {"amount", *v}}})}},
                 l);
  return Ok();
}

int Printer::Elgin_Sangria(const Call& c) {
  if (int r = CheckNewDocument(true)) return r;
  auto v = ParseAmount(c.In(0), 2, 0);
  if (!v || *v <= 0) return Refuse(kBadParam, kSt1Syntax);
  StartDay();
  int64_t coo = NextCoo();
  int64_t gnf = ++st_.counters.gnf;
  st_.day.withdrawal += *v;
  ++st_.day.withdrawalCount;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(gnf, 6) + " COO:" + Zeros(coo, 6)));
  l.push_back(Center("COMPROVANTE NAO-FISCAL", 48));
  l.push_back(Spread("SANGRIA", Money(*v), 48));
  for (auto& x : Trailer()) l.push_back(x);
  FinishDocument("SA", coo, {{"gnf", gnf}, {"amount", *v}}, l);
  return Ok();
}

// ---------------------------------------------------------------- management reports

namespace {
constexpr size_t kMaxBlock = 620;  // characters of text per printing command
}

void Printer::OpenReport(int slot) {
  StartDay();
  OpenDoc d;
  d.kind = "RG";
  d.coo = NextCoo();
  d.gnf = ++st_.counters.gnf;
  d.grg = ++st_.counters.grg;
  d.reportSlot = slot;
  d.cer = ++st_.prog.reportCer[slot];
  d.openedAt = Iso(Now());
  doc_ = d;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(d.gnf, 6) + " COO:" + Zeros(d.coo, 6)));
  l.push_back(Spread("GRG:" + Zeros(d.grg, 6), "CER:" + Zeros(d.cer, 4), 48));
  l.push_back(Center("RELATORIO GERENCIAL", 48));
  l.push_back(Center(Trim(st_.prog.reportNames[slot]), 48));
  l.push_back(kRule);
  PrintDoc(l);
  Touch();
}

int Printer::Elgin_AbreRelatorioGerencial(const Call&) {
  if (int r = CheckNewDocument(true)) return r;
  OpenReport(0);
  return Ok();
}

int Printer::Elgin_RelatorioGerencial(const Call& c) {
  std::string text = c.In(0);
  if (text.size() > kMaxBlock) return Refuse(kBadParam, kSt1Syntax);
  if (!doc_) {
    if (int r = CheckNewDocument(true)) return r;
    OpenReport(0);
  } else if (doc_->kind != "RG") {
    return Refuse(kExecError);
  } else if (int r = CheckPaper()) {
    return r;
  }
  if (!text.empty()) PrintDoc(PrintLines(text, 48));
  return Ok();
}

int Printer::Elgin_FechaRelatorioGerencial(const Call&) {
  if (!doc_ || doc_->kind == "CF") return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  if (doc_->kind == "RG") {
    CloseOpenDocument("RG", {{"gnf", doc_->gnf}, {"grg", doc_->grg}, {"cer", doc_->cer},
                             {"report", Cp1252ToUtf8(Trim(st_.prog.reportNames[doc_->reportSlot]))}});
  } else {
    CloseOpenDocument("CCD", {{"gnf", doc_->gnf}, {"cdc", doc_->cdc}, {"linked_coo", doc_->linkedCoo},
                              {"payment", Cp1252ToUtf8(doc_->paymentName)}, {"amount", doc_->amount}});
  }
  return Ok();
}

// ---------------------------------------------------------------- linked vouchers

int Printer::Elgin_AbreComprovanteNaoFiscalVinculado(const Call& c) {
  if (int r = CheckNewDocument(true)) return r;
  LastSale& last = st_.last;
  if (last.kind.empty() || !last.linkable) return Refuse(kExecError);
  std::string cooText = Trim(c.In(2));
  if (!cooText.empty()) {
    auto coo = ParseInt(cooText, 9);
    if (!coo) return Refuse(kBadParam, kSt1Syntax);
    if (*coo != last.coo) return Refuse(kExecError);
  }
  int slot = FindPayment(c.In(0));
  if (slot < 0) return Refuse(kPaymentNotProgrammed);
  auto p = std::find_if(last.payments.begin(), last.payments.end(), [&](const Payment& x) { return x.slot == slot; });
  if (p == last.payments.end() || !st_.prog.payLinkable[slot]) return Refuse(kExecError);
  int64_t remaining = p->amount - p->linked;
  std::string vText = Trim(c.In(1));
  int64_t v = remaining;
  if (!vText.empty()) {
    auto parsed = ParseAmount(vText, 2, 2);
    if (!parsed || *parsed <= 0) return Refuse(kBadParam, kSt1Syntax);
    v = *parsed;
  }
  if (v <= 0 || v > remaining) return Refuse(kExecError);
  p->linked += v;
  OpenDoc d;
  d.kind = "CCD";
  d.coo = NextCoo(true);
  d.gnf = ++st_.counters.gnf;
  d.cdc = ++st_.counters.cdc;
  d.linkedCoo = last.coo;
  d.paymentName = p->name;
  d.amount = v;
  d.openedAt = Iso(Now());
  doc_ = d;
  std::vector<std::string> l = Header();
  l.push_back(CounterLine("GNF:" + Zeros(d.gnf, 6) + " COO:" + Zeros(d.coo, 6)));
  l.push_back(Spread("CDC:" + Zeros(d.cdc, 4), "", 48));
  l.push_back(Center("COMPROVANTE CREDITO OU DEBITO", 48));
  l.push_back(Spread("COO do documento vinculado:", Zeros(last.coo, 6), 48));
  l.push_back(Spread(Trim(p->name), Money(v), 48));
  l.push_back(kRule);
  PrintDoc(l);
  Touch();
  return Ok();
}

int Printer::Elgin_UsaComprovanteNaoFiscalVinculado(const Call& c) {
  if (!doc_ || doc_->kind != "CCD") return Refuse(kExecError);
  std::string text = c.In(0);
  if (text.size() > kMaxBlock) return Refuse(kBadParam, kSt1Syntax);
  if (int r = CheckPaper()) return r;
  if (!text.empty()) PrintDoc(PrintLines(text, 48));
  return Ok();
}

int Printer::Elgin_FechaComprovanteNaoFiscalVinculado(const Call& c) {
  if (!doc_ || doc_->kind != "CCD") return Refuse(kExecError);
  return Elgin_FechaRelatorioGerencial(c);
}

// ---------------------------------------------------------------- barcodes

namespace {

bool AllOf(std::string_view s, std::string_view set) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [&](char ch) { return set.find(ch) != std::string_view::npos; });
}

// The check digit of EAN/UPC codes (weights 3 and 1 from the right).
int GtinCheck(std::string_view digits) {
  int sum = 0, w = 3;
  for (size_t i = digits.size(); i-- > 0;) {
    sum += (digits[i] - '0') * w;
    w = w == 3 ? 1 : 3;
  }
  return (10 - sum % 10) % 10;
}

bool GtinOk(std::string_view code, size_t bare) {
  if (!IsDigits(code)) return false;
  if (code.size() == bare) return true;
  if (code.size() != bare + 1) return false;
  return GtinCheck(code.substr(0, bare)) == code.back() - '0';
}

}  // namespace

int Printer::PrintBarcode(const Call& c, const char* symbology) {
  std::string code = Trim(c.In(0));
  std::string s = symbology;
  const std::string digits = "0123456789";
  bool ok = false;
  if (s == "EAN-13") ok = GtinOk(code, 12);
  else if (s == "EAN-8") ok = GtinOk(code, 7);
  else if (s == "UPC-A") ok = GtinOk(code, 11);
  else if (s == "UPC-E") ok = IsDigits(code) && code.size() >= 6 && code.size() <= 8;
  else if (s == "ISBN") ok = (code.size() == 10 && IsDigits(code.substr(0, 9)) && AllOf(code.substr(9), "0123456789X")) ||
                             (code.size() == 13 && IsDigits(code));
  else if (s == "ITF") ok = IsDigits(code) && code.size() % 2 == 0;
  else if (s == "MSI") ok = IsDigits(code);
  else if (s == "PLESSEY") ok = AllOf(code, "0123456789ABCDEF");
  else if (s == "CODABAR") ok = AllOf(code, "0123456789-$:/.+ABCD");
  else if (s == "CODE-39") ok = AllOf(code, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ -.$/+%");
  else ok = !code.empty() && std::all_of(code.begin(), code.end(), [](char ch) {
    return static_cast<unsigned char>(ch) >= 32 && static_cast<unsigned char>(ch) < 127;
  });
  if (!ok || code.size() > 40) return Refuse(kBadParam, kSt1Syntax);
  if (!doc_ || doc_->kind == "CF") return Refuse(kExecError);
  if (int r = CheckPaper()) return r;
  PrintDoc({Center("||||| " + s + " |||||", 48), Center(code, 48)});
  return Ok();
}

int Printer::Elgin_CodigoBarrasCODABARMFD(const Call& c) { return PrintBarcode(c, "CODABAR"); }
int Printer::Elgin_CodigoBarrasCODE128MFD(const Call& c) { return PrintBarcode(c, "CODE-128"); }
int Printer::Elgin_CodigoBarrasCODE39MFD(const Call& c) { return PrintBarcode(c, "CODE-39"); }
int Printer::Elgin_CodigoBarrasCODE93MFD(const Call& c) { return PrintBarcode(c, "CODE-93"); }
int Printer::Elgin_CodigoBarrasEAN13MFD(const Call& c) { return PrintBarcode(c, "EAN-13"); }
int Printer::Elgin_CodigoBarrasEAN8MFD(const Call& c) { return PrintBarcode(c, "EAN-8"); }
int Printer::Elgin_CodigoBarrasISBNMFD(const Call& c) { return PrintBarcode(c, "ISBN"); }
int Printer::Elgin_CodigoBarrasITFMFD(const Call& c) { return PrintBarcode(c, "ITF"); }
int Printer::Elgin_CodigoBarrasMSIMFD(const Call& c) { return PrintBarcode(c, "MSI"); }
int Printer::Elgin_CodigoBarrasPLESSEYMFD(const Call& c) { return PrintBarcode(c, "PLESSEY"); }
int Printer::Elgin_CodigoBarrasUPCAMFD(const Call& c) { return PrintBarcode(c, "UPC-A"); }
int Printer::Elgin_CodigoBarrasUPCEMFD(const Call& c) { return PrintBarcode(c, "UPC-E"); }

// ---------------------------------------------------------------- drawer and cutter

int Printer::Elgin_AcionaGaveta(const Call&) {
  drawer_ = true;
  return Ok();
}

int Printer::Elgin_VerificaEstadoGaveta(const Call& c) {
  c.PutInt(0, drawer_ ? 1 : 0);
  return Ok();
}

int Printer::Elgin_AcionaGuilhotinaMFD(const Call& c) {
  if (c.Int(0) != 0 && c.Int(0) != 1) return Refuse(kBadParam, kSt1Syntax);
  if (int r = CheckPaper()) return r;
  ++cuts_;
  return Ok();
}

}  // namespace ecfsim
