// Files of the printer library and of the further vendor libraries: the
// folders of "ELGIN.INI", the detail-memory download and mirror, the daily
// generic sales files, the memory reader, the official file converter and
// the electronic signature.
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <functional>

#include "fiscal/signature_keys.h"
#include "platform/env.h"
#include "platform/library.h"
#include "sim/tests/sim_fixture.h"

namespace simtest {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class FilesTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    env.programPath = (dir / "host" / "qorhost").string();
    env.systemDirectory = (dir / "system").string();
    fs::create_directories(dir / "host");
    fs::create_directories(dir / "system");
    prev = rtl::SetEnv(&env);
  }
  void TearDown() override {
    rtl::SetEnv(prev);
    SimTest::TearDown();
  }
  void WriteIni(const fs::path& folder, const std::string& text) { std::ofstream(folder / "ELGIN.INI") << text; }

  // A day with a sale, a cancelled sale, a report and a reduction, and a
  // second day with one sale.
  void TwoDays() {
    Sale("10,000", "10,00");
    Sale("2,000", "2,00");
    ASSERT_EQ(Elgin_CancelaCupom(), 1);
    ASSERT_EQ(Elgin_RelatorioGerencial(S("linha\n")), 1);
    ASSERT_EQ(Elgin_FechaRelatorioGerencial(), 1);
    ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
    SetClock("2026-03-06T09:00:00");
    Sale("5,000", "5,00");
  }

  template <typename T>
  T Sym(void* lib, const char* name) {
    void* p = rtl::GetLibrarySymbol(lib, name);
    EXPECT_NE(p, nullptr) << name;
    return reinterpret_cast<T>(p);
  }

  rtl::ConfigurableEnv env;
  rtl::Env* prev = nullptr;
};

TEST_F(FilesTest, SerialReadingGoesToThePathOfTheIniFile) {
  // The host program's folder wins over the system folder; names are matched without regard to case.
  WriteIni(dir / "system", "[Sistema]\nPath=" + (dir / "from-system").string() + "\n");
  Sale("1,000", "1,00");
  ASSERT_EQ(Elgin_ReducaoZ(S(""), S("")), 1);
  ASSERT_EQ(Elgin_LeituraMemoriaFiscalSerialData(S("050326"), S("050326"), S("S")), 1);
  EXPECT_TRUE(fs::exists(dir / "from-system" / "IMPRESSAO.txt"));
  std::ofstream(dir / "host" / "elgin.ini") << "porta=COM1\r\npath=" << (dir / "from-host").string() << "\\\r\n";
  ASSERT_EQ(Elgin_LeituraMemoriaFiscalSerialData(S("050326"), S("050326"), S("C")), 1);
  std::string text = ReadAll(dir / "from-host" / "IMPRESSAO.txt");
  EXPECT_NE(text.find("COMPLETA"), std::string::npos);
}

