// Detail-memory files through the simulated printer and its stand-in
// libraries: the mirror, the official file from the memory image, the names
// they get in the fiscal-menu folder, the messages, and the signature record
// checked with the openssl command.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/frame.h"
#include "driver/state.h"
#include "fiscal/fiscal_menu.h"
#include "fiscal/operations.h"
#include "fiscal/signature_keys.h"
#include "platform/text.h"
#include "tests/support/module_helpers.h"
#include "vendor/elgin.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using rtl::Variant;

// Hides whole libraries or single entry points from the module's loading.
class HidingEnv : public rtl::EnvWrapper {
 public:
  explicit HidingEnv(rtl::Env* t) : rtl::EnvWrapper(t) {}
  std::set<std::string> libraries, entries;
  std::vector<std::string> loads;  // every library asked for
  void* LoadLibrary(const std::string& n) override {
    loads.push_back(n);
    return libraries.count(n) ? nullptr : EnvWrapper::LoadLibrary(n);
  }
  void* GetProcAddress(void* l, const std::string& n) override {
    return entries.count(n) ? nullptr : EnvWrapper::GetProcAddress(l, n);
  }
};

using qortest::ReadAll;

class FiscalFilesTest : public qortest::FiscalFolderTest {
 protected:
  void SetUp() override {
    FiscalFolderTest::SetUp();
    // Two documents of the day in the printer's memories.
    ASSERT_EQ(reinterpret_cast<int (*)()>(sim.Entry("Elgin_LeituraX"))(), 1);
    ASSERT_EQ(reinterpret_cast<int (*)()>(sim.Entry("Elgin_LeituraX"))(), 1);
    ClearJournal();
    // Each test loads the further libraries itself.
    Qor01100::ImpFisDLLLeitHandle = nullptr;
    Qor01100::ImpFisDLLAtoHandle = nullptr;
  }

  static Variant Espelho(const std::string& kind, const std::string& start, const std::string& end) {
    std::vector<Variant> v(9, Variant(""));
    v[0] = Variant("001");
    v[6] = Variant(start);
    v[7] = Variant(end);
    v[8] = Variant(kind);
    return Variant(v);
  }
  static Variant Arquivo(const std::string& tipo, const std::string& start, const std::string& end,
                         const std::string& gera, const std::string& serial = "ECFSIM00000000000001") {
    return Variant(std::vector<Variant>{Variant(tipo), Variant(start), Variant(end), Variant(gera), Variant(serial)});
  }
  std::vector<std::string> MenuFiles() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(menuDir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string VendorPath(const std::string& name) const { return vendorDir.string() + "\\" + name; }

  Variant ret = Variant::CreateArray(1);
};

TEST_F(FiscalFilesTest, FolderAndFileNames) {
  EXPECT_EQ(Qor01100::FiscalMenuFolder(), Qor01100::HostDirectory() + "Dados\\MenuFiscal\\");
  for (const char* ok : {"AtoCotepe.txt", "ECF01_010326_050326.txt", "a..b"}) EXPECT_TRUE(Qor01100::IsPlainFileName(ok)) << ok;
  for (const char* bad : {"", ".", "..", "..\\x.txt", "../x.txt", "a/b", "C:x.txt", "a\tb", "a\nb"})
    EXPECT_FALSE(Qor01100::IsPlainFileName(bad)) << bad;
}

TEST_F(FiscalFilesTest, MirrorOfTheDetailMemory) {
  EXPECT_TRUE(Qor01100::geraEspelhoMfd(Espelho("1", "050326", "050326"), ret));
  const std::string espelho = Qor01100::FiscalMenuFolder() + "Espelho_MFD_05032026100000.txt";
  EXPECT_EQ(ArgsOf("Elgin_DownloadMFD"),
            (std::vector<json>{json::array({VendorPath("download.txt"), "1", "050326", "050326", ""})}));
  EXPECT_EQ(ArgsOf("Elgin_FormatoDadosMFD"),
            (std::vector<json>{json::array({VendorPath("download.txt"), espelho, "0", "1", "050326", "050326", "1"})}));
  EXPECT_EQ(MenuFiles(), (std::vector<std::string>{"Espelho_MFD_05032026100000.txt"}));
  EXPECT_NE(ReadAll(menuDir / "Espelho_MFD_05032026100000.txt").find("LEITURA X"), std::string::npos);
  ASSERT_EQ(Dialogs().size(), 1u);
  EXPECT_EQ(Dialogs()[0].request.text, A("ARQUIVO ESPELHO DE MEMORIA DE FITA DETALHE GERADO COM SUCESSO NO DIRETÓRIO: ") + espelho);
  EXPECT_EQ(Dialogs()[0].request.kind, hostlib::tmInformacao);
  const std::vector<std::string> log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(),
                      "Elgin_DownloadMFD : " + VendorPath("download.txt") + " - 1 - 050326 - 050326 - "),
            log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "Retorno da Impressora : 1"), log.end());
  EXPECT_TRUE(ret[0].IsEmpty());
}

