// The data module's catalogue of datasets and its message tables.
#include <string>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/frame.h"
#include "driver/operations.h"
#include "tests/support/module_fixture.h"

namespace {

using qortest::ModuleTest;
class DataModuleTest : public ModuleTest {};

TEST_F(DataModuleTest, CatalogueInOrder) {
  auto all = Qor01100::DataModule().AllDataSets();
  ASSERT_EQ(all.size(), 39u);
  EXPECT_EQ(all.front()->Name, "cdsAliqImpFis");
  EXPECT_EQ(all[3]->Name, "cdsMovCaixa");
  EXPECT_EQ(all[30]->Name, "cdsCheckECF");
  EXPECT_EQ(all.back()->Name, "cdsImposto");
  for (auto* ds : all) EXPECT_FALSE(ds->Active()) << ds->Name;
}

struct LayoutCase {
  const char* dataset;
  size_t fieldCount;
  const char* firstField;
  const char* lastField;
};

TEST_F(DataModuleTest, DeclaredLayouts) {
  auto& dm = Qor01100::DataModule();
  const LayoutCase cases[] = {
      {"cdsAliqImpFis", 3, "CDALIQIMPFIS", "IDALIQIMPFIS"},
      {"cdsReceb", 33, "CDFILIAL", "IDDESABTEF"},
      {"cdsRecebAux", 28, "CDFILIAL", "DSIMAGEMBUT"},
      {"cdsTipoRece", 33, "CDFILIAL", "IDDESABTEF"},
      {"cdsMovFecha", 6, "CDTIPORECE", "NRENVELOPE"},
      {"cdsSangria", 4, "CDTIPORECE", "CDCLIENTE"},
      {"cdsRedzAux01", 26, "NRECFREDZ", "DTGRAVSBECF"},
      {"cdsReducaoZ", 27, "NRECFREDZ", "DTGRAVSBECF"},
      {"cdsFormPgtoRedZ", 5, "NRECFREDZ", "CDTPRECEORIG"},
      {"cdsImpostoRedZ", 7, "NRECFREDZ", "IDTPIMPREDZ"},
      {"cdsTotNFiscRedZ", 6, "NRECFREDZ", "VRACUTOTNFIS"},
      {"cdsTeste", 5, "QTPRODCOMVEN", "CDPRODUTO"},
      {"cdsAliqProduto", 3, "VRPERCSITTRIB", "IDTPIMPOSFIS"},
      {"cdsImposto", 5, "CDALIQIMPFIS", "CDIMPOSTO"},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.dataset);
    rtl::ClientDataSet* ds = nullptr;
    for (auto* d : dm.AllDataSets())
      if (d->Name == c.dataset) ds = d;
    ASSERT_NE(ds, nullptr);
    const auto& defs = ds->FieldDefs();
    ASSERT_EQ(defs.size(), c.fieldCount);
    EXPECT_EQ(defs.front().name, c.firstField);
    EXPECT_EQ(defs.back().name, c.lastField);
  }
  // cdsRedzAux01 is the reduction layout without its origin field.
  for (auto& f : dm.cdsRedzAux01.FieldDefs()) EXPECT_NE(f.name, "IDORIGEMREDZ");
}

TEST_F(DataModuleTest, FieldSizesAndTypes) {
  auto& dm = Qor01100::DataModule();
  const auto& f = dm.cdsReceb.FieldDefs();
  EXPECT_EQ(f[26].name, "DSMESSAGEBUT");
  EXPECT_EQ(f[26].size, 300);
  EXPECT_EQ(f[3].type, rtl::FieldType::Float);
  EXPECT_EQ(dm.cdsReducaoZ.FieldDefs()[1].type, rtl::FieldType::DateTime);
  EXPECT_EQ(dm.cdsImposto.FieldDefs()[1].type, rtl::FieldType::String);
  EXPECT_EQ(dm.cdsImposto.FieldDefs()[1].size, 14);
}

