// The document gate: every operation that opens a management report or a
// linked voucher (or finishes one the host opened) is run once cleanly and
// then with a fault at each of its printer calls in turn, and with every
// operator answer; after each run the simulated printer must hold no open
// document and the next coupon must open. A document left open would block
// the till: every sale would answer "Erro de execução na função.".
//
// Faults, one class per test (ctest runs them side by side): a
// communication failure (code 0), an execution error (code -1), a library
// that throws, an answer lost after the printer acted, a command the
// printer did not execute although it answered 1; the fault lands on the
// n-th call of the operation (n = 1 .. the clean run's count; under the
// sanitizers every third). The class "HostPacketError" runs the operations
// that take a host packet with one lacking a field the printing reads.
// Operator answers: every run answers the questions "no"; a run that asked
// is repeated answering "yes" to the first one, two and three questions.
// Each test prints its figures (runs, documents left open, next coupons
// refused) and fails on any document left open or coupon refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/state.h"
#include "module/operations.h"
#include "platform/stringlist.h"
#include "tests/support/module_helpers.h"

#if defined(__SANITIZE_ADDRESS__)
#define QOR_DOCGATE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QOR_DOCGATE_SANITIZED 1
#endif
#endif

namespace docgate {
namespace {

using qortest::MakeTable;
using qortest::Row;
using rtl::ClientDataSet;
using rtl::Variant;
const rtl::FieldType S = rtl::FieldType::String, F = rtl::FieldType::Float;

// ---------------------------------------------------------------- host data

Variant Packet(const std::vector<qortest::Column>& cols, const std::vector<Row>& rows) {
  ClientDataSet ds;
  MakeTable(ds, cols, rows);
  return ds.Data();
}

Variant OpenTables(bool withNumber) {
  if (!withNumber) return Packet({{"DSCOMANDA", S, 20}, {"DTHRABERMESA", S, 20}}, {{"RES 4", "05/03/2026 19:00"}});
  return Packet({{"DSCOMANDA", S, 20}, {"NRMESA", S, 6}, {"DTHRABERMESA", S, 20}},
                {{"RES 4", "0004", "05/03/2026 19:00"}, {"DLV 7", "", "05/03/2026 20:00"}});
}

Variant BillItems(bool whole) {
  if (!whole) return Packet({{"CDARVPROD", S, 10}, {"NMPRODUTO", S, 40}}, {{"101", "PICANHA"}});
  return Packet({{"CDARVPROD", S, 10}, {"NMPRODUTO", S, 40}, {"QTPRODCOMVEN", F}, {"VRPRECCOMVEN", F}},
                {{"101", "PICANHA", 1.5, 30.0}, {"102", "CERVEJA", 2.0, 9.5}});
}

Variant SaleProducts(bool whole) {
  if (!whole) return Packet({{"CDARVPROD", S, 20}, {"NMPRODUTO", S, 40}}, {{"P1", "CAFE"}});
  return Packet({{"CDARVPROD", S, 20}, {"NMPRODUTO", S, 40}, {"QTPRODCOMVEN", F}, {"VRPRECCOMVEN", F}},
                {{"P1", "CAFE", 1.0, 4.0}, {"P2", "PAO DE QUEIJO", 2.0, 3.0}});
}

Variant Balances() {
  return Packet({{"CDFAMILISALD", S, 10}, {"NMFAMILISALD", S, 40}, {"VRSALDCONFAM", F}},
                {{"F1", "PAI", 100.0}, {"F2", "FILHO", 0.0}});
}

Variant Transfers(bool whole) {
  if (!whole) return Packet({{"NRMESA", S, 10}, {"NRMESADSCOMORIT", S, 10}, {"CDPRODUTO", S, 10}}, {{"1", "2", "101"}});
  return Packet({{"NRMESA", S, 10}, {"NRMESADSCOMORIT", S, 10}, {"CDPRODUTO", S, 10}, {"NMPRODUTO", S, 40},
                 {"QTPRODCOMVEN", F}, {"VRPRECCOMVEN", F}},
                {{"1", "2", "101", "CAFE", 1.0, 4.5}, {"3", "2", "102", "PAO", 2.0, 1.5}});
}

void Registry(ClientDataSet& ds, bool whole) {
  if (!whole) {
    MakeTable(ds, {{"CDPROD", S, 10}, {"NMPROD", S, 30}, {"STQTDE", F}}, {{"101", "CAFE", 2.0}});
    return;
  }
  MakeTable(ds, {{"CDPROD", S, 10}, {"NMPROD", S, 30}, {"STQTDE", F}, {"STVALOR", F}},
            {{"101", "CAFE", 2.0, 3.5}, {"7", "PAO", 1.5, 1.1}});
}

void ProductsSold(ClientDataSet& ds, bool whole) {
  if (!whole) {
    MakeTable(ds, {{"CDPRODIMPFIS", S, 20}, {"CDPRODUTO", S, 20}, {"NMPRODUTO", S, 50}}, {{"1", "1", "ARROZ"}});
    return;
  }
  MakeTable(ds,
            {{"CDPRODIMPFIS", S, 20}, {"CDPRODUTO", S, 20}, {"NMPRODUTO", S, 50}, {"QTPRODVEND", F}, {"VRTOTAL", F},
             {"VRACRE", F}, {"VRDESC", F}, {"IDTPIMPOSFIS", S, 1}, {"VRPEALIMPFIS", F}},
            {{"1", "1", "ARROZ", 1.0, 60.0, 0.0, 0.0, "T", 18.0}, {"2", "2", "FEIJAO", 2.0, 20.0, 0.5, 0.0, "F", 0.0}});
}

Variant Identification(bool whole) {
  std::vector<qortest::Column> cols;
  Row row;
  for (const char* f : {"NRLAUDO", "NRCNPJVELMARA", "DSRAZAOSOCIDRU", "DSENDEVELMARA", "DSTELEFONEDRU", "NMRESPONSIST",
                        "DSNOMECOMERCIAL", "DSVERSAOKALVORA", "NMEXEKALVORA"}) {
    if (!whole && std::string(f) == "NMEXEKALVORA") continue;
    cols.push_back({f, S, 60});
    row.push_back(std::string("X"));
  }
  return Packet(cols, {row});
}

// The withdrawal receipt's and the closings' tables.
struct Shift {
  ClientDataSet movFecha, withdrawals, prodAux, operSup, movTot, movAbertura, prodDia, extrato, tipos;
  ClientDataSet redz, forma, imposto, totNFis;
  std::string cupomDia;
  bool reduziu = false;
  explicit Shift(bool whole) {
    MakeTable(movFecha, {{"NRENVELOPE", S, 6}, {"NMTIPORECE", S, 40}, {"VRFECHAINF", F}, {"VRFECHADIG", F}},
              {{"000123", "DINHEIRO", 100.0, 90.0}, {"", "CARTAO", 50.0, 50.0}});
    if (whole)
      MakeTable(operSup, {{"CDSUPERVISOR", S, 10}, {"NMSUPERVISOR", S, 40}, {"CDOPERADOR", S, 10}, {"NMOPERADOR", S, 40}},
                {{"07", "MARIA", "12", "JOAO"}});
    else
      MakeTable(operSup, {{"NMSUPERVISOR", S, 40}}, {{"MARIA"}});
    ProductsSold(prodAux, true);
    ProductsSold(prodDia, true);
    MakeTable(extrato, {{"VRCARGACREDITO", F}}, {{10.0}});
    MakeTable(tipos, {{"CDTIPORECE", S, 3}, {"NMTIPORECE", S, 40}}, {{"001", "DINHEIRO"}});
    MakeTable(movTot, {{"IDTIPOREG", S, 1}, {"NMTIPORECE", S, 40}, {"VRSAIDA", F}}, {{"1", "SANGRIA DINHEIRO", 80.0}});
    MakeTable(movAbertura, {{"IDTIPOREG", S, 1}, {"NMTIPORECE", S, 40}, {"VRSAIDA", F}},
              {{"1", "SANGRIA DINHEIRO", 80.0}});
  }
  bool Run(bool boSangria, const std::string& emiRelProd) {
    return Qor01100::GeraReciboSangria("COM1", "SERIE", "0001", "01", "0001", 1, cupomDia, &movFecha, &withdrawals,
                                       &prodAux, &operSup, &movTot, &movAbertura, &prodDia, &extrato, 0.0, true,
                                       false, false, &redz, &forma, &imposto, &totNFis, reduziu, &tipos, emiRelProd,
                                       "N", "N", "S", "001", boSangria, false, true, "TROCO", "FIM DO TURNO");
  }
};

std::string Lines(int n, int width, char from) {
  std::string out;
  for (int i = 0; i < n; ++i) out += std::string(width - 1, static_cast<char>(from + i % 26)) + "\n";
  return out;
}

bool Tef(const std::string& tefRed, const std::string& cupom, int32_t erro) {
  rtl::StringList p, s, d, h;
  p.Add("VIA ESTABELECIMENTO\nL2\nL3\nL4\nL5\n");
  p.Add("T2 VIA 1\n");
  s.Add("VIA CLIENTE\nC2\n");
  s.Add("T2 VIA 2\n");
  return Qor01100::ImprimeTef("", "0001", "002", "005", &p, &s, &d, &h, cupom, "Cartao de credito Visa", "", 0, 25,
                              erro, tefRed, "");
}

// ---------------------------------------------------------------- scenarios

constexpr const char* kCard = "Cartao de credit";  // linkable, 16 characters
constexpr const char* kAccount = "Conta Consumidor";  // linkable

void CardReceipt() { ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000002500", kCard, "")); }
void AccountReceipt() { ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", "00000000005000", kAccount, "")); }
void HostReport() { ASSERT_TRUE(Qor01100::Relatorio_Gerencial_Imp("", "", "", "", "")); }
void HostVoucher() {
  AccountReceipt();
  ASSERT_TRUE(Qor01100::Abre_Comp_NFiscalVinc("", kAccount, "00000000000100", ""));
}

struct Scenario {
  const char* name;
  std::function<void()> prepare;              // the printer's documents before the operation
  std::function<void(bool whole)> run;        // the operation; `whole`: the host's packets are complete
  bool takesPacket;                           // the operation reads a host packet that may lack a field
};

const std::string kText = Lines(12, 48, 'a');

// The card vouchers and the whole texts printed as one report.
std::vector<Scenario> VoucherAndReportScenarios() {
  const std::string texto = kText;
  return {
      {"ImprimeTef, linked voucher", CardReceipt, [](bool) { Tef("N", "", 0); }, false},
      {"ImprimeTef, management report", [] {}, [](bool) { Tef("S", "000001", 0); }, false},
      {"ImprimeTef, after an earlier failure", [] {}, [](bool) { Tef("S", "000001", 2); }, false},
      {"ImprimeMesasAbertas", [] {},
       [](bool whole) { Qor01100::ImprimeMesasAbertas(nullptr, "0001", "002", "", "SERIE", OpenTables(whole)); }, true},
      {"Relatorio_Generico", [] {},
       [texto](bool) { Qor01100::Relatorio_Generico("001", "", "", texto + "Relat\xF3rio\n", "SERIE", ""); }, false},
      {"Conferencia_Formatada", [] {},
       [texto](bool) {
         std::string cupom;
         Qor01100::Conferencia_Formatada("001", "0001", "002", "", "", cupom, texto);
       },
       false},
      {"Cupom_Troca", [] {}, [texto](bool) { Qor01100::Cupom_Troca("001", "0001", "002", texto + texto); }, false},
      {"Abertura_Mesa", [] {},
       [](bool whole) {
         Qor01100::Abertura_Mesa("", "", "", "12", "JOAO", "05/03/2026 20:15", BillItems(whole), 1, 30, 5, 3, 4, 64,
                                 0.5);
       },
       true},
  };
}

// The withdrawal receipt, the closing reports and the product report.
std::vector<Scenario> ClosingScenarios() {
  return {
      {"GeraReciboSangria, withdrawal receipt", [] {},
       [](bool whole) { Shift(whole).Run(true, ""); }, true},
      {"GeraReciboSangria, shift closing with the product report", [] {},
       [](bool whole) { Shift(whole).Run(false, "S"); }, true},
      {"Relatorio_Produto", [] {},
       [](bool whole) {
         ClientDataSet produtos;
         ProductsSold(produtos, whole);
         std::string cupom;
         bool ctrl = true;
         Qor01100::Relatorio_Produto("", "A", "SERIE", "0001", "01", cupom, &produtos, "S", "S", "001", ctrl);
       },
       true},
  };
}

// The customer account documents, some printed into the host's own document.
std::vector<Scenario> AccountScenarios() {
  const std::string texto = kText;
  return {
      {"Comp_DebitoCons", AccountReceipt,
       [](bool whole) {
         Qor01100::Comp_DebitoCons("", SaleProducts(whole), 10, "Conta Consumidor Empresa", "12345", "MARIA", "0042",
                                   "EMPRESA", "77", 50, 3, 9, "0", "", "", "", "", Variant());
       },
       true},
      {"Imp_CompVenCred", AccountReceipt,
       [](bool whole) {
         Qor01100::Imp_CompVenCred("", SaleProducts(whole), Balances(), 10, "Conta Consumidor Credito", "12345",
                                   "MARIA", "0042", "EMPRESA", "", 50, 1, 2, "0");
       },
       true},
      {"Compr_CredPessoal", [] {},
       [](bool) {
         ClientDataSet pagamentos;
         MakeTable(pagamentos, {{"VRMOVIVEND", F}, {"IDTIPORECE", S, 1}, {"NMTIPORECE", S, 40}, {"NMTIPORECEORIG", S, 40}},
                   {{30.0, "1", "Troco", "Dinheiro"}});
         std::string cupom, gnf;
         Qor01100::Compr_CredPessoal("", "", "", "0001", "002", "", cupom, gnf, &pagamentos, 20.5, "MARIA", "123", "",
                                     "", "", "", "", "", "", "", "", "", "", "", true, "SILVA", "", "");
       },
       false},
      {"Cancela_Cred_Pessoal", [] {},
       [](bool) {
         std::string cupom;
         Qor01100::Cancela_Cred_Pessoal("", "", "0001", "002", "", cupom, "123", "0042", "MARIA", "9", "Dinheiro",
                                        15.5, 5, "SILVA");
       },
       false},
      {"Saldo_CredPessoal, into the host's voucher", HostVoucher,
       [](bool) {
         ClientDataSet saldos;
         saldos.SetData(Balances());
         Qor01100::Saldo_CredPessoal("", "", "", "SILVA", &saldos);
       },
       false},
      {"ImprimeProdBloq, into the host's voucher", HostVoucher,
       [](bool whole) {
         ClientDataSet bloq;
         if (whole)
           MakeTable(bloq, {{"NMFILIAL", S, 40}, {"CDLOJA", S, 4}, {"CDPRODUTO", S, 10}, {"CDPROTECLADO", S, 10},
                            {"NMPRODUTO", S, 40}},
                     {{"FILIAL", "L1", "123", "45", "SORVETE"}});
         else
           MakeTable(bloq, {{"NMFILIAL", S, 40}, {"CDLOJA", S, 4}, {"CDPRODUTO", S, 10}}, {{"FILIAL", "L1", "123"}});
         Qor01100::ImprimeProdBloq("", "", "", &bloq);
       },
       true},
      {"ImpSaldo, into the host's report", HostReport,
       [](bool whole) {
         ClientDataSet fam;
         if (whole)
           MakeTable(fam, {{"NMFAMILISALD", S, 40}, {"SALDOFAM", F}}, {{"MEMBRO 1", 1.0}, {"MEMBRO 2", 2.0}});
         else
           MakeTable(fam, {{"NMFAMILISALD", S, 40}}, {{"MEMBRO 1"}});
         Qor01100::ImpSaldo("", &fam, "0099", "JOAO");
       },
       true},
      {"SaldoNegativo", [] {},
       [](bool) {
         ClientDataSet tipos, saldos;
         MakeTable(tipos, {{"CDTIPOCONS", S, 5}, {"NMTIPOCONS", S, 40}}, {{"T2", "PROFESSORES"}});
         MakeTable(saldos, {{"CDTIPOCONS", S, 5}, {"NMCONSUMIDOR", S, 40}, {"SALDONEGATIVO", F}},
                   {{"T2", "ANA", -10.5}, {"T2", "CAIO", -2.0}});
         Qor01100::SaldoNegativo("0001", "", &tipos, &saldos, "FILIAL", "002", "", "");
       },
       false},
      {"Extrato, into the host's report", HostReport,
       [texto](bool) { Qor01100::Extrato(texto + texto, "001"); }, false},
  };
}

// The restaurant's reports and the fiscal application's identification.
std::vector<Scenario> RestaurantScenarios() {
  const std::string texto = kText;
  return {
      {"RegistroVenda", [] {},
       [](bool whole) {
         ClientDataSet itens;
         Registry(itens, whole);
         Qor01100::RegistroVenda("", "", "", &itens, "0001");
       },
       true},
      {"imprimeProdutosTransf", [] {},
       [](bool whole) { Qor01100::imprimeProdutosTransf("0001", "01", "", "SERIE", Transfers(whole)); }, true},
      {"imprimeTipoRece", [] {},
       [texto](bool) { Qor01100::imprimeTipoRece("", "", "", "SERIE", texto); }, false},
      {"ImprimeDadosPaf", [] {},
       [](bool whole) {
         Variant out;
         ClientDataSet ecfs;
         MakeTable(ecfs, {{"NRSERIEIMPRPERS", S, 20}}, {{"ECFSIM00000000000001"}});
         Qor01100::ImprimeDadosPaf(Variant(std::vector<Variant>{Variant(std::string("0001")), Variant(std::string("01")),
                                                                Variant(std::string("")), Identification(whole),
                                                                ecfs.Data()}),
                                   out);
       },
       true},
  };
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> all;
  for (auto group : {VoucherAndReportScenarios, ClosingScenarios, AccountScenarios, RestaurantScenarios})
    for (Scenario& sc : group()) all.push_back(std::move(sc));
  return all;
}
// ---------------------------------------------------------------- the gate

struct FaultClass {
  const char* name;
  const char* kind;  // "" : no printer fault (the host's packet lacks a field)
  int code;
};

void PrintTo(const FaultClass& f, std::ostream* os) { *os << f.name; }

const FaultClass kClasses[] = {
    {"CommFailure", "fail", 0},        {"ExecError", "fail", -1},      {"LibraryThrows", "raise", 0},
    {"LostAnswer", "lost_answer", 0},  {"NotExecuted", "not_executed", 0}, {"HostPacketError", "", 0},
};

constexpr int kMaxYes = 3;

class DocumentGate : public qortest::ModuleTest, public ::testing::WithParamInterface<FaultClass> {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    if (HasFatalFailure()) return;
    UseRamDisk("qor-docgate-");  // thousands of runs
  }
  void TearDown() override {
    sim.fault_call(0, "fail", 0);
    ModuleTest::TearDown();
  }

  // A fresh printer programmed for the scenarios, the module as a host
  // finds it after the start, and the scenario's documents.
  void Fresh(const Scenario& sc, bool journal) {
    sim.fault_call(0, "fail", 0);
    sim.set_journal("");
    ASSERT_EQ(sim.reset(), 0);
    Qor01100::ResetStateForTesting();
    delete Qor01100::dtmElgin01100;
    Qor01100::dtmElgin01100 = nullptr;
    ASSERT_TRUE(BindPrinter());
    ASSERT_EQ(sim.program(R"({"payment_methods": [{"slot": 2, "name": "Cartao de credit", "linkable": true},
                                                  {"slot": 3, "name": "Rel Gerencial", "linkable": true},
                                                  {"slot": 4, "name": "Conta Consumidor", "linkable": true}],
                              "nonfiscal_totalizers": [{"index": 0, "name": "RECEBIMENTO"},
                                                       {"index": 1, "name": "COMPRA CREDITO"},
                                                       {"index": 2, "name": "CANC CREDITO"}]})"),
              0);
    TdtmElgin01100& dm = Qor01100::DataModule();
    dm.IdTotRelatorio = "00";
    dm.IdTotCompCred = "01";
    dm.IdTotCancCred = "02";
    dm.cdsFamiliaSaldo.SetData(Variant());
    dm.cdsEmprestimo.SetData(Variant());
    sc.prepare();
    if (HasFatalFailure()) return;
    dialogs.clear();
    answers.clear();
    if (journal) {
      ClearJournal();
      sim.set_journal(journalPath.string().c_str());
    }
  }

