// The fiscal application's identification report, through the simulated printer.
#include <filesystem>
#include <string>
#include <vector>

#include "driver/datamodule/dtmElgin01100.h"
#include "driver/operations.h"
#include "fiscal/operations.h"
#include "hostlib/cripto.h"
#include "tests/support/module_helpers.h"

namespace {

using qortest::MakeTable;

class ApplicationReportTest : public qortest::PrinterTest {
 protected:
  void SetUp() override {
    PrinterTest::SetUp();
    SetClock(2026, 3, 5, 9, 8, 7);
  }
  static std::string E(const std::string& s) { return hostlib::Cripto(s, hostlib::kCriptoKey); }
  rtl::Variant Identification() {
    rtl::ClientDataSet ds;
    std::vector<qortest::Column> cols;
    for (const char* f : {"NRLAUDO", "NRCNPJVELMARA", "DSRAZAOSOCIDRU", "DSENDEVELMARA", "DSTELEFONEDRU",
                          "NMRESPONSIST", "DSNOMECOMERCIAL", "DSVERSAOKALVORA", "NMEXEKALVORA"})
      cols.push_back({f, rtl::FieldType::String, 200});
    MakeTable(ds, cols,
              {{E("LAUDO-0042"), E("11.222.333/0001-81"), E("QOR SISTEMAS LTDA"), E("RUA A, 1"), E("11 5555-0000"),
                E("MARIA"), E("QOR PDV"), E("4.2"), E("QORPDV.EXE")}});
    return ds.Data();
  }
  rtl::Variant Printers(const std::vector<qortest::Row>& rows) {
    rtl::ClientDataSet ds;
    MakeTable(ds, {{"NRSERIEIMPRPERS", rtl::FieldType::String, 20}}, rows);
    return ds.Data();
  }
  void ChecksumList(const std::vector<qortest::Row>& rows) {
    std::filesystem::create_directories(hostDir / "Dados" / "Cadastros");
    rtl::ClientDataSet ds;
    MakeTable(ds, {{"DSARQUIVO", rtl::FieldType::String, 60}, {"NUMEROMD5", rtl::FieldType::String, 32}}, rows);
    ds.SaveToFile((hostDir / "Dados" / "Cadastros" / "ArquivosKvxMd5.cds").string());
  }
  void ConfigChecksum(const std::string& md5) {
    rtl::ClientDataSet ds;
    MakeTable(ds, {{"MD5ARQUIVOTXT", rtl::FieldType::String, 100}}, {{E(md5)}});
    ds.SaveToFile((hostDir / "Kalvora.cds").string());
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> out;
    for (const auto& a : ArgsOf("Elgin_RelatorioGerencial")) out.push_back(A(a[0].get<std::string>()));
    return out;
  }
  void Print(const rtl::Variant& printers) {
    rtl::Variant result;
    Qor01100::ImprimeDadosPaf(rtl::Variant(std::vector<rtl::Variant>{rtl::Variant(std::string("0001")), rtl::Variant(std::string("01")),
                                                   rtl::Variant(std::string("")), Identification(), printers}),
                              result);
  }
};

TEST_F(ApplicationReportTest, PrintsTheDecodedIdentificationTheChecksumsAndThePrinters) {
  ChecksumList({{"QORPDV.EXE", "0123456789abcdef0123456789abcdef"}, {"QOR.DLL", "fedcba9876543210fedcba9876543210"}});
  ConfigChecksum("99999999999999999999999999999999");
  Print(Printers({{"ECFSIM00000000000001"}, {"ECFSIM00000000000002"}}));
  EXPECT_EQ(CallNames().front(), "Elgin_AbreRelatorioGerencial");
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], A("          Identificação do Paf-Ecf\n\n"
                        "Data Emissão: 05/03/2026 09:08:07\n\n\n"
                        "Nr do Laudo:  LAUDO-0042\n\n"
                        "Identificação da Empresa: \n"
                        "CNPJ         : 11.222.333/0001-81\n"
                        "Razão Social : QOR SISTEMAS LTDA\n"
                        "Endereço     : RUA A, 1\n"
                        "Telefone     : 11 5555-0000\n"
                        "Resp.Técnico: MARIA\n\n"
                        "Identificação PAF-ECF: \n"
                        "Nome Comercial: QOR PDV\n"
                        "Versão        : 4.2\n\n"
                        "Principal Exe : QORPDV.EXE\n"
                        "MD5           : 0123456789abcdef0123456789abcdef\n\n"));
  // Checksums are printed as stored; only the configuration file's is decoded.
  EXPECT_EQ(texts[1], A("Arquivo Texto : ARQUIVOSKVXMD5.TXT\n"
                        "MD-5          : 99999999999999999999999999999999\n\n"
                        "Relação de Arquivos\n" + std::string(48, '-') + "\n\n"
                        "Arquivo: QORPDV.EXE\nMD5    : 0123456789abcdef0123456789abcdef\n\n"
                        "Arquivo: QOR.DLL\nMD5    : fedcba9876543210fedcba9876543210\n\n"
                        "Versao ER PAF-ECF: 02.06\n\n\n"
                        "\nRelação de Ecf's\n\nECFSIM00000000000001\nECFSIM00000000000002\n"
                        "\n"));
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_FALSE(Qor01100::DataModule().cdsArquivosKvxMd5.Active());
}

