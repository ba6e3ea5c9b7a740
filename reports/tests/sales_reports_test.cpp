// The sale registry, the transferred products and the receipt-types report,
// through the simulated printer.
#include <string>
#include <vector>

#include "coupon/operations.h"
#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "hostlib/records.h"
#include "reports/operations.h"
#include "tests/support/module_helpers.h"

namespace {

using qortest::Column;
using qortest::MakeTable;

class SalesReportTest : public qortest::PrinterTest {
 protected:
  // The texts sent to the management report, in order.
  std::vector<std::string> Blocks() {
    std::vector<std::string> out;
    for (const auto& a : ArgsOf("Elgin_RelatorioGerencial")) out.push_back(A(a[0].get<std::string>()));
    return out;
  }
  size_t Registered(const std::string& type) {
    size_t n = 0;
    for (const std::string& r : hostlib::ReadRecords()) n += r.find("\"docType\":\"" + type + "\"") != std::string::npos;
    return n;
  }
  const std::string blanks = std::string(48, ' ') + "\n";
  const std::string dashes = std::string(48, '-') + "\n";
};

rtl::Variant Transfers(const std::vector<qortest::Row>& rows) {
  rtl::ClientDataSet ds;
  MakeTable(ds,
            {{"NRMESA", rtl::FieldType::String, 10}, {"NRMESADSCOMORIT", rtl::FieldType::String, 10},
             {"CDPRODUTO", rtl::FieldType::String, 10}, {"NMPRODUTO", rtl::FieldType::String, 40},
             {"QTPRODCOMVEN", rtl::FieldType::Float}, {"VRPRECCOMVEN", rtl::FieldType::Float}},
            rows);
  return ds.Data();
}

TEST_F(SalesReportTest, TheRegistryNamesATableOrATabByTheLengthOfItsNumber) {
  struct Case { const char* aux; std::string title; };
  const Case cases[] = {{"0012", A("       Relatório de abertura da mesa 0012")},
                        {"12", A("   Relatório de abertura da comanda 12")},
                        {"00123", A("   Relatório de abertura da comanda 00123")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.aux);
    ClearJournal();
    rtl::ClientDataSet itens;
    MakeTable(itens, {{"CDPROD", rtl::FieldType::String, 10}, {"NMPROD", rtl::FieldType::String, 30},
                      {"STQTDE", rtl::FieldType::Float}, {"STVALOR", rtl::FieldType::Float}},
              {});
    EXPECT_TRUE(Qor01100::RegistroVenda("", "", "", &itens, c.aux));
    const auto blocks = Blocks();
    // No items: the header and the footer only.
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], blanks + c.title + "\n" + blanks + dashes + std::string(15, ' ') + "REGISTRO DE VENDA\n" +
                             dashes + "\n" + "CODIGO     NOME\n" + "QTDE    VR. UNIT                        VLR.TOT.\n\n");
    EXPECT_EQ(blocks[1], blanks + dashes + Qor01100::Msg("Velmara"));
    EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  }
}

TEST_F(SalesReportTest, AnErrorFromTheHostsDataClosesTheReportBeforeItReachesTheHost) {
  // Items without their price, transfers without their product name: the
  // report is open when the row fails; the error still reaches the host (the
  // registry's contract), but the report is closed first and the next
  // coupon opens. The transfers' list is not registered as printed.
  rtl::ClientDataSet itens;
  MakeTable(itens, {{"CDPROD", rtl::FieldType::String, 10}, {"NMPROD", rtl::FieldType::String, 30},
                    {"STQTDE", rtl::FieldType::Float}},
            {{"101", "CAFE", 2.0}});
  EXPECT_ANY_THROW(Qor01100::RegistroVenda("", "", "", &itens, "0001"));
  EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
  rtl::ClientDataSet transf;
  MakeTable(transf, {{"NRMESA", rtl::FieldType::String, 10}, {"NRMESADSCOMORIT", rtl::FieldType::String, 10},
                     {"CDPRODUTO", rtl::FieldType::String, 10}},
            {{"1", "2", "101"}});
  EXPECT_ANY_THROW(Qor01100::imprimeProdutosTransf("0001", "01", "", "SERIE1", transf.Data()));
  EXPECT_TRUE(SimState()["document"].is_null()) << SimState()["document"].dump();
  EXPECT_EQ(Registered("RG"), 0u);
  rtl::Variant cupom = qortest::CouponRecord();
  EXPECT_TRUE(Qor01100::AbreCupom(cupom));
}

