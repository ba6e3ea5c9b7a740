// The table bill and the list of open tables, through the simulated printer.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "hostlib/records.h"
#include "tests/support/module_helpers.h"

namespace {

using qortest::MakeTable;

class TableBillTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    ASSERT_EQ(sim.program(R"({"payment_methods": [{"slot": 2, "name": "Rel Gerencial", "linkable": true}],
                             "nonfiscal_totalizers": [{"index": 0, "name": "RELATORIO"}]})"),
              0);
    Qor01100::DataModule().IdTotRelatorio = "00";
  }
  std::vector<std::string> Texts(const std::string& fn) {
    std::vector<std::string> out;
    for (const auto& a : ArgsOf(fn)) out.push_back(A(a.back().get<std::string>()));
    return out;
  }
  bool Bill(const std::vector<qortest::Row>& items, double desc, double txServ, double total, double acresc) {
    rtl::ClientDataSet ds;
    MakeTable(ds,
              {{"CDARVPROD", rtl::FieldType::String, 10}, {"NMPRODUTO", rtl::FieldType::String, 40},
               {"QTPRODCOMVEN", rtl::FieldType::Float}, {"VRPRECCOMVEN", rtl::FieldType::Float}},
              items);
    return Qor01100::Abertura_Mesa("", "", "", "12", "JOAO", "05/03/2026 20:15", ds.Data(), desc, 30, 5, txServ, 4,
                                   total, acresc);
  }
  const std::string blanks = std::string(48, ' ') + "\n";
  const std::string dashes = std::string(48, '-') + "\n";
};