TEST_F(ApplicationReportTest, WithoutChecksumFilesOrPrintersTheReportStillCompletesAndCloses) {
  Print(Printers({}));
  const auto texts = Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("Principal Exe : QORPDV.EXE\nMD5           : \n\n"), std::string::npos) << texts[0];
  EXPECT_EQ(texts[1], "Versao ER PAF-ECF: 02.06\n\n\n\n");
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(ApplicationReportTest, ALongFileListAndPrinterListGoOnInTheNextPiecesWithNoLineCutOff) {
  // Twenty checksum files (more than eight no longer fit one printing call)
  // and twelve printers: every line reaches the printer whole, in order,
  // each call at most 620 characters and ending at a line end.
  std::vector<qortest::Row> rows;
  for (int i = 0; i < 20; ++i) rows.push_back({"ARQUIVO" + std::to_string(i) + ".DLL", std::string(32, static_cast<char>('a' + i % 26))});
  ChecksumList(rows);
  std::vector<qortest::Row> ecfs;
  for (int i = 0; i < 12; ++i) ecfs.push_back({"ECFSIM0000000000" + std::to_string(1000 + i)});
  Print(Printers(ecfs));
  const auto texts = Texts();
  ASSERT_GT(texts.size(), 3u);
  std::string lista;
  for (size_t i = 1; i < texts.size(); ++i) {
    EXPECT_LE(texts[i].size(), 620u);
    EXPECT_EQ(texts[i].back(), '\n');
    lista += texts[i];
  }
  std::string esperado = A("Relação de Arquivos\n") + std::string(48, '-') + "\n\n";
  for (int i = 0; i < 20; ++i)
    esperado += "Arquivo: ARQUIVO" + std::to_string(i) + ".DLL\nMD5    : " + std::string(32, static_cast<char>('a' + i % 26)) + "\n\n";
  esperado += "Versao ER PAF-ECF: 02.06\n\n\n\n" + A("Relação de Ecf's") + "\n\n";
  for (int i = 0; i < 12; ++i) esperado += "ECFSIM0000000000" + std::to_string(1000 + i) + "\n";
  EXPECT_EQ(lista, esperado + "\n");
  EXPECT_NE(Tape().find("ECFSIM00000000001011"), std::string::npos);
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
}

TEST_F(ApplicationReportTest, AnErrorIsShownAndTheReportOpenedIsClosedAgain) {
  rtl::Variant result;
  rtl::ClientDataSet semCampos;
  MakeTable(semCampos, {{"OUTRO", rtl::FieldType::String, 10}}, {{"x"}});
  Qor01100::ImprimeDadosPaf(rtl::Variant(std::vector<rtl::Variant>{rtl::Variant(std::string("0001")), rtl::Variant(std::string("01")),
                                                 rtl::Variant(std::string("")), semCampos.Data(), Printers({})}),
                            result);
  EXPECT_EQ(Dialogs().size(), 1u);
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(Calls("Elgin_FechaRelatorioGerencial").size(), 1u);
  EXPECT_TRUE(result.IsEmpty());
}

}  // namespace
