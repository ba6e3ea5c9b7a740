// Fiscal-memory readings, printed and to file, through the simulated printer.
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/frame.h"
#include "driver/state.h"
#include "fiscal/operations.h"
#include "hostlib/records.h"
#include "tests/support/module_helpers.h"

namespace {

namespace fs = std::filesystem;
using rtl::Variant;

using qortest::ReadAll;

class FiscalMemoryReadingTest : public qortest::FiscalFolderTest {
 protected:
  void SetUp() override {
    FiscalFolderTest::SetUp();
    SetClock(2024, 3, 1, 9, 5, 7);
  }
  size_t Recorded(const std::string& type) {
    size_t n = 0;
    for (const std::string& r : hostlib::ReadRecords()) n += r.find("\"docType\":\"" + type + "\"") != std::string::npos;
    return n;
  }
  static Variant Params(const std::string& inicial, const std::string& final, const std::string& flag,
                        const std::string& tipo) {
    return Variant(std::vector<Variant>{Variant("001"), Variant(inicial), Variant(final), Variant(flag), Variant(tipo)});
  }
  std::vector<std::string> MenuFiles() {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(menuDir)) out.push_back(e.path().filename().string());
    return out;
  }
};

TEST_F(FiscalMemoryReadingTest, APrintedReadingGoesByDateOrByReductionNumberAndIsRecorded) {
  struct Case {
    const char* tipo;
    const char* entry;
    const char* inicial;
    const char* final;
  };
  // "DATA" compares exactly: "Data" is a range of reduction numbers.
  const Case cases[] = {{"DATA", "Elgin_LeituraMemoriaFiscalData", "01/02/2024", "29/02/2024"},
                        {"Data", "Elgin_LeituraMemoriaFiscalReducao", "0001", "0002"},
                        {"RED", "Elgin_LeituraMemoriaFiscalReducao", "0001", "0002"}};
  size_t recorded = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tipo);
    ClearJournal();
    const size_t logStart = LogMessages().size();
    EXPECT_TRUE(Qor01100::EmiteLeituraMemoriaFiscal("", c.inicial, c.final, "c", c.tipo, "SERIE1"));
    ASSERT_EQ(ArgsOf(c.entry).size(), 1u);
    // The flag goes to the printer as the host gave it.
    EXPECT_EQ(ArgsOf(c.entry)[0], (nlohmann::json{c.inicial, c.final, "c"}));
    EXPECT_EQ(LogMessages().at(logStart), std::string(c.entry) + " :  - " + c.inicial + " - " + c.final + " - c");
    EXPECT_EQ(LogMessages().at(logStart + 1), "Retorno da Impressora : 1");
    EXPECT_EQ(Recorded("MF"), ++recorded);
    EXPECT_TRUE(Dialogs().empty());
  }
}

TEST_F(FiscalMemoryReadingTest, ARefusedPrintedReadingIsFalseAndNotRecorded) {
  EXPECT_FALSE(Qor01100::EmiteLeituraMemoriaFiscal("", "31/12/2024", "01/01/2024", "C", "DATA", "SERIE1"));
  EXPECT_EQ(Recorded("MF"), 0u);
  EXPECT_TRUE(Dialogs().empty());  // no dialogs: the host reads stMensagemTaa
  EXPECT_FALSE(Qor01100::stMensagemTaa.empty());
}

