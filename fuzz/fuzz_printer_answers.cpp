// The printer's answers as the operations read them: every entry point of
// "Elgin.dll" is bound to a stand-in that answers from the fuzzer's bytes
// (return code, text written into the blanks the module handed over,
// integer outputs), and one operation that parses answers runs against it.
// Operations may raise the run-time's errors to the host; anything else
// escaping, a crash or a sanitizer report is a fault.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <tuple>

#include <unistd.h>

#include "driver/operations.h"
#include "driver/state.h"
#include "fiscal/operations.h"
#include "hostlib/dialogs.h"
#include "fuzz/fuzz_module_env.h"
#include "platform/env.h"
#include "platform/errors.h"
#include "programming/operations.h"
#include "session/operations.h"
#include "vendor/elgin.h"

namespace {

FuzzedDataProvider* answers = nullptr;

// Return codes a printer library gives: executed, communication failure, errors.
const int kCodes[] = {1, 1, 1, 1, 0, -1, -2, -3, -4, -5, -6, -8, -18, -19, -20, -24, -25, -27, 2, 99};

void Out(char* p) {
  // Only answer buffers: the module hands them over as blanks.
  const size_t n = std::strlen(p);
  for (size_t i = 0; i < n; ++i)
    if (p[i] != ' ') return;
  const std::string text = answers->ConsumeRandomLengthString(n);
  std::memcpy(p, text.data(), text.size());  // never past the blanks
  if (text.size() < n && answers->ConsumeBool()) p[text.size()] = '\0';
}
void Out(int* p) { *p = answers->ConsumeIntegral<int>(); }
template <class T>
void Out(T) {}

template <class... A>
int Answer(A... a) {
  (Out(a), ...);
  return kCodes[answers->ConsumeIntegralInRange<size_t>(0, std::size(kCodes) - 1)];
}

#define ELGIN_ENTRY(name, types, params, args, kinds, ...) \
  int QOR_STDCALL Fake_##name params { return std::apply([](auto... a) { return Answer(a...); }, std::make_tuple args); }
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY

void BindFakes() {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) Qor01100::name = &Fake_##name;
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
}

rtl::ConfigurableEnv& Env() {
  static rtl::ConfigurableEnv* env = [] {
    rtl::ConfigurableEnv* e = &FuzzModuleEnv("qor-fuzz-answers-");
    hostlib::SetDialogHandler([](const hostlib::DialogRequest&) { return false; });
    return e;
  }();
  return *env;
}

void PaymentTypes(FuzzedDataProvider& in, rtl::ClientDataSet& ds) {
  for (const char* f : {"CDTIPORECE", "NMTIPORECE", "DSIMPFISCAL", "IDTIPORECE", "IDMOSTRARECE", "IDTPBUTTON",
                        "CDFPIMPFIS", "IDEMIVALE"})
    ds.AddFieldDef(f, rtl::FieldType::String, 20);
  ds.CreateDataSet();
  for (int r = in.ConsumeIntegralInRange(0, 4); r > 0; --r) {
    ds.Append();
    ds.FieldByName("CDTIPORECE").SetAsString(std::to_string(r));
    ds.FieldByName("DSIMPFISCAL").SetAsString(in.ConsumeRandomLengthString(20));
    ds.FieldByName("IDTIPORECE").SetAsString(in.ConsumeBool() ? "B" : "1");
    ds.FieldByName("IDMOSTRARECE").SetAsString(in.ConsumeBool() ? "S" : "");
    ds.FieldByName("IDTPBUTTON").SetAsString("5");
    ds.Post();
  }
}

void RunOne(FuzzedDataProvider& in) {
  std::string a, b, c, d, e;
  rtl::TDateTime dt = 0;
  switch (in.ConsumeIntegralInRange(0, 14)) {
    case 0: Qor01100::GetValue(in.ConsumeRandomLengthString(40)); break;
    case 1: Qor01100::CarregaTotalizador(a, b, c, d, e, "001", 1, nullptr); break;
    case 2: {
      rtl::ClientDataSet rates;
      Qor01100::CarregaAliquota("", &rates);
      break;
    }
    case 3: {
      rtl::ClientDataSet types;
      PaymentTypes(in, types);
      Qor01100::CarregaRecebimento("", "001", 1, &types);
      break;
    }
    case 4: Qor01100::BuscaTotGer("", a); break;
    case 5: Qor01100::NumeroReducoes("", a); break;
    case 6: Qor01100::VendaBruta("", a); Qor01100::Cancelamentos("", b); Qor01100::Descontos("", c); break;
    case 7: Qor01100::ContadorCupomFiscalMFD("", a); Qor01100::ContadorRelatoriosGerenciaisMFD("", b); break;
    case 8: Qor01100::InfImpTerm_Elgin(a, b, c); break;
    case 9: Qor01100::Modelo_Impressora("", a, b, c); break;
    case 10: Qor01100::DataMoviFiscal(""); Qor01100::Data_Imp("", a); break;
    case 11: Qor01100::VerificaData("001", dt, "050326", in.ConsumeRandomLengthString(8), in.ConsumeBool()); break;
    case 12: Qor01100::Estado_HorVerao(""); break;
    case 13: {
      rtl::Variant params = rtl::Variant::Record({{"CDFILIAL", rtl::Variant("0001")}});
      Qor01100::Carrega_Dados_Impressora(params);
      break;
    }
    default: Qor01100::ImpressoraOk("001", in.ConsumeBool(), in.ConsumeBool(), in.ConsumeBool()); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Env();
  FuzzedDataProvider in(data, size);
  answers = &in;
  BindFakes();
  Qor01100::stRetorno.clear();
  Qor01100::stMensagemTaa.clear();
  try {
    RunOne(in);
  } catch (const rtl::Exception&) {
    // raised to the host, as the operations' conventions allow
  }
  answers = nullptr;
  return 0;
}
