// Fixture of the printer's own tests: a fresh printer in its own state
// folder, a frozen clock, the port open, a call journal.
#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "sim/ecfsim.h"
#include "platform/process.h"
#include "tests/support/subprocess.h"

// The entry points, as the printer exports them.
extern "C" {
#define ELGIN_ENTRY(name, types, params, args, kinds, ...) int name types;
#include "vendor/elgin_entries.def"
#undef ELGIN_ENTRY
}

namespace simtest {

// A text buffer as the callers fill it: n blanks, then guard bytes after the
// terminating zero, to catch any write past the blanks.
class Buf {
 public:
  explicit Buf(size_t n, char fill = ' ') : data_(n + 1 + kGuard, static_cast<char>(kGuardByte)), n_(n) {
    std::memset(data_.data(), fill, n);
    data_[n] = '\0';
  }
  char* p() { return data_.data(); }
  std::string str() const { return std::string(data_.data(), n_); }
  std::string trimmed() const {
    std::string s = str();
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }
  bool intact() const {
    if (data_[n_] != '\0') return false;
    for (size_t i = n_ + 1; i < data_.size(); ++i)
      if (static_cast<unsigned char>(data_[i]) != kGuardByte) return false;
    return true;
  }
  // Characters from 1-based position pos, width w (as the module reads them).
  std::string at(size_t pos, size_t w) const { return str().substr(pos - 1, w); }

 private:
  static constexpr size_t kGuard = 32;
  static constexpr unsigned char kGuardByte = 0xAB;
  std::vector<char> data_;
  size_t n_;
};

// A writable copy of a text argument.
class S {
 public:
  S(const std::string& s) : v_(s.begin(), s.end()) { v_.push_back('\0'); }  // NOLINT: implicit on purpose
  S(const char* s) : S(std::string(s)) {}                                    // NOLINT
  operator char*() { return v_.data(); }                                      // NOLINT
 private:
  std::vector<char> v_;
};

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::mt19937_64 rng(std::random_device{}());
    dir = std::filesystem::temp_directory_path() /
          ("ecfsim-test-" + std::to_string(rtl::ProcessId()) + "-" + std::to_string(rng()));
    std::filesystem::create_directories(dir);
    ASSERT_EQ(ecfsim_set_state_dir((dir / "ecf").string().c_str()), 0);
    ASSERT_EQ(ecfsim_reset(), 0);
    journal = dir / "journal.jsonl";
    ASSERT_EQ(ecfsim_set_journal(journal.string().c_str()), 0);
    SetClock(kClock);
    ASSERT_EQ(Elgin_AbrePortaSerial(), 1);
  }

 public:
  // The computer's clock as every test's printer sees it.
  static constexpr const char* kClock = "2026-03-05T10:00:00";
  // In a process of its own (qortest::Subprocess::Role): the printer kept
  // in `folder`, at the tests' clock. False when it cannot be used.
  static bool OpenInChild(const std::string& folder) {
    return ecfsim_set_clock(kClock) == 0 && ecfsim_set_state_dir(folder.c_str()) == 0;
  }

 protected:

  void TearDown() override {
    ecfsim_set_journal("");
    std::error_code ec;
    if (!HasFailure()) std::filesystem::remove_all(dir, ec);
    else std::cerr << "test files kept in " << dir << "\n";
  }

  static void SetClock(const char* iso) { ASSERT_EQ(ecfsim_set_clock(iso), 0); }

  static nlohmann::json State() {
    int n = ecfsim_state_json(nullptr, 0);
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    ecfsim_state_json(buf.data(), n + 1);
    buf.resize(static_cast<size_t>(n));
    return nlohmann::json::parse(buf);
  }

  struct Status {
    int ack = 0, st1 = 0, st2 = 0, ret = 0;
  };
  static Status Query() {
    Status s;
    s.ret = Elgin_VerificaEstadoImpressora(&s.ack, &s.st1, &s.st2);
    return s;
  }

  std::vector<nlohmann::json> Journal() const {
    std::vector<nlohmann::json> out;
    std::ifstream in(journal);
    std::string line;
    while (std::getline(in, line))
      if (!line.empty()) out.push_back(nlohmann::json::parse(line));
    return out;
  }

  static std::string Tape() {
    char path[4096];
    if (ecfsim_tape_path(path, sizeof path) != 0) return "";
    return ReadAll(path);
  }

  static std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // A text query of one buffer of n blanks.
  template <typename F>
  static std::string Ask(F fn, size_t n, int* ret = nullptr) {
    Buf b(n);
    int r = fn(b.p());
    if (ret) *ret = r;
    EXPECT_TRUE(b.intact());
    return b.str();
  }

  // A coupon with the given items (rate code, quantity, price), not closed.
  static void OpenCouponWith(const std::vector<std::tuple<std::string, std::string, std::string>>& items) {
    ASSERT_EQ(Elgin_AbreCupomMFD(S(""), S(""), S("")), 1);
    int n = 0;
    for (auto& [rate, qty, price] : items) {
      std::string code = "78900000" + std::to_string(++n);
      ASSERT_EQ(Elgin_VendeItem(S(code), S("PRODUTO " + std::to_string(n)), S(rate), S("F"), S(qty), 3, S(price),
                                S("$"), S("0000")),
                1)
          << "item " << n;
    }
  }

  // A whole sale paid in cash.
  static void Sale(const std::string& price, const std::string& paid) {
    OpenCouponWith({{"00", "1,000", price}});
    ASSERT_EQ(Elgin_IniciaFechamentoCupom(S("D"), S("$"), S("0")), 1);
    ASSERT_EQ(Elgin_EfetuaFormaPagamento(S("Dinheiro"), S(paid)), 1);
    ASSERT_EQ(Elgin_TerminaFechamentoCupom(S("Obrigado")), 1);
  }

  std::filesystem::path dir;
  std::filesystem::path journal;
};

}  // namespace simtest
