// Every entry point called many times with arguments drawn from plausible
// and implausible texts: no crash, no exception, only the documented return
// codes, and the printer's books still balance afterwards.
#include <deque>
#include <functional>
#include <random>
#include <set>

#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

using nlohmann::json;

struct Draw {
  std::mt19937 rng{20260305};
  std::deque<std::vector<char>> texts;  // kept alive for the call

  std::string Pick() {
    static const char* words[] = {"",      "00",       "01",     "03",         "15",      "FF",     "II",
                                  "NN",    "XX",       "1800",   "1,000",      "2,500",   "0,350",  "10,00",
                                  "5.00",  "0",        "0000",   "1,234",      "-1",      "Dinheiro", "dinheiro",
                                  "0001",  "0002",     "D",      "A",          "d",       "$",      "%",
                                  "F",     "I",        "C",      "S",          "050326",  "310299", "000000",
                                  "223015", "529.982.247-25",    "11222333000181", "CodMeioPagamentoProgram=14",
                                  "LeMeioPagamento", "1",        "2",          "Texto\nLinha 2\n", "\033ENOTA"};
    int k = std::uniform_int_distribution<int>(0, 9)(rng);
    if (k < 7) return words[std::uniform_int_distribution<size_t>(0, std::size(words) - 1)(rng)];
    if (k == 7) return std::string(std::uniform_int_distribution<int>(0, 700)(rng), 'x');
    std::string s(std::uniform_int_distribution<int>(0, 30)(rng), ' ');
    for (auto& c : s) c = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(rng));
    return s;
  }

  char* Text() {
    std::string s = Pick();
    texts.emplace_back(s.begin(), s.end());
    texts.back().push_back('\0');
    return texts.back().data();
  }
  int Int() {
    static const int values[] = {0, 1, 2, 3, -1, 9, 15, 27, 28, 1000000};
    return values[std::uniform_int_distribution<size_t>(0, std::size(values) - 1)(rng)];
  }
};

template <typename T>
struct Gen;
template <>
struct Gen<char*> {
  static char* Get(Draw& d, std::deque<int>&) { return d.Text(); }
};
template <>
struct Gen<int> {
  static int Get(Draw& d, std::deque<int>&) { return d.Int(); }
};
template <>
struct Gen<int*> {
  static int* Get(Draw&, std::deque<int>& outs) {
    outs.push_back(0);
    return &outs.back();
  }
};
template <>
struct Gen<bool> {
  static bool Get(Draw& d, std::deque<int>&) { return d.Int() % 2 == 0; }
};

template <typename... A>
int CallWith(int (*fn)(A...), Draw& d) {
  std::deque<int> outs;
  std::tuple<A...> args{Gen<A>::Get(d, outs)...};
  return std::apply(fn, args);
}

struct Entry {
  const char* name;
  std::function<int(Draw&)> call;
};

std::vector<Entry> Entries() {
  return {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) {#name, [](Draw& d) { return CallWith(&name, d); }},
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
  };
}

class RobustnessTest : public SimTest {};

TEST_F(RobustnessTest, RandomCallsKeepTheBooksBalanced) {
  // These write files under the names they are given: tested on their own.
  const std::set<std::string> writesFiles = {"Elgin_DownloadMFD", "Elgin_FormatoDadosMFD", "Elgin_LeMemoriasBinario"};
  const std::set<int> codes = {1, 0, -1, -2, -3, -6, -24, -25, -28};
  ASSERT_EQ(Elgin_ProgramaFormaPagamentoMFD(S("Cartao"), S("1")), 1);
  ASSERT_EQ(Elgin_NomeiaTotalizadorNaoSujeitoIcms(0, S("CONTRA-VALE EMITIDO")), 1);
  Draw d;
  std::vector<Entry> entries = Entries();
  ASSERT_EQ(entries.size(), 95u);
  std::uniform_int_distribution<size_t> pick(0, entries.size() - 1);
  int accepted = 0;
  for (int i = 0; i < 4000; ++i) {
    const Entry& e = entries[pick(d.rng)];
    if (writesFiles.count(e.name)) continue;
    if (std::string(e.name) == "Elgin_FechaPortaSerial") continue;  // keep talking to the printer
    int r = 0;
    ASSERT_NO_THROW(r = e.call(d)) << e.name;
    EXPECT_TRUE(codes.count(r)) << e.name << " returned " << r;
    accepted += r == 1;
    d.texts.clear();
  }
  EXPECT_GT(accepted, 500);

  json s = State();
  const json& t = s["totals"];
  double taxed = 0;
  for (auto& v : t["taxed"]) taxed += v.get<double>();
  double books = taxed + t["substitution"].get<double>() + t["exempt"].get<double>() +
                 t["non_incidence"].get<double>() + t["cancellations"].get<double>() + t["discounts"].get<double>();
  EXPECT_NEAR(t["gross"].get<double>(), books, 0.005) << s.dump(1);
  EXPECT_GE(s["grand_total"].get<double>(), t["gross"].get<double>() - 0.005);

  std::istringstream lines(Tape());
  std::string line;
  while (std::getline(lines, line)) {
    size_t chars = 0;
    for (unsigned char ch : line) chars += (ch & 0xC0) != 0x80;
    EXPECT_LE(chars, 48u) << line;
  }
}

}  // namespace
}  // namespace simtest