TEST_F(FilesTest, DownloadAndMirrorOfTheDetailMemory) {
  TwoDays();
  std::string dl = (dir / "download.txt").string(), mirror = (dir / "espelho.txt").string();
  ASSERT_EQ(Elgin_DownloadMFD(S(dl), S("1"), S("050326"), S("050326"), S("")), 1);
  ASSERT_EQ(Elgin_FormatoDadosMFD(S(dl), S(mirror), S("0"), S("1"), S("050326"), S("050326"), S("1")), 1);
  std::string m = ReadAll(mirror);
  EXPECT_NE(m.find("ESPELHO DA MEMORIA DE FITA-DETALHE"), std::string::npos);
  EXPECT_NE(m.find("CUPOM FISCAL CANCELADO"), std::string::npos);
  EXPECT_NE(m.find("REDUCAO Z"), std::string::npos);
  EXPECT_EQ(m.find("06/03/2026"), std::string::npos) << "only the first day";
  EXPECT_NE(m.find("DOCUMENTOS:"), std::string::npos);
  EXPECT_NE(m.find(" 000005\r\n"), std::string::npos) << "five documents on the first day\n" << m;
  // By COO, which needs the user number 1.
  ASSERT_EQ(Elgin_DownloadMFD(S(dl), S("2"), S("6"), S("6"), S("1")), 1);
  EXPECT_EQ(Elgin_DownloadMFD(S(dl), S("2"), S("6"), S("6"), S("")), -2);
  ASSERT_EQ(Elgin_FormatoDadosMFD(S(dl), S(mirror), S("0"), S("2"), S("1"), S("999"), S("1")), 1);
  EXPECT_NE(ReadAll(mirror).find("COO:000006"), std::string::npos);
  EXPECT_EQ(Elgin_FormatoDadosMFD(S((dir / "none.txt").string()), S(mirror), S("0"), S("0"), S(""), S(""), S("")), -1);
  EXPECT_EQ(Elgin_DownloadMFD(S(dl), S("1"), S("060326"), S("050326"), S("")), -2) << "range backwards";
  // The conversion reads a file only: it works with the port closed.
  ASSERT_EQ(Elgin_FechaPortaSerial(), 1);
  EXPECT_EQ(Elgin_FormatoDadosMFD(S(dl), S(mirror), S("0"), S("0"), S(""), S(""), S("")), 1);
}

TEST_F(FilesTest, DailySalesFilesInThePathRfdFolder) {
  WriteIni(dir / "host", "PathRFD=" + (dir / "rfd").string() + "\n");
  TwoDays();
  EXPECT_EQ(RFD_ConvertedaMFDData(S("040326"), S("040326")), -28) << "no movement";
  ASSERT_EQ(RFD_ConvertedaMFDData(S("050326"), S("050326")), 1);
  fs::path zp = dir / "rfd" / "ZPECFSIM00000000000001_20260305.TXT";
  ASSERT_TRUE(fs::exists(zp));
  std::string text = ReadAll(zp);
  EXPECT_EQ(text.substr(0, 3), "E01");
  EXPECT_NE(text.find("\r\nE12"), std::string::npos);
  EXPECT_NE(text.find("\r\nE14"), std::string::npos);
  EXPECT_NE(text.find("\r\nE15"), std::string::npos);
  EXPECT_NE(text.find("\r\nE21"), std::string::npos);
  ASSERT_EQ(RFD_ConvertedaMFD(S("060326")), 1);
  EXPECT_TRUE(fs::exists(dir / "rfd" / "ZPECFSIM00000000000001_20260306.TXT"));
}

TEST_F(FilesTest, ReaderAndConverterLibrariesMakeTheOfficialFile) {
  TwoDays();
  std::string err;
  void* leitura = rtl::LoadLibraryByName("Leitura.dll", &err);
  ASSERT_NE(leitura, nullptr) << err;
  void* ato = rtl::LoadLibraryByName("ATO17.dll", &err);
  ASSERT_NE(ato, nullptr) << err;
  auto baud = Sym<int (*)(int)>(leitura, "DLLReadDefineBaudRate");
  auto read = Sym<int (*)(char*, char*, char*, int)>(leitura, "DLLReadLeMemorias");
  auto gen = Sym<int (*)(char*, char*, char*, char*, char, char*, char*)>(ato, "DLLATO17GeraArquivo");
  EXPECT_EQ(baud(115200), 0);
  EXPECT_EQ(baud(1234), -1);
  std::string image = (dir / "memorias.tdm").string();
  EXPECT_EQ(read(S("COM1"), S(image), S("OUTRO"), 1), -2) << "another printer's serial";
  ASSERT_EQ(read(S("COM1"), S(image), S("ECFSIM00000000000001"), 1), 0);
  json j = json::parse(ReadAll(image));
  EXPECT_EQ(j["format"], "ecfsim-memory-image");
  EXPECT_EQ(j["reductions"].size(), 1u);

  std::string out = (dir / "AtoCotepe.txt").string();
  ASSERT_EQ(gen(S(image), S(out), S("050326"), S("050326"), 'D', S(""), S("MF")), 0);
  std::string text = ReadAll(out);
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 3), "E01");
  EXPECT_EQ(lines[1].substr(0, 3), "E02");
  EXPECT_EQ(lines[2].substr(0, 3), "E12");
  EXPECT_EQ(lines[2].size(), 3u + 20 + 1 + 20 + 2 + 6 + 9 + 6 + 8 + 8 + 6 + 14 + 1 + 1) << "with its CR";
  for (auto& l : lines) EXPECT_NE(l.substr(0, 3), "E14") << "fiscal memory only";
  ASSERT_EQ(gen(S(image), S(out), S("1"), S("99"), 'C', S("01"), S("TDM")), 0);
  EXPECT_NE(ReadAll(out).find("\r\nE15"), std::string::npos);
  EXPECT_EQ(gen(S(image), S(out), S("060326"), S("050326"), 'D', S(""), S("MF")), -2);
  EXPECT_EQ(gen(S(image), S(out), S("050326"), S("050326"), 'X', S(""), S("MF")), -2);
  EXPECT_EQ(gen(S((dir / "missing").string()), S(out), S("050326"), S("050326"), 'D', S(""), S("MF")), -1);
  EXPECT_EQ(gen(S(out), S(out), S("050326"), S("050326"), 'D', S(""), S("MF")), -4) << "not an image";
}

