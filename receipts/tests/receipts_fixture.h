// What the customer-receipt tests share: a printer programmed with a
// linkable account payment and the two credit totalizers, the document a
// voucher links to, and the host's tables of products and balances.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "nonfiscal/operations.h"
#include "receipts/operations.h"
#include "tests/support/module_helpers.h"

namespace receipts_test {

using rtl::FieldType;

constexpr const char* kConta = "Conta Consumidor";  // linkable payment method

class ReceiptTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    ASSERT_EQ(sim.program(R"({"payment_methods": [{"slot": 2, "name": "Conta Consumidor", "linkable": true},
                                                   {"slot": 3, "name": "Cartao Credito", "linkable": true}],
                             "nonfiscal_totalizers": [{"index": 0, "name": "VENDA CONSUMIDOR"},
                                                      {"index": 1, "name": "COMPRA CREDITO"},
                                                      {"index": 2, "name": "CANC CREDITO"}]})"),
              0);
    TdtmElgin01100& dm = Qor01100::DataModule();
    dm.IdTotCompCred = "01";
    dm.IdTotCancCred = "02";
    dm.cdsFamiliaSaldo.SetData(rtl::Variant());
    dm.cdsEmprestimo.SetData(rtl::Variant());
    Qor01100::boNUtilTaa = false;
  }
  // A receipt paid with the account payment: the document the vouchers link to.
  void AccountReceipt(const std::string& valor = "00000000005000") {
    ASSERT_TRUE(Qor01100::Cupom_NFiscNVinc("", "00", valor, kConta, ""));
    ClearJournal();
  }
  // The texts sent to an entry point, in order.
  std::vector<std::string> Texts(const std::string& fn) const {
    std::vector<std::string> out;
    for (const auto& args : ArgsOf(fn)) out.push_back(Latin(args[0].get<std::string>()));
    return out;
  }
  // Journal texts are UTF-8; the module's texts are 1252.
  static std::string Latin(const std::string& utf8) { return A(utf8); }

  // A receipt that returns early: an amount rounding to zero sends nothing
  // and answers true; a refused opening or header answers false, and the
  // voucher is not closed (a voucher that failed stays as it is).
  // `receipt(valor)` prints one receipt of that amount.
  void ExpectEarlyReturns(const std::function<bool(double)>& receipt) {
    struct Case {
      const char* name;
      double valor;
      const char* falha;  // entry point refused once
      bool result;
      size_t opened, prints, closes;
    };
    // A voucher that stops at a refused line is closed before the answer;
    // one that never opened has nothing to close.
    const Case cases[] = {
        {"amount rounding to zero", 0.004, "", true, 0, 0, 0},
        {"opening refused", 10, "Elgin_AbreComprovanteNaoFiscalVinculado", false, 1, 0, 0},
        {"header refused", 10, "Elgin_UsaComprovanteNaoFiscalVinculado", false, 1, 1, 1},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      AccountReceipt();
      if (*c.falha) {
        ASSERT_EQ(sim.fail(c.falha, -1, 1), 0);
      }
      EXPECT_EQ(receipt(c.valor), c.result);
      EXPECT_EQ(Calls("Elgin_AbreComprovanteNaoFiscalVinculado").size(), c.opened);
      EXPECT_EQ(Calls("Elgin_UsaComprovanteNaoFiscalVinculado").size(), c.prints);
      EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), c.closes);
      EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
      if (c.valor < 0.005) {
        EXPECT_TRUE(CallNames().empty());
      }
    }
  }
};

// The products of a sale as the host's data packet.
struct Product {
  std::string cd, nm;
  double qt, vr;
};
inline rtl::Variant Produtos(const std::vector<Product>& rows) {
  rtl::ClientDataSet ds;
  std::vector<qortest::Row> linhas;
  for (const Product& p : rows) linhas.push_back({p.cd, p.nm, p.qt, p.vr});
  qortest::MakeTable(ds,
                     {{"CDARVPROD", FieldType::String, 20},
                      {"NMPRODUTO", FieldType::String, 40},
                      {"QTPRODCOMVEN", FieldType::Float},
                      {"VRPRECCOMVEN", FieldType::Float}},
                     linhas);
  return ds.Data();
}

// Credit balances per family member (CDFAMILISALD, NMFAMILISALD, VRSALDCONFAM).
struct Member {
  std::string cd, nm;
  double saldo;
};
inline void Saldos(rtl::ClientDataSet& ds, const std::vector<Member>& rows) {
  std::vector<qortest::Row> linhas;
  for (const Member& m : rows) linhas.push_back({m.cd, m.nm, m.saldo});
  qortest::MakeTable(ds,
                     {{"CDFAMILISALD", FieldType::String, 10},
                      {"NMFAMILISALD", FieldType::String, 40},
                      {"VRSALDCONFAM", FieldType::Float}},
                     linhas);
}
inline rtl::Variant SaldosPacote(const std::vector<Member>& rows) {
  rtl::ClientDataSet ds;
  Saldos(ds, rows);
  return ds.Data();
}

inline std::string Dashes() { return std::string(48, '-') + "\n"; }
inline std::string Blanks() { return std::string(48, ' ') + "\n"; }

}  // namespace receipts_test