TEST_F(FiscalFilesTest, MirrorByCouponNumbersDownloadsWithTheUserNumber) {
  EXPECT_TRUE(Qor01100::geraEspelhoMfd(Espelho("2", "1", "2"), ret));
  EXPECT_EQ(ArgsOf("Elgin_DownloadMFD")[0][4], "1");
  EXPECT_EQ(ArgsOf("Elgin_FormatoDadosMFD")[0][6], "1");
}

TEST_F(FiscalFilesTest, MirrorWithoutTheLibrarysConfiguration) {
  fs::remove(hostDir / "ELGIN.INI");
  EXPECT_FALSE(Qor01100::geraEspelhoMfd(Espelho("1", "050326", "050326"), ret));
  EXPECT_TRUE(Journal().empty());
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("ARQUIVO DE CONFIGURACAO DA ELGIN NÃO ENCONTRADO (ELGIN.INI).")}));
  EXPECT_EQ(Dialogs()[0].request.kind, hostlib::tmAviso);
}

TEST_F(FiscalFilesTest, FailedDownloadNeverConvertsAnEarlierDownload) {
  // A download of an earlier run is still in the library's folder.
  ASSERT_TRUE(Qor01100::geraEspelhoMfd(Espelho("1", "050326", "050326"), ret));
  ASSERT_TRUE(fs::exists(vendorDir / "download.txt"));
  SetClock(2026, 3, 5, 11);
  dialogs.clear();
  ASSERT_EQ(sim.fail("Elgin_DownloadMFD", -1, 1), 0);
  EXPECT_FALSE(Qor01100::geraEspelhoMfd(Espelho("1", "050326", "050326"), ret));
  EXPECT_EQ(Calls("Elgin_FormatoDadosMFD").size(), 2u);  // the conversion is still asked, and fails
  EXPECT_FALSE(fs::exists(menuDir / "Espelho_MFD_05032026110000.txt"));
  const std::vector<std::string> texts = DialogTexts();
  EXPECT_NE(std::find(texts.begin(), texts.end(), A("ERRO AO REALIZAR DOWNLOAD DA MEMÓRIA MFD.")), texts.end());
  EXPECT_EQ(texts.back(), A("ERRO AO REALIZAR GERAÇÃO DO ESPELHO MFD."));
}

TEST_F(FiscalFilesTest, OfficialFileNamedBySerialAndDates) {
  EXPECT_TRUE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "01/03/2026", "05/03/2026", "MFD"), ret));
  EXPECT_EQ(Qor01100::inRetorno, 0);
  EXPECT_EQ(MenuFiles(), (std::vector<std::string>{"ECFSIM00000000000001_010326_050326.txt"}));
  const std::string text = ReadAll(menuDir / "ECFSIM00000000000001_010326_050326.txt");
  EXPECT_EQ(text.rfind("E01ECFSIM00000000000001", 0), 0u);
  EXPECT_TRUE(Dialogs().empty());
  EXPECT_TRUE(fs::exists(vendorDir / "memorias.tdm"));
}