TEST_F(FilesTest, SignatureRecordIsVerifiable) {
  std::string err;
  void* lib = rtl::LoadLibraryByName("sign_bema.dll", &err);
  ASSERT_NE(lib, nullptr) << err;
  auto setType = Sym<int (*)(int)>(lib, "setLibType");
  auto genkey = Sym<int (*)(char*, char*)>(lib, "genkkey");
  auto sign = Sym<int (*)(char*, char*, char*, char*, int)>(lib, "generateEAD");
  auto validate = Sym<int (*)(char*, char*, char*)>(lib, "validateFile");
  EXPECT_EQ(setType(1), 1);
  Buf shortBuf(100), pub(256), priv(256);
  EXPECT_EQ(genkey(shortBuf.p(), priv.p()), -2);
  ASSERT_EQ(genkey(pub.p(), priv.p()), 1);
  ASSERT_TRUE(pub.intact());
  ASSERT_TRUE(priv.intact());

  fs::path file = dir / "arquivo.txt";
  std::ofstream(file, std::ios::binary) << "E01TESTE\r\nE02LINHA\r\n";
  Buf ead(256);
  ASSERT_EQ(sign(S(file.string()), pub.p(), priv.p(), ead.p(), 1), 1);
  ASSERT_TRUE(ead.intact());
  std::string text = ReadAll(file);
  EXPECT_EQ(text.substr(0, 20), "E01TESTE\r\nE02LINHA\r\n");
  EXPECT_EQ(text.substr(20), "EAD" + ead.str() + "\r\n");
  EXPECT_EQ(validate(S(file.string()), pub.p(), priv.p()), 1);
  // Signing again replaces the record.
  ASSERT_EQ(sign(S(file.string()), pub.p(), priv.p(), ead.p(), 1), 1);
  EXPECT_EQ(ReadAll(file), text);

  // Anyone can check it with the openssl command (see sim/README.md).
  if (std::system("command -v openssl >/dev/null 2>&1 && command -v xxd >/dev/null 2>&1") == 0) {
    std::ofstream(dir / "key.def") << "asn1=SEQUENCE:pubkey\n[pubkey]\nn=INTEGER:0x" << pub.str()
                                   << "\ne=INTEGER:0x010001\n";
    std::string d = dir.string();
    std::string cmd = "cd '" + d + "' && openssl asn1parse -genconf key.def -out pub.der -noout >/dev/null && "
                      "openssl rsa -RSAPublicKey_in -inform DER -in pub.der -pubout -out pub.pem 2>/dev/null && "
                      "head -n -1 arquivo.txt > body.txt && tail -n 1 arquivo.txt | cut -c4- | tr -d '\\r\\n' | "
                      "xxd -r -p > sig.bin && openssl dgst -md5 -verify pub.pem -signature sig.bin body.txt "
                      ">/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "openssl verification";
  }

  // A changed byte breaks it.
  std::string tampered = text;
  tampered[3] = 'X';
  std::ofstream(file, std::ios::binary | std::ios::trunc) << tampered;
  EXPECT_EQ(validate(S(file.string()), pub.p(), priv.p()), 0);
  std::ofstream(file, std::ios::binary | std::ios::trunc) << "sem assinatura\r\n";
  EXPECT_EQ(validate(S(file.string()), pub.p(), priv.p()), 0);
  EXPECT_EQ(sign(S(file.string()), S("XYZ"), priv.p(), ead.p(), 1), -2) << "not a key";
  EXPECT_EQ(sign(S((dir / "missing").string()), pub.p(), priv.p(), ead.p(), 1), -1);
  EXPECT_EQ(validate(S((dir / "missing").string()), pub.p(), priv.p()), -1);
  EXPECT_EQ(validate(S(file.string()), S("XYZ"), priv.p()), -2) << "not a key";
}