TEST_F(SalesReportTest, TheRegistryListsEachItemWithItsTotal) {
  rtl::ClientDataSet itens;
  MakeTable(itens, {{"CDPROD", rtl::FieldType::String, 10}, {"NMPROD", rtl::FieldType::String, 30},
                    {"STQTDE", rtl::FieldType::Float}, {"STVALOR", rtl::FieldType::Float}},
            {{"101", "CAFE", 2.0, 3.5}, {"7", "PAO DE QUEIJO", 1.5, 1.115}});
  EXPECT_TRUE(Qor01100::RegistroVenda("", "", "", &itens, "0001"));
  const auto blocks = Blocks();
  ASSERT_EQ(blocks.size(), 4u);
  EXPECT_EQ(blocks[1], "101 CAFE\n2,00   X 3,50     " + std::string(25, ' ') + "7,00\n");
  EXPECT_EQ(blocks[2], "7 PAO DE QUEIJO\n1,50   X 1,12     " + std::string(25, ' ') + "1,67\n");
  EXPECT_NE(Tape().find("101 CAFE"), std::string::npos);
  // The registry reads the coupon number and registers nothing.
  EXPECT_EQ(Calls("Elgin_NumeroCupom").size(), 1u);
  EXPECT_EQ(Registered("RG"), 0u);
  // The host's rows do not stay in the data module.
  EXPECT_FALSE(Qor01100::DataModule().cdsItemsReg.Active());
}

TEST_F(SalesReportTest, TransfersShareAGroupHeaderUntilOriginOrDestinationChanges) {
  SetClock(2026, 3, 5, 14, 7, 9);
  Qor01100::imprimeProdutosTransf("0001", "002", "", "SERIE1",
                                  Transfers({{"10", "3", "55", "REFRIGERANTE LATA 350ML", 2.0, 6.5},
                                             {"10", "3", "56", "AGUA", 1.0, 4.0},
                                             {"10", "4", "57", "SUCO", 1.0, 1234.5},
                                             {"1", "03", "58", "CHA", 1.0, 3.0},
                                             {"10", "3", "59", "CAFE", 1.0, 2.0}}));
  const auto blocks = Blocks();
  ASSERT_EQ(blocks.size(), 8u);
  // The report is opened through the channel with an empty text.
  EXPECT_EQ(blocks[0], "");
  EXPECT_EQ(blocks[1], A("Data Emissão: 05/03/2026 14:07:09\n\n\n"));
  const std::string cabecalho = A("Código  -  Nome Produto   -    Qtde. -  Vr Unit.\n");
  const std::string pad(10, ' ');  // each product part is 27 characters, fitted to 37
  EXPECT_EQ(blocks[2], "Mes Origem: 3 -> Mesa Destino: 10\n" + cabecalho + "55 REFRIGERANTE LATA 3 2,00" + pad +
                           "    R$ 6,50\n");
  EXPECT_EQ(blocks[3], "56 AGUA                1,00" + pad + "    R$ 4,00\n");
  // A price wider than its column keeps its first ten characters.
  EXPECT_EQ(blocks[4], "\nMes Origem: 4 -> Mesa Destino: 10\n" + cabecalho + "57 SUCO                1,00" + pad +
                           " R$ 1.234,5\n");
  // "1" + "03" and "10" + "3" run together alike, yet they are different tables.
  EXPECT_EQ(blocks[5].substr(0, 34), "\nMes Origem: 03 -> Mesa Destino: 1");
  EXPECT_EQ(blocks[6].substr(0, 34), "\nMes Origem: 3 -> Mesa Destino: 10");
  EXPECT_EQ(blocks[7], "\n");
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_EQ(Registered("RG"), 1u);
}

TEST_F(SalesReportTest, ReceiptTypesArePrintedInPiecesOfWholeLinesAndRecordedWhenTheReportClosed) {
  struct Case {
    std::string relat;
    std::vector<std::string> pieces;
  };
  const std::string l20 = std::string(19, 'a') + "\n";
  const std::string longa = std::string(700, 'b') + "\n";
  const Case cases[] = {
      {"", {}},
      {l20 + l20 + l20 + l20, {l20 + l20 + l20, l20}},
      {"C:\\caixa\n", {"C:|caixa\n"}},
      // One line longer than a piece is a piece of its own, in as many
      // printing calls as it needs: nothing of it is lost.
      {longa, {longa.substr(0, 620), longa.substr(620)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.relat.size());
    ClearJournal();
    const size_t before = Registered("RG");
    EXPECT_TRUE(Qor01100::imprimeTipoRece("", "", "", "SERIE1", c.relat));
    EXPECT_EQ(Calls("Elgin_AbreRelatorioGerencial").size(), 1u);
    EXPECT_EQ(Blocks(), c.pieces);
    EXPECT_EQ(Registered("RG"), before + 1);
  }
  // A closing the printer refuses, or a piece it did not take, is the
  // answer, and nothing is recorded; every piece is still sent.
  for (const char* refused : {"Elgin_FechaRelatorioGerencial", "Elgin_RelatorioGerencial"}) {
    SCOPED_TRACE(refused);
    ClearJournal();
    const size_t before = Registered("RG");
    ASSERT_EQ(sim.fail(refused, -1, 1), 0);
    EXPECT_FALSE(Qor01100::imprimeTipoRece("", "", "", "SERIE1", l20 + l20 + l20 + "X\n"));
    EXPECT_EQ(Blocks(), (std::vector<std::string>{l20 + l20 + l20, "X\n"}));
    EXPECT_EQ(Registered("RG"), before);
    EXPECT_TRUE(SimState()["document"].is_null());
  }
}

}  // namespace