TEST_F(FiscalFilesTest, OtherKindsAlwaysReplaceTheAtoCotepeFile) {
  EXPECT_TRUE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "TDM"), ret));
  const std::string first = ReadAll(menuDir / "AtoCotepe.txt");
  ASSERT_EQ(reinterpret_cast<int (*)()>(sim.Entry("Elgin_LeituraX"))(), 1);
  EXPECT_TRUE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "ATO"), ret));
  EXPECT_EQ(MenuFiles(), (std::vector<std::string>{"AtoCotepe.txt"}));
  EXPECT_FALSE(first.empty());
}

TEST_F(FiscalFilesTest, ByCouponCounterReadsTheMemoriesThenRefuses) {
  EXPECT_FALSE(Qor01100::Gera_ArquivoMFD(Arquivo("C", "1", "2", "MFD"), ret));
  EXPECT_TRUE(fs::exists(vendorDir / "memorias.tdm"));
  EXPECT_TRUE(MenuFiles().empty());
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{"Favor utilizar somente data para a impressora Elgin"}));
  EXPECT_EQ(Dialogs()[0].request.kind, hostlib::tmInformacao);
}

TEST_F(FiscalFilesTest, SerialNumbersNeverLeaveTheFiscalMenuFolder) {
  for (const char* serial : {"..\\..\\..\\evil", "../../evil", "C:evil", "a\\b"}) {
    SCOPED_TRACE(serial);
    dialogs.clear();
    EXPECT_FALSE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "MFD", serial), ret));
    EXPECT_EQ(DialogTexts(), (std::vector<std::string>{A("Não foi possível gerar o arquivo.")}));
  }
  EXPECT_TRUE(MenuFiles().empty());
  for (const auto& e : fs::recursive_directory_iterator(tmp))
    EXPECT_EQ(e.path().filename().string().find("evil"), std::string::npos) << e.path();
}

TEST_F(FiscalFilesTest, FailedMemoryReadingNeverConvertsAnEarlierImage) {
  ASSERT_TRUE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "ATO"), ret));
  fs::remove(menuDir / "AtoCotepe.txt");
  // The reader finds the printer switched off: no image this time.
  ASSERT_EQ(sim.set_power(0), 0);
  EXPECT_FALSE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "ATO"), ret));
  EXPECT_NE(Qor01100::inRetorno, 0);
  EXPECT_TRUE(MenuFiles().empty());
}

TEST_F(FiscalFilesTest, MissingLibrariesAndEntryPoints) {
  struct Case {
    std::string library, entry, text;
  } cases[] = {
      {"Leitura.dll", "", A("Leitura.dll não encontrada.")},
      {"", "DLLReadLeMemorias", A("Não foi possível gerar o arquivo.")},
      {"ATO17.dll", "", A("Ato17.dll não encontrada.")},
      {"", "DLLATO17GeraArquivo", A("Não foi possível gerar o arquivo.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.library + c.entry);
    HidingEnv hiding(&env);
    if (!c.library.empty()) hiding.libraries.insert(c.library);
    if (!c.entry.empty()) hiding.entries.insert(c.entry);
    rtl::ScopedEnv scoped(&hiding);
    Qor01100::ImpFisDLLLeitHandle = nullptr;
    Qor01100::ImpFisDLLAtoHandle = nullptr;
    dialogs.clear();
    EXPECT_FALSE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "ATO"), ret));
    EXPECT_EQ(DialogTexts(), (std::vector<std::string>{c.text}));
    EXPECT_EQ(Dialogs()[0].request.kind, hostlib::tmAviso);
    EXPECT_TRUE(MenuFiles().empty());
  }
}

// ---- the signature record