TEST_F(TableBillTest, ABillIsAVoucherLinkedToAOneCentReceipt) {
  EXPECT_TRUE(Bill({{"101", "PICANHA", 1.5, 3.333}}, 0, 0, 4.999, 0));
  // The one-cent receipt against the report totalizer, then the voucher on it.
  EXPECT_EQ(ArgsOf("Elgin_RecebimentoNaoFiscal"),
            (std::vector<nlohmann::json>{{"00", "00000000000001", "Rel Gerencial"}}));
  const auto abre = ArgsOf("Elgin_AbreComprovanteNaoFiscalVinculado");
  ASSERT_EQ(abre.size(), 1u);
  EXPECT_EQ(abre[0][0], "Rel Gerencial");
  EXPECT_EQ(abre[0][1], "00000000000001");
  const auto blocos = Texts("Elgin_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(blocos.size(), 5u);
  EXPECT_EQ(blocos[0], blanks + blanks + dashes + blanks + std::string(15, ' ') + "Abertura de Mesa\n" + blanks +
                           "Mesa: 12\nEmissao: 05/03/2026 20:15\n" + dashes);
  EXPECT_EQ(blocos[1], "CODIGO     NOME\nQTDE    VR. UNIT                        VLR.TOT.\n\n");
  // 1,5 x 3,333 = 4,9995, truncated to 4,99.
  EXPECT_EQ(blocos[2], "101 PICANHA\n1,500   X 3,33     " + std::string(23, ' ') + "4,99\n");
  // No service charge, surcharge or discount: only the blank line.
  EXPECT_EQ(blocos[3], blanks);
  EXPECT_EQ(blocos[4], dashes + "Total Geral: " + std::string(31, ' ') + "4,99\n" + blanks + Qor01100::Msg("Velmara"));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_NE(Tape().find("Abertura de Mesa"), std::string::npos);
}

TEST_F(TableBillTest, AdjustmentsAppearOnlyWhenGivenAndABillWithoutItemsStillPrints) {
  EXPECT_TRUE(Bill({}, 2.5, 10, 57.5, 1));
  const auto blocos = Texts("Elgin_UsaComprovanteNaoFiscalVinculado");
  ASSERT_EQ(blocos.size(), 4u);
  EXPECT_EQ(blocos[2], blanks + "Taxa de Servico: " + std::string(25, ' ') + "10,00\n" + A("Acréscimo: ") +
                           std::string(31, ' ') + "1,00\n" + "Desconto: " + std::string(33, ' ') + "2,50\n");
}

TEST_F(TableBillTest, TheBillPrintsEvenWhenTheVoucherCannotOpenAndAnswersThat) {
  ASSERT_EQ(sim.fail("Elgin_AbreComprovanteNaoFiscalVinculado", -1, 1), 0);
  EXPECT_FALSE(Bill({{"1", "X", 1, 1}}, 0, 0, 1, 0));
  EXPECT_EQ(Calls("Elgin_UsaComprovanteNaoFiscalVinculado").size(), 5u);
  EXPECT_FALSE(Qor01100::DataModule().cdsParcProdutos.Active());
}

TEST_F(TableBillTest, ABillBlockThePrinterRefusesIsNotAPrintedBillButEveryBlockIsSent) {
  // The second block (the column titles) refused: the blocks after it still
  // go to the voucher, the voucher is closed, and the host is told false.
  ASSERT_TRUE(Bill({{"1", "X", 1, 1}}, 0, 0, 1, 0));
  const std::vector<std::string> names = CallNames();
  size_t at = 0, seen = 0;
  for (size_t i = 0; i < names.size() && at == 0; ++i)
    if (names[i] == "Elgin_UsaComprovanteNaoFiscalVinculado" && ++seen == 2) at = i + 1;
  ASSERT_GT(at, 0u);
  ClearJournal();
  ASSERT_EQ(sim.fault_call(static_cast<long>(at), "fail", -1), 0);
  EXPECT_FALSE(Bill({{"1", "X", 1, 1}}, 0, 0, 1, 0));
  EXPECT_EQ(Calls("Elgin_UsaComprovanteNaoFiscalVinculado").size(), 5u);
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(SimState()["document"].is_null());
}

rtl::Variant OpenTables(const std::vector<qortest::Row>& rows) {
  rtl::ClientDataSet ds;
  MakeTable(ds,
            {{"DSCOMANDA", rtl::FieldType::String, 20}, {"NRMESA", rtl::FieldType::String, 6},
             {"DTHRABERMESA", rtl::FieldType::String, 20}},
            rows);
  return ds.Data();
}

TEST_F(TableBillTest, OpenTablesAreListedUnderAHeadingEachTimeTheirKindChanges) {
  SetClock(2026, 3, 5, 22, 30, 0);
  EXPECT_TRUE(Qor01100::ImprimeMesasAbertas(nullptr, "0001", "002", "", "SERIE1",
                                            OpenTables({{"RES 4", "0004", "05/03/2026 19:00"},
                                                        {"PKR 9", "0009", "05/03/2026 19:30"},
                                                        {"DLV 77", "", "05/03/2026 20:00"},
                                                        {"BAL 5", "", "05/03/2026 20:10"},
                                                        {"RES 6", "0006", "05/03/2026 21:00"}})));
  std::vector<std::string> blocos;
  for (const auto& a : ArgsOf("Elgin_RelatorioGerencial")) blocos.push_back(A(a[0].get<std::string>()));
  const std::string mesas = A("\n\nMesas Abertas:\nNrº da Mesa      Data/Hora de abertura\n");
  const std::vector<std::string> esperado = {
      "",
      A("               Mesas Abertas\n\nData Emissão: 05/03/2026 22:30:00\n"),
      mesas,
      "0004" + std::string(13, ' ') + "05/03/2026 19:00\n",
      // A tab whose description begins with "PKR" is a table, shown by its number.
      "0009" + std::string(13, ' ') + "05/03/2026 19:30\n",
      A("\n\nComandas Corvana Abertas:\nNrº da Comanda   Data/Hora de abertura\n"),
      "DLV 77       05/03/2026 20:00\n",
      A("\n\nComandas Abertas:\nNrº da Comanda   Data/Hora de abertura\n"),
      "BAL 5       05/03/2026 20:10\n",
      mesas,
      "0006" + std::string(13, ' ') + "05/03/2026 21:00\n",
      "\n"};
  EXPECT_EQ(blocos, esperado);
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  size_t rg = 0;
  for (const std::string& r : hostlib::ReadRecords()) rg += r.find("\"docType\":\"RG\"") != std::string::npos;
  EXPECT_EQ(rg, 1u);
}

TEST_F(TableBillTest, AnErrorAfterTheListOpenedClosesItBeforeTheAnswer) {
  // A packet without NRMESA: the report is open when its first table line
  // fails; it is closed before ImprimeMesasAbertas answers false, so the
  // next coupon opens.
  rtl::ClientDataSet ds;
  MakeTable(ds, {{"DSCOMANDA", rtl::FieldType::String, 20}, {"DTHRABERMESA", rtl::FieldType::String, 20}},
            {{"RES 4", "05/03/2026 19:00"}});
  EXPECT_FALSE(Qor01100::ImprimeMesasAbertas(nullptr, "0001", "002", "", "SERIE1", ds.Data()));
  EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(hostlib::ReadRecords().empty());
  rtl::Variant cupom = qortest::CouponRecord();
  EXPECT_TRUE(Qor01100::AbreCupom(cupom));
}

TEST_F(TableBillTest, AListLineThePrinterRefusesIsNeitherReportedNorRegisteredAsPrinted) {
  const rtl::Variant mesas = OpenTables({{"RES 4", "0004", "05/03/2026 19:00"}, {"RES 6", "0006", "05/03/2026 21:00"}});
  ASSERT_TRUE(Qor01100::ImprimeMesasAbertas(nullptr, "0001", "002", "", "SERIE1", mesas));
  ASSERT_EQ(hostlib::ReadRecords().size(), 1u);
  // The fault on the first table line, in a second run.
  const std::vector<std::string> names = CallNames();
  size_t at = 0, seen = 0;
  for (size_t i = 0; i < names.size() && at == 0; ++i)
    if (names[i] == "Elgin_RelatorioGerencial" && ++seen == 4) at = i + 1;
  ASSERT_GT(at, 0u);
  for (const char* kind : {"fail", "raise"}) {
    SCOPED_TRACE(kind);
    ClearJournal();
    ASSERT_EQ(sim.fault_call(static_cast<long>(at), kind, -1), 0);
    EXPECT_FALSE(Qor01100::ImprimeMesasAbertas(nullptr, "0001", "002", "", "SERIE1", mesas));
    EXPECT_EQ(Calls("Elgin_RelatorioGerencial").size(), seen + 2);  // every line still sent
    EXPECT_EQ(hostlib::ReadRecords().size(), 1u);
    EXPECT_TRUE(SimState()["document"].is_null());
  }
}

TEST_F(TableBillTest, AnOpenTablesPacketThatCannotBeReadAnswersFalseAndRecordsNothing) {
  EXPECT_FALSE(Qor01100::ImprimeMesasAbertas(nullptr, "0001", "002", "", "SERIE1", rtl::Variant(std::string("x"))));
  EXPECT_TRUE(hostlib::ReadRecords().empty());
}

}  // namespace