  struct Run {
    size_t calls = 0;
    int questions = 0;
  };

  // One run: the fault (if any) on the n-th printer call of the operation,
  // the first `yes` questions answered yes. Records what it left.
  Run Once(const Scenario& sc, bool whole, const FaultClass* fault, long n, int yes, const std::string& label) {
    Run r;
    Fresh(sc, fault == nullptr);
    if (HasFatalFailure()) return r;
    for (int i = 0; i < yes; ++i) answers.push_back(true);
    if (fault != nullptr) {
      EXPECT_EQ(sim.fault_call(n, fault->kind, fault->code), 0);
    }
    try {
      sc.run(whole);
    } catch (...) {
      // The operations whose contract lets an error reach the host; what
      // counts here is what the printer holds.
    }
    sim.fault_call(0, "fail", 0);
    if (fault == nullptr) r.calls = Journal().size();
    for (const auto& d : dialogs) r.questions += d.request.question ? 1 : 0;
    ++runs_;
    const nlohmann::json doc = SimState()["document"];
    if (!doc.is_null()) {
      ++leftOpen_;
      Violation(label + ": a document is left open: " + doc.dump().substr(0, 200));
    }
    Variant cupom = qortest::CouponRecord();
    if (!Qor01100::AbreCupom(cupom)) {
      ++refused_;
      Violation(label + ": the next coupon did not open");
    }
    return r;
  }

