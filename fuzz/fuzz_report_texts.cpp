// The host's texts of the report and voucher operations: whatever the host
// hands over reaches the printer's library whole and in order, in pieces the
// printer takes (at most 620 characters a call), whatever the printer
// answers to each piece; and an operation that answers true had every piece
// taken. The printer's library is a stand-in that records every text it is
// given and answers each call from the fuzzer's bytes (executed, refused,
// no answer); the operator answers from the bytes too.
//
// Checked, per operation (the transformations named are the documented ones):
//   Relatorio_Generico     the pieces joined = the text without its accents (RemoveAcentos);
//   Cupom_Troca, Conferencia_Formatada
//                          the pieces joined = the text;
//   ImprimeTef             answering true, the last pass's pieces joined = the vouchers'
//                          copies in order (first and second copies in the linked voucher
//                          or after an earlier failure, second copies alone in a report;
//                          in a report without their accents);
//   Cabecalho              the pieces joined = the header built from the host's values,
//                          which holds the till whole and the branch as its 48 columns show it;
//   Formata_rodape         the footer begins with the host's CPF message, tax line and state
//                          text, and holds every line of the reduced card voucher, in order.
// A host text has no NUL byte (the library's texts end at one): NUL bytes of
// the input are taken out.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "coupon/operations.h"
#include "driver/state.h"
#include "hostlib/dialogs.h"
#include "nonfiscal/operations.h"
#include "fuzz/fuzz_module_env.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "platform/stringlist.h"
#include "receipts/operations.h"
#include "receipts/receipt_texts.h"
#include "vendor/elgin.h"

namespace {

FuzzedDataProvider* answers = nullptr;

// What reached the library: the texts of the printing calls, in order, with
// the code each call answered.
struct Sent {
  std::string text;
  int code;
};
std::vector<Sent> sent;

int Code() {
  // Mostly executed; sometimes refused or not answered.
  static const int kCodes[] = {1, 1, 1, 1, 1, 1, 1, 0, -1, -2};
  return answers->remaining_bytes() == 0 ? 1
                                         : kCodes[answers->ConsumeIntegralInRange<size_t>(0, std::size(kCodes) - 1)];
}

void Out(char* p) {
  // A text answer (the coupon number): six digits in the blanks handed over.
  const size_t n = std::strlen(p);
  for (size_t i = 0; i < n; ++i)
    if (p[i] != ' ') return;
  const char* number = "000042";
  std::memcpy(p, number, std::min<size_t>(n, 6));
}
void Out(int* p) { *p = 0; }
template <class T>
void Out(T) {}

template <class... A>
int Answer(A... a) {
  (Out(a), ...);
  return Code();
}

int QOR_STDCALL Printing(char* text) {
  const int code = Code();
  sent.push_back({text != nullptr ? std::string(text) : std::string(), code});
  return code;
}

int QOR_STDCALL Status(int* ack, int* st1, int* st2) {
  *ack = 6;
  *st1 = 0;
  *st2 = 0;
  return answers->remaining_bytes() == 0 || answers->ConsumeIntegralInRange(0, 15) != 0 ? 1 : 0;
}

#define ELGIN_ENTRY(name, types, params, args, kinds, effect, widths) \
  int QOR_STDCALL Fake_##name params { return std::apply([](auto... a) { return Answer(a...); }, std::make_tuple args); }
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY

void BindFakes() {
#define ELGIN_ENTRY(name, types, params, args, kinds, effect, widths) Qor01100::name = &Fake_##name;
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  Qor01100::Elgin_RelatorioGerencial = &Printing;
  Qor01100::Elgin_UsaComprovanteNaoFiscalVinculado = &Printing;
  Qor01100::Elgin_VerificaEstadoImpressora = &Status;
}

void Env() { FuzzModuleEnv("qor-fuzz-texts-"); }

// The operator: yes or no from the bytes, then no (a person gives up).
int yesLeft = 0;
bool Operator(const hostlib::DialogRequest& r) {
  if (!r.question || yesLeft == 0 || answers->remaining_bytes() == 0) return false;
  if (!answers->ConsumeBool()) return false;
  --yesLeft;
  return true;
}

std::string HostText(FuzzedDataProvider& in, size_t max) {
  std::string s = in.ConsumeRandomLengthString(max);
  std::string out;
  out.reserve(s.size());
  for (char c : s)
    if (c != '\0') out += c;
  return out;
}

std::string Joined(size_t from = 0) {
  std::string all;
  for (size_t i = from; i < sent.size(); ++i) all += sent[i].text;
  return all;
}

// Every piece within what one call takes; an answer of true had every piece
// of text taken (an empty call is a report's opening, not text).
void CheckPieces(bool result) {
  for (const Sent& s : sent) {
    if (s.text.size() > 620) std::abort();
    if (result && !s.text.empty() && s.code != 1) std::abort();
  }
}

void Must(bool ok) {
  if (!ok) std::abort();
}

void GenericReport(FuzzedDataProvider& in) {
  const std::string text = HostText(in, 4000);
  const bool r = Qor01100::Relatorio_Generico("001", "", "", text, "SERIE", "");
  CheckPieces(r);
  Must(Joined() == Qor01100::RemoveAcentos(text));
}

void Exchange(FuzzedDataProvider& in) {
  const std::string text = HostText(in, 4000);
  const bool r = Qor01100::Cupom_Troca("001", "0001", "01", text);
  CheckPieces(r);
  Must(Joined() == text);  // the report's opening sends an empty text
}

void Check(FuzzedDataProvider& in) {
  const std::string text = HostText(in, 4000);
  std::string cupom;
  const bool r = Qor01100::Conferencia_Formatada("001", "0001", "01", "", "", cupom, text);
  CheckPieces(r);
  Must(Joined() == text);
}

void Vouchers(FuzzedDataProvider& in) {
  rtl::StringList primeira, segunda, data, hora;
  std::vector<std::string> p, s;
  for (int n = in.ConsumeIntegralInRange(1, 3); n > 0; --n) p.push_back(HostText(in, 700));
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) s.push_back(HostText(in, 700));
  for (const auto& x : p) primeira.Add(x);
  for (const auto& x : s) segunda.Add(x);
  const bool linked = in.ConsumeBool();
  const int32_t erro = in.ConsumeBool() ? 2 : 0;
  yesLeft = 3;
  const bool r = Qor01100::ImprimeTef("", "0001", "01", "001", &primeira, &segunda, &data, &hora, "000042", "Cartao",
                                      "", 0, 10, erro, linked ? "N" : "S", "");
  if (!r) return;
  // The last pass: first and second copies in the linked voucher or in
  // fallback mode (an earlier failure, or an opening that failed and was
  // tried again), second copies alone in a report.
  std::string both, second;
  for (size_t i = 0; i < p.size(); ++i) {
    both += primeira[static_cast<int>(i)];
    if (i < s.size()) {
      both += segunda[static_cast<int>(i)];
      second += segunda[static_cast<int>(i)];
    }
  }
  // The pieces of that pass are the last ones sent (the openings send empty texts).
  const std::string all = Joined();
  auto endsWith = [&](const std::string& e) {
    return all.size() >= e.size() && all.compare(all.size() - e.size(), e.size(), e) == 0;
  };
  // In a report the module takes the accents out (RemoveAcentos); in the
  // linked voucher the text goes as it is.
  const bool voucher = linked && erro != 2;
  Must((voucher && endsWith(both)) || endsWith(Qor01100::RemoveAcentos(both)) ||
       (!linked && erro != 2 && endsWith(Qor01100::RemoveAcentos(second))));
  for (const Sent& x : sent)
    if (x.text.size() > 620) std::abort();
}

