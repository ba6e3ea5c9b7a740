// What the entry list (vendor/elgin_entries.def) says each entry point does,
// held against the printer: one the list says only reads, or never touches
// the port, leaves the printer's record and its paper tape as they were, in
// every state of the day; one it says registers something leaves its mark
// on them when the printer accepts it.
#include <deque>
#include <functional>
#include <map>
#include <tuple>
#include <utility>

#include "sim/tests/sim_fixture.h"
#include "vendor/elgin_facts.h"

namespace simtest {
namespace {

using nlohmann::json;

// The buffers and integer outputs of one call, alive until the call returns.
struct Args {
  std::deque<std::vector<char>> texts;
  std::deque<int> outs;
};

template <typename T>
T Get(Args& a, const std::string& input);
template <>
char* Get<char*>(Args& a, const std::string& input) {
  a.texts.emplace_back(input.begin(), input.end());
  a.texts.back().push_back('\0');
  return a.texts.back().data();
}
template <>
int Get<int>(Args&, const std::string& input) {
  return input.empty() ? 0 : std::stoi(input);
}
template <>
int* Get<int*>(Args& a, const std::string&) {
  a.outs.push_back(0);
  return &a.outs.back();
}
template <>
bool Get<bool>(Args&, const std::string& input) {
  return input == "true";
}

// Calls `fn` with one input text per parameter, converted to its kind.
template <typename... A>
int CallWith(int (*fn)(A...), const std::vector<std::string>& in) {
  Args a;
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    std::tuple<A...> args{Get<A>(a, I < in.size() ? in[I] : std::string())...};
    return std::apply(fn, args);
  }(std::index_sequence_for<A...>{});
}

using Caller = int (*)(const std::vector<std::string>&);

const std::map<std::string, Caller>& Callers() {
  static const std::map<std::string, Caller> m = {
#define ELGIN_ENTRY(name, ...) {#name, [](const std::vector<std::string>& in) { return CallWith(&name, in); }},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  };
  return m;
}

// What the printer keeps: its state without the session (port, paper,
// cover, status of the last command), which no entry point's record is.
json Record(json state) {
  for (const char* k : {"session", "status", "tape", "state_dir"}) state.erase(k);
  return state;
}

class EntryListTest : public SimTest {
 protected:
  // The inputs of a call of `e`: answers as blanks of the listed width, the
  // texts a caller gives where the printer needs them, else empty.
  std::vector<std::string> Inputs(const elgin::EntryFacts& e) const {
    const std::string day = "05/03/2026", file = (dir / "out.bin").string(), mfd = (dir / "mfd.txt").string();
    const std::map<std::string_view, std::vector<std::string>> given = {
        {"RFD_ConvertedaMFDData", {day, day}},
        {"RFD_ConvertedaMFD", {day}},
        {"Elgin_DadosSintegra", {day, day}},
        {"Elgin_DownloadMFD", {mfd, "1", day, day, "1"}},
        {"Elgin_FormatoDadosMFD", {mfd, (dir / "ato.txt").string(), "0", "1", day, day, "1"}},
        {"Elgin_LeMemoriasBinario", {file, "", "true"}},
        {"Elgin_ExecutaLeitura", {"LeMeioPagamento", "CodMeioPagamentoProgram=01"}},
        {"Elgin_LeNomeRelatorioGerencial", {"01"}},
    };
    std::vector<std::string> in(e.kinds.size());
    if (auto it = given.find(e.name); it != given.end()) std::copy(it->second.begin(), it->second.end(), in.begin());
    for (size_t i = 0; i < in.size(); ++i)
      if (e.Answers(static_cast<int>(i))) in[i] = std::string(e.widths[i] == elgin::kAnyWidth ? 2000 : e.widths[i], ' ');
    return in;
  }

  int Call(const elgin::EntryFacts& e) { return Callers().at(std::string(e.name))(Inputs(e)); }

  // Every entry point the list says never changes the printer, called once:
  // the record and the tape stay as they were.
  void ReadersChangeNothing(const char* when) {
    for (const elgin::EntryFacts& e : elgin::kEntries) {
      if (e.ChangesPrinter() || e.name == "Elgin_FechaPortaSerial") continue;
      SCOPED_TRACE(std::string(when) + ": " + std::string(e.name));
      const json before = Record(State());
      const std::string tape = Tape();
      Call(e);
      EXPECT_EQ(Record(State()), before);
      EXPECT_EQ(Tape().size(), tape.size());
    }
  }
};

TEST_F(EntryListTest, WhatOnlyReadsChangesNothingAtAnyTimeOfTheDay) {
  ReadersChangeNothing("day not started");
  OpenCouponWith({{"00", "1,000", "10,00"}, {"00", "2,000", "3,50"}});
  ReadersChangeNothing("coupon open");
  ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0")), 1);
  ReadersChangeNothing("closing started");
  ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S("20,00")), 1);
  ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("Obrigado")), 1);
  ASSERT_EQ(Elgin_Suprimento(S("50,00"), S("Dinheiro")), 1);
  ReadersChangeNothing("after a sale and a supply");
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  ReadersChangeNothing("after the reduction");
}

// A day made of registering commands, each of which the printer accepts.
TEST_F(EntryListTest, WhatRegistersLeavesItsMark) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> day = {
      {"Elgin_AbreCupomMFD", {"", "", ""}},
      {"Elgin_VendeItem", {"1", "PRODUTO", "00", "F", "1,000", "3", "10,00", "$", "0000"}},
      {"Elgin_AcrescimoDescontoItemMFD", {"001", "D", "$", "0,50"}},
      {"Elgin_VendeItem", {"2", "OUTRO", "00", "F", "1,000", "3", "5,00", "$", "0000"}},
      {"Elgin_CancelaItemAnterior", {}},
      {"Elgin_IniciaFechamentoCupom", {"D", "$", "0"}},
      {"Elgin_EfetuaFormaPagamento", {"Dinheiro", "20,00"}},
      {"Elgin_TerminaFechamentoCupom", {"Obrigado"}},
      {"Elgin_CancelaCupom", {}},
      {"Elgin_Suprimento", {"50,00", "Dinheiro"}},
      {"Elgin_Sangria", {"10,00"}},
      {"Elgin_AbreRelatorioGerencial", {}},
      {"Elgin_RelatorioGerencial", {"Linha\n"}},
      {"Elgin_FechaRelatorioGerencial", {}},
      {"Elgin_ReducaoZ", {"", ""}},
  };
  for (const auto& [name, in] : day) {
    const elgin::EntryFacts* e = elgin::FindEntry(name);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_TRUE(e->Registering()) << name << " is in a registering day but the entry list says otherwise";
    const json before = Record(State());
    const std::string tape = Tape();
    ASSERT_EQ(Callers().at(name)(in), 1) << name;
    EXPECT_TRUE(Record(State()) != before || Tape() != tape) << name << " left no mark";
  }
}

}  // namespace
}  // namespace simtest