class SignatureTest : public FiscalFilesTest {
 protected:
  fs::path WriteFile(const std::string& name, const std::string& text) {
    const fs::path p = menuDir / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  // Runs the openssl check of a signed file with the module's public key; its output.
  std::string OpensslVerify(const fs::path& file) {
    const fs::path dir = tmp / "openssl";
    fs::create_directories(dir);
    std::ofstream(dir / "key.def") << "asn1=SEQUENCE:pubkey\n[pubkey]\nn=INTEGER:0x" << Qor01100::RSA_KEY_PUBLICA
                                   << "\ne=INTEGER:0x010001\n";
    const std::string d = dir.string(), f = file.string();
    const std::string script =
        "cd '" + d + "' && openssl asn1parse -genconf key.def -out pub.der -noout"
        " && openssl rsa -RSAPublicKey_in -inform DER -in pub.der -pubout -out pub.pem 2>/dev/null"
        " && head -n -1 '" + f + "' > body"
        " && tail -n 1 '" + f + "' | cut -c4- | tr -d '\\r\\n' | xxd -r -p > sig.bin"
        " && openssl dgst -md5 -verify pub.pem -signature sig.bin body > out.txt 2>&1";
    std::system(script.c_str());
    return ReadAll(dir / "out.txt");
  }
};

TEST_F(SignatureTest, TheProducedFileVerifiesWithOpenssl) {
#ifdef _WIN32
  GTEST_SKIP() << "no openssl command here: sim/tests/files_test.cpp pins the signature bytes OpenSSL gives";
#endif
  ASSERT_TRUE(Qor01100::Gera_ArquivoMFD(Arquivo("D", "05/03/2026", "05/03/2026", "ATO"), ret));
  const fs::path file = menuDir / "AtoCotepe.txt";
  const std::string before = ReadAll(file);
  Qor01100::geraEad(Qor01100::FiscalMenuFolder() + "AtoCotepe.txt");
  const std::string after = ReadAll(file);
  ASSERT_EQ(after.rfind(before, 0), 0u);
  ASSERT_EQ(after.substr(before.size(), 3), "EAD");
  EXPECT_EQ(after.size(), before.size() + 3 + 256 + 2);
  EXPECT_EQ(OpensslVerify(file), "Verified OK\n");
  // The signing entry points are not left bound.
  EXPECT_EQ(Qor01100::Bematech_generateEAD, nullptr);
}

TEST_F(SignatureTest, AnAlteredFileNoLongerVerifies) {
  const fs::path file = WriteFile("dados.txt", "E01 LINHA\r\n");
  Qor01100::geraEad(Qor01100::FiscalMenuFolder() + "dados.txt");
  std::string text = ReadAll(file);
  text[1] = '2';
  std::ofstream(file, std::ios::binary) << text;
  EXPECT_NE(OpensslVerify(file), "Verified OK\n");
}

TEST_F(SignatureTest, NoNameOrNoFileIsNeverSigned) {
  // The signing library is never asked to sign a name that holds no file.
  HidingEnv watching(&env);
  rtl::ScopedEnv scoped(&watching);
  Qor01100::geraEad("");
  Qor01100::geraEad(Qor01100::FiscalMenuFolder() + "nao_existe.txt");
  EXPECT_TRUE(watching.loads.empty());
  EXPECT_TRUE(MenuFiles().empty());
  EXPECT_TRUE(Dialogs().empty());
}

TEST_F(SignatureTest, MissingSigningLibraryLeavesTheFileUnsigned) {
  for (const std::string hidden : {"library", "validateFile"}) {
    SCOPED_TRACE(hidden);
    const fs::path file = WriteFile("dados.txt", "E01 LINHA\r\n");
    HidingEnv hiding(&env);
    if (hidden == "library")
      hiding.libraries.insert("sign_bema.dll");
    else
      hiding.entries.insert(hidden);
    rtl::ScopedEnv scoped(&hiding);
    Qor01100::geraEad(Qor01100::FiscalMenuFolder() + "dados.txt");
    EXPECT_EQ(ReadAll(file), "E01 LINHA\r\n");
    EXPECT_TRUE(Dialogs().empty());
    EXPECT_EQ(Qor01100::Bematech_setLibType, nullptr);
  }
}

}  // namespace