TEST_F(FiscalMemoryReadingTest, AReadingToFileIsCopiedUnderItsPrefixAndStampAndSignedWhenByDate) {
  struct Case {
    const char* flag;
    const char* tipo;
    const char* entry;
    const char* file;
    bool signed_;
  };
  // The stamp shows the minutes without a leading zero: 09:05:07 gives "09507".
  const Case cases[] = {
      {"C", "DATA", "Elgin_LeituraMemoriaFiscalSerialData", "LMFC_0103202409507.txt", true},
      {"c", "DATA", "Elgin_LeituraMemoriaFiscalSerialData", "LMFS_0103202409507.txt", true},
      {"S", "REDUCAO", "Elgin_LeituraMemoriaFiscalSerialReducao", "LMFS_0103202409507.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.flag) + c.tipo);
    fs::remove_all(menuDir);
    fs::create_directories(menuDir);
    ClearJournal();
    dialogs.clear();
    const bool byDate = std::string(c.tipo) == "DATA";
    Variant result;
    EXPECT_TRUE(Qor01100::EmiteLeituraMemoriaFiscalSerial(
        Params(byDate ? "01/02/2024" : "0001", byDate ? "29/02/2024" : "0003", c.flag, c.tipo), result));
    EXPECT_EQ(ArgsOf(c.entry).size(), 1u);
    EXPECT_EQ(MenuFiles(), std::vector<std::string>{c.file});
    const std::string copied = ReadAll(menuDir / c.file);
    const std::string original = ReadAll(vendorDir / "IMPRESSAO.txt");
    EXPECT_NE(copied.find("LEITURA DA MEMORIA FISCAL"), std::string::npos);
    if (c.signed_) {
      EXPECT_EQ(copied.substr(0, original.size()), original);
      EXPECT_NE(copied.find("EAD"), std::string::npos);
    } else {
      EXPECT_EQ(copied, original);
    }
    EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Leitura de memória fiscal gerada com sucesso no diretório: ") +
                                                       Qor01100::HostDirectory() + "Dados\\MenuFiscal\\" + c.file}));
    EXPECT_TRUE(result.IsEmpty());
  }
}

TEST_F(FiscalMemoryReadingTest, AReadingToFileEndsWithoutTheVendorConfigurationOrWhenRefused) {
  Variant result;
  fs::remove(hostDir / "ELGIN.INI");
  EXPECT_FALSE(Qor01100::EmiteLeituraMemoriaFiscalSerial(Params("0001", "0002", "C", "RED"), result));
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Arquivo de configuração da Elgin não encontrado (ELGIN.INI).")}));
  dialogs.clear();
  // A refused reading: false, no file, no dialog of its own.
  EXPECT_FALSE(Qor01100::EmiteLeituraMemoriaFiscalSerial(Params("0003", "0001", "C", "RED"), result));
  EXPECT_TRUE(MenuFiles().empty());
}

TEST_F(FiscalMemoryReadingTest, AFailedCopyIsReportedWithItsErrorNumberAndTheReadingStaysDone) {
  fs::remove_all(menuDir);  // the folder belongs to the host and is not created here
  Variant result;
  EXPECT_TRUE(Qor01100::EmiteLeituraMemoriaFiscalSerial(Params("0001", "0002", "C", "RED"), result));
  const auto texts = DialogTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rfind(A("Erro ao gerar arquivo de memória fiscal. (Erro - "), 0), 0u) << texts[0];
  EXPECT_NE(texts[0], A("Erro ao gerar arquivo de memória fiscal. (Erro - 0)"));
}

// The file never stands for a reading it is not: the printer accepting a
// reading without the library writing a new file, an old file that cannot be
// removed first, a full disk under the copy. Each leaves no file in the
// fiscal-menu folder (no empty or partial one, no earlier reading under a new
// name), shows the failure with its error number and never
// the success notice; the reading itself was accepted, so the answer stays true.
TEST_F(FiscalMemoryReadingTest, NoFileIsAnnouncedThatIsNotTheWholeNewReading) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* failing;  // the files a full disk refuses, or ""
    int error;
  } cases[] = {
      {"accepted, no new file", [this] { sim.fail("Elgin_LeituraMemoriaFiscalSerialData", 1, 1); }, "", ENOENT},
      {"the old file cannot be removed", [] {}, "IMPRESSAO.txt", EACCES},
      {"a full disk under the copy", [] {}, "MenuFiscal", ENOSPC},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(menuDir);
    fs::create_directories(menuDir);
    std::ofstream(vendorDir / "IMPRESSAO.txt") << "LEITURA ANTERIOR\n";
    ClearJournal();
    dialogs.clear();
    c.arrange();
    Variant result;
    {
      std::optional<qortest::FailingFiles> full;
      if (*c.failing) full.emplace(c.failing, c.error);
      EXPECT_TRUE(Qor01100::EmiteLeituraMemoriaFiscalSerial(Params("01/02/2024", "29/02/2024", "C", "DATA"), result));
    }
    EXPECT_EQ(ArgsOf("Elgin_LeituraMemoriaFiscalSerialData").size(), 1u);
    EXPECT_TRUE(MenuFiles().empty()) << MenuFiles().front();
    EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Erro ao gerar arquivo de memória fiscal. (Erro - ") +
                                                       std::to_string(c.error) + ")"}));
  }
}

}  // namespace