TEST_F(FilesTest, SignatureWithoutWritingAndOfATextWithoutLastLineFeed) {
  std::string err;
  void* lib = rtl::LoadLibraryByName("sign_bema.dll", &err);
  ASSERT_NE(lib, nullptr) << err;
  auto genkey = Sym<int (*)(char*, char*)>(lib, "genkkey");
  auto sign = Sym<int (*)(char*, char*, char*, char*, int)>(lib, "generateEAD");
  auto validate = Sym<int (*)(char*, char*, char*)>(lib, "validateFile");
  Buf pub(256), priv(256), ead(256), shortEad(10);
  ASSERT_EQ(genkey(pub.p(), priv.p()), 1);

  fs::path file = dir / "sem_fim.txt";
  std::ofstream(file, std::ios::binary) << "E01TESTE";
  ASSERT_EQ(sign(S(file.string()), pub.p(), priv.p(), ead.p(), 0), 1);
  EXPECT_EQ(ReadAll(file), "E01TESTE") << "sign 0 leaves the file as it was";
  ASSERT_EQ(sign(S(file.string()), pub.p(), priv.p(), shortEad.p(), 0), 1);
  EXPECT_TRUE(shortEad.intact());
  EXPECT_EQ(shortEad.str(), ead.str().substr(0, 10)) << "the digits are cut at the buffer's length";
  ASSERT_EQ(sign(S(file.string()), pub.p(), priv.p(), ead.p(), 1), 1);
  EXPECT_EQ(ReadAll(file), "E01TESTE\r\nEAD" + ead.str() + "\r\n") << "the text's last line is ended first";
  EXPECT_EQ(validate(S(file.string()), pub.p(), nullptr), 1);
}

// The signature is a function of the key and the text alone: the same bytes
// on every platform, whichever library computes it (OpenSSL on Linux,
// libgcrypt on Windows). These digits were worked out apart from both.
TEST_F(FilesTest, SignatureOfAGivenKeyAndTextIsTheSameOnEveryPlatform) {
  std::string err;
  void* lib = rtl::LoadLibraryByName("sign_bema.dll", &err);
  ASSERT_NE(lib, nullptr) << err;
  auto sign = Sym<int (*)(char*, char*, char*, char*, int)>(lib, "generateEAD");
  auto validate = Sym<int (*)(char*, char*, char*)>(lib, "validateFile");
  const std::string expected =
      "AAE4DEBF42B463EF48A52722AD84CB97A87327C8B576502D385F13A6B477EDDEE4228B9E1C080CC85AA0C6A873017E30"
      "2AAB66E5F8F761D5C2F16FFFA3D53ED91DE0826F9CF31CF92FA9361FE752149DAF39C96F1D51B5A7FB9DC83A7CEE9DCE"
      "72735B2F95C112EE8A65737C0A6B82F74D93B42AAEE89ABA9D3AC31353EE7837";
  fs::path file = dir / "fixo.txt";
  std::ofstream(file, std::ios::binary) << "E01TESTE\r\nE02LINHA\r\n";
  Buf ead(256);
  ASSERT_EQ(sign(S(file.string()), S(Qor01100::RSA_KEY_PUBLICA), S(Qor01100::RSA_KEY_PRIVADA), ead.p(), 1), 1);
  EXPECT_EQ(ead.str(), expected);
  EXPECT_EQ(ReadAll(file), "E01TESTE\r\nE02LINHA\r\nEAD" + expected + "\r\n");
  EXPECT_EQ(validate(S(file.string()), S(Qor01100::RSA_KEY_PUBLICA), nullptr), 1);
}

}  // namespace
}  // namespace simtest