  void Violation(const std::string& v) {
    if (violations_.size() < 40) violations_.push_back(v);
    ++violationCount_;
  }

  // A run with "no" to every question and, when it asked, again with "yes"
  // to the first one, two and three questions.
  void EveryAnswer(const Scenario& sc, bool whole, const FaultClass* fault, long n, const std::string& label) {
    const Run first = Once(sc, whole, fault, n, 0, label + ", no");
    if (first.questions == 0) return;
    for (int yes = 1; yes <= kMaxYes; ++yes)
      Once(sc, whole, fault, n, yes, label + ", yes to " + std::to_string(yes) + " question(s)");
  }

  int runs_ = 0, leftOpen_ = 0, refused_ = 0, violationCount_ = 0;
  std::vector<std::string> violations_;
};

int Stride() {
#ifdef QOR_DOCGATE_SANITIZED
  return 3;
#else
  return 1;
#endif
}

TEST_P(DocumentGate, NoDocumentIsLeftOpen) {
  const FaultClass& fc = GetParam();
  const std::vector<Scenario> scenarios = Scenarios();
  const int stride = Stride();
  int operations = 0;
  for (const Scenario& sc : scenarios) {
    SCOPED_TRACE(sc.name);
    if (*fc.kind == '\0') {
      if (!sc.takesPacket) continue;
      ++operations;
      EveryAnswer(sc, false, nullptr, 0, std::string(sc.name) + " (a host packet lacking a field)");
      continue;
    }
    ++operations;
    // The clean run, the operator saying yes (the operation goes all the way):
    // how many calls it makes, and that it leaves nothing open either.
    const Run clean = Once(sc, true, nullptr, 0, kMaxYes, std::string(sc.name) + " (clean)");
    ASSERT_GT(clean.calls, 0u) << sc.name;
    for (long n = 1; n <= static_cast<long>(clean.calls); ++n) {
      if ((n - 1) % stride != 0) continue;
      EveryAnswer(sc, true, &fc, n, std::string(sc.name) + " (" + fc.name + " at call " + std::to_string(n) + ")");
      if (HasFatalFailure()) return;
    }
  }
  std::cout << "[ document gate ] " << fc.name << ": " << operations << " operations, " << runs_ << " runs"
            << (stride > 1 ? " (every " + std::to_string(stride) + "th call faulted)" : "") << ", " << leftOpen_
            << " documents left open, " << refused_ << " next coupons refused\n";
  std::string list;
  for (const std::string& v : violations_) list += "  " + v + "\n";
  EXPECT_EQ(violationCount_, 0) << list;
}

INSTANTIATE_TEST_SUITE_P(Sessions, DocumentGate, ::testing::ValuesIn(kClasses),
                         [](const ::testing::TestParamInfo<FaultClass>& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace docgate