TEST_F(DataModuleTest, ActiveIndexOrdersTheRateTable) {
  auto& dm = Qor01100::DataModule();
  EXPECT_EQ(dm.cdsAliqImpFis.IndexName(), "IdxIdAliqVrAliq");
  dm.cdsAliqImpFis.Close();
  dm.cdsAliqImpFis.CreateDataSet();
  const std::tuple<const char*, double, const char*> rows[] = {
      {"00", 18.0, "T"}, {"01", 5.0, "S"}, {"02", 7.0, "T"}, {"NN", 0, "N"}};
  for (auto& [cd, vr, id] : rows) {
    dm.cdsAliqImpFis.Append();
    dm.cdsAliqImpFis.FieldByName("CDALIQIMPFIS").SetAsString(cd);
    dm.cdsAliqImpFis.FieldByName("VRALIQIMPFIS").SetAsFloat(vr);
    dm.cdsAliqImpFis.FieldByName("IDALIQIMPFIS").SetAsString(id);
    dm.cdsAliqImpFis.Post();
  }
  std::vector<std::string> order;
  for (dm.cdsAliqImpFis.First(); !dm.cdsAliqImpFis.Eof(); dm.cdsAliqImpFis.Next())
    order.push_back(dm.cdsAliqImpFis.FieldByName("CDALIQIMPFIS").AsString());
  EXPECT_EQ(order, (std::vector<std::string>{"NN", "01", "02", "00"}));
  dm.cdsAliqImpFis.Close();
}

TEST_F(DataModuleTest, MovementIndexesKeptForLoadedData) {
  auto& dm = Qor01100::DataModule();
  ASSERT_EQ(dm.cdsMovCaixa.IndexDefs().size(), 2u);
  EXPECT_EQ(dm.cdsMovCaixa.IndexName(), "idxNRORDTROCO");
  EXPECT_EQ(dm.cdsMovCaixaTef.IndexDefs()[1].fields, "DTHRINCMOV");
  EXPECT_EQ(dm.cdsProdVend.IndexDefs().size(), 2u);
}

TEST_F(DataModuleTest, CheckEcfSwitchesItsChangeLogOffAfterOpen) {
  auto& dm = Qor01100::DataModule();
  rtl::ClientDataSet src;
  src.AddFieldDef("CDFILIAL", rtl::FieldType::String, 4);
  src.CreateDataSet();
  src.Append();
  src.FieldByName("CDFILIAL").SetAsString("0001");
  src.Post();
  dm.cdsCheckECF.SetLogChanges(true);
  dm.cdsCheckECF.SetData(src.Data());
  EXPECT_FALSE(dm.cdsCheckECF.LogChanges());
  dm.cdsCheckECF.Close();
}

TEST_F(DataModuleTest, MessageTablesHoldTheirLines) {
  auto& dm = Qor01100::DataModule();
  EXPECT_EQ(dm.msgPadrao.Lines().size(), 290u);
  EXPECT_EQ(dm.msgPadrao2.Lines().size(), 40u);
  EXPECT_EQ(Qor01100::Msg("ErroPorta"), A("Erro ao abrir porta de comunicação."));
  EXPECT_EQ(Qor01100::Msg("AliqNaoCad"), A("Alíquota não cadastrada na impressora fiscal."));
  // Lookups of keys the tables hold only in another capitalisation or not at all.
  EXPECT_EQ(Qor01100::Msg("Datadif"), Qor01100::Msg("DataDif"));
  EXPECT_EQ(Qor01100::Msg("RELATORIO"), Qor01100::Msg("Relatorio"));
  EXPECT_EQ(Qor01100::Msg("relFechamentoGeral"), "relFechamentoGeral");
  EXPECT_EQ(Qor01100::Msg("Erro_Gravacao"), "Erro_Gravacao");
  EXPECT_NE(Qor01100::Msg2("Erro_Gravacao"), "Erro_Gravacao");
}

}  // namespace