void Header(FuzzedDataProvider& in) {
  const std::string filial = HostText(in, 80), caixa = HostText(in, 20);
  Qor01100::Cabecalho("", "001", filial, caixa, "", "");
  for (const Sent& s : sent)
    if (s.text.size() > 620) std::abort();
  const std::string built = Qor01100::ReportHeaderText(filial, caixa);
  Must(Joined() == built);
  Must(built.find("Caixa: " + caixa) != std::string::npos);
  Must(built.find(filial.substr(0, 48)) != std::string::npos);
}

void Footer(FuzzedDataProvider& in) {
  const std::string cpf = HostText(in, 120), imposto = HostText(in, 120), estado = HostText(in, 120);
  const std::string tipo = in.PickValueInArray({"0", "1", "2"});
  rtl::StringList tef;
  for (int n = in.ConsumeIntegralInRange(0, 3); n > 0; --n) tef.Add(HostText(in, 200));
  const int32_t budget = in.ConsumeIntegralInRange<int32_t>(-5, 60);
  const std::string footer = Qor01100::Formata_rodape(
      budget, "0", cpf, imposto, estado, "SP", "", "", "", "", "1", "JOAO", "", "", "", "", "", "", "001", "", "", "0",
      tipo, 0, 0, 0, nullptr, nullptr, nullptr, true, &tef, "", "", false);
  const std::string head = cpf + "\n" + imposto + "\n" + (estado.empty() ? "" : estado + "\n");
  Must(footer.compare(0, head.size(), head) == 0);
  if (tipo != "2") return;
  // Every line of the reduced voucher, whatever the budget.
  size_t at = head.size();
  for (const std::string& entrada : tef.Lines())
    for (std::string resto = entrada; !resto.empty();) {
      const size_t lf = resto.find('\n');
      const std::string linha = resto.substr(0, lf) + "\n";
      resto.erase(0, lf == std::string::npos ? resto.size() : lf + 1);
      const size_t found = footer.find(linha, at);
      Must(found != std::string::npos);
      at = found + linha.size();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Env();
  FuzzedDataProvider in(data, size);
  answers = &in;
  BindFakes();
  hostlib::SetDialogHandler(Operator);
  Qor01100::boNUtilTaa = true;
  Qor01100::stMensagemTaa.clear();
  sent.clear();
  try {
    switch (in.ConsumeIntegralInRange(0, 5)) {
      case 0: GenericReport(in); break;
      case 1: Exchange(in); break;
      case 2: Check(in); break;
      case 3: Vouchers(in); break;
      case 4: Header(in); break;
      default: Footer(in); break;
    }
  } catch (const rtl::Exception&) {
    // raised to the host, as the operations' conventions allow
  }
  answers = nullptr;
  return 0;
}