namespace simtest {
namespace {

// While it lives, files may grow to `bytes` only, as on a disk that is
// almost full: a longer write fails instead of filling the disk. Here a
// file size limit (RLIMIT_FSIZE: the write fails with EFBIG partway).
// Windows has no per-process file size limit: there every write, replacing
// write, append and copy of the run-time's file layer is refused as a full
// disk refuses it (ENOSPC, through rtl::Env::FileOperation), whatever the
// size; what the name held must stay the same way.
#ifndef _WIN32
class DiskAlmostFull {
 public:
  explicit DiskAlmostFull(rlim_t bytes) {
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit lim = old_;
    lim.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lim);
  }
  ~DiskAlmostFull() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = nullptr;
};
#else
class DiskAlmostFull : public rtl::EnvWrapper {
 public:
  explicit DiskAlmostFull(size_t) : rtl::EnvWrapper(rtl::CurrentEnv()), prev_(rtl::SetEnv(this)) {}
  ~DiskAlmostFull() override { rtl::SetEnv(prev_); }
  int FileOperation(const char* kind, const std::string& path) override {
    for (const char* writing : {"write", "replace", "append", "copy"})
      if (std::string(kind) == writing) return ENOSPC;
    return rtl::EnvWrapper::FileOperation(kind, path);
  }

 private:
  rtl::Env* prev_;
};
#endif

class WholeFileTest;

// One file the printer or a stand-in library writes for the host.
struct HostFile {
  const char* name;
  std::function<int(WholeFileTest&)> write;  // the call
  int done;                              // its answer when it did
  const char* file;                      // where the file goes, inside the test folder
};
void PrintTo(const HostFile& f, std::ostream* os) { *os << f.name; }

class WholeFileTest : public FilesTest, public ::testing::WithParamInterface<HostFile> {
 public:
  using FilesTest::dir;
  void* Library(const char* name) {
    std::string err;
    void* lib = rtl::LoadLibraryByName(name, &err);
    EXPECT_NE(lib, nullptr) << err;
    return lib;
  }
  S In(const char* file) { return S((dir / file).string()); }
};

// A file that cannot be written whole (the disk fills up) leaves what the
// name held before, and no file beside it; written again it appears whole.
TEST_P(WholeFileTest, NeverEmptyOrPartialUnderItsName) {
  const HostFile& f = GetParam();
  WriteIni(dir / "host", "Path=" + (dir / "vendor").string() + "\nPathRFD=" + (dir / "vendor").string() + "\n");
  TwoDays();
  ASSERT_EQ(ecfsim_memory_image((dir / "image.json").string().c_str(), ""), 0);
  ASSERT_EQ(f.write(*this), f.done);
  const fs::path target = dir / f.file;
  const std::string whole = ReadAll(target);
  ASSERT_GT(whole.size(), 64u);

  std::ofstream(target, std::ios::binary | std::ios::trunc) << "the previous file";
  {
    DiskAlmostFull limit(32);
    EXPECT_NE(f.write(*this), f.done);
  }
  EXPECT_EQ(ReadAll(target), "the previous file");
  for (const auto& e : fs::directory_iterator(target.parent_path()))
    EXPECT_EQ(e.path().filename().string().find(target.filename().string() + ".tmp"), std::string::npos)
        << "left beside it: " << e.path();

  ASSERT_EQ(f.write(*this), f.done);
  EXPECT_EQ(ReadAll(target).size(), whole.size());
}

INSTANTIATE_TEST_SUITE_P(
    Files, WholeFileTest,
    ::testing::Values(
        HostFile{"Download",
                 [](WholeFileTest& t) { return Elgin_DownloadMFD(t.In("download.txt"), S("0"), S(""), S(""), S("")); },
                 1, "download.txt"},
        HostFile{"Mirror",
                 [](WholeFileTest& t) {  // the download it reads is made once, before any limit
                   if (!fs::exists(t.dir / "dl.txt") &&
                       Elgin_DownloadMFD(t.In("dl.txt"), S("0"), S(""), S(""), S("")) != 1)
                     return -99;
                   return Elgin_FormatoDadosMFD(t.In("dl.txt"), t.In("espelho.txt"), S("0"), S("0"), S(""), S(""),
                                                S(""));
                 },
                 1, "espelho.txt"},
        HostFile{"MemoryImage", [](WholeFileTest& t) { return Elgin_LeMemoriasBinario(t.In("memoria.bin"), S(""), true); },
                 1, "memoria.bin"},
        HostFile{"ReaderImage", [](WholeFileTest& t) { return ecfsim_memory_image(t.In("leitura.json"), ""); }, 0,
                 "leitura.json"},
        HostFile{"SerialReading",
                 [](WholeFileTest&) { return Elgin_LeituraMemoriaFiscalSerialData(S("050326"), S("050326"), S("C")); },
                 1, "vendor/IMPRESSAO.txt"},
        HostFile{"SummaryRecords", [](WholeFileTest&) { return Elgin_DadosSintegra(S("050326"), S("050326")); }, 1,
                 "vendor/SINTEGRA.TXT"},
        HostFile{"DailySalesFile", [](WholeFileTest&) { return RFD_ConvertedaMFD(S("050326")); }, 1,
                 "vendor/ZPECFSIM00000000000001_20260305.TXT"},
        HostFile{"OfficialFile",
                 [](WholeFileTest& t) {
                   auto gen = reinterpret_cast<int (*)(char*, char*, char*, char*, char, char*, char*)>(
                       rtl::GetLibrarySymbol(t.Library("ATO17.dll"), "DLLATO17GeraArquivo"));
                   return gen(t.In("image.json"), t.In("cotepe.txt"), S(""), S(""), 'D', S(""), S("TDM"));
                 },
                 0, "cotepe.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

// The signing library rewrites the file it signs whole: a file that cannot
// be rewritten keeps its text, without a record.
TEST_F(FilesTest, SigningAFileThatCannotBeRewrittenLeavesItAsItWas) {
  std::string err;
  void* lib = rtl::LoadLibraryByName("sign_bema.dll", &err);
  ASSERT_NE(lib, nullptr) << err;
  auto genkey = Sym<int (*)(char*, char*)>(lib, "genkkey");
  auto sign = Sym<int (*)(char*, char*, char*, char*, int)>(lib, "generateEAD");
  auto validate = Sym<int (*)(char*, char*, char*)>(lib, "validateFile");
  Buf pub(256), priv(256), ead(256);
  ASSERT_EQ(genkey(pub.p(), priv.p()), 1);
  const fs::path file = dir / "vendas.txt";
  const std::string text = "E01" + std::string(200, 'X') + "\r\n";
  std::ofstream(file, std::ios::binary) << text;
  {
    DiskAlmostFull limit(text.size() + 100);  // room for the text, not for its record
    EXPECT_EQ(sign(S(file.string()), pub.p(), priv.p(), ead.p(), 1), -1);
  }
  EXPECT_EQ(ReadAll(file), text);
  ASSERT_EQ(sign(S(file.string()), pub.p(), priv.p(), ead.p(), 1), 1);
  EXPECT_EQ(validate(S(file.string()), pub.p(), priv.p()), 1);
}

}  // namespace
}  // namespace simtest
