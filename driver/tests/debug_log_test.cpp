// The debug log in the command path: a log that cannot be written never
// makes a printer command fail or raise, is noted for the host once, and the
// host's own call (ImpFisDebug) still raises.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "coupon/operations.h"
#include "driver/command.h"
#include "driver/operations.h"
#include "driver/state.h"
#include "platform/errors.h"
#include "platform/format.h"
#include "tests/support/module_helpers.h"
#include "tests/support/portable.h"
#include "vendor/elgin.h"

namespace {

namespace fs = std::filesystem;

// The note a failing log leaves in stMensagemTaa (code page 1252).
const std::string kNote = "N\xE3o foi poss\xEDvel gravar o log de depura\xE7\xE3o";

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// The item entry point with something done right after the printer answered.
int (*realVendeItem)(char*, char*, char*, char*, char*, int, char*, char*, char*) = nullptr;
std::function<void()> afterVendeItem;

int VendeItemThen(char* a, char* b, char* c, char* d, char* e, int f, char* g, char* h, char* i) {
  const int code = realVendeItem(a, b, c, d, e, f, g, h, i);
  if (afterVendeItem) afterVendeItem();
  return code;
}

class DebugLogTest : public qortest::PrinterTest {
 protected:
  void TearDown() override {
    if (realVendeItem) Qor01100::Elgin_VendeItem = realVendeItem;
    realVendeItem = nullptr;
    afterVendeItem = nullptr;
    PrinterTest::TearDown();
  }
  fs::path LogFile() const { return hostDir / ("impdebug" + rtl::FormatDateTime("mmyy", env.frozenNow) + ".txt"); }
  // A folder where the month's log should be: it can be neither opened nor written.
  void BreakLog() {
    std::error_code ec;
    fs::remove(LogFile(), ec);
    fs::create_directory(LogFile(), ec);
  }
  void RepairLog() {
    std::error_code ec;
    if (fs::is_directory(LogFile(), ec)) fs::remove(LogFile(), ec);
  }
  void OpenCoupon() {
    std::string cpf, nome, end;
    ASSERT_EQ(Qor01100::Elgin_AbreCupomMFD(cpf.data(), nome.data(), end.data()), 1);
  }
  size_t Items() { return SimState()["document"]["items"].size(); }
};

// The printer takes the item, then the log breaks before the item's trace is
// written (the first two times). The host, as a point of sale does, tries a
// sale that raised again once the operator has freed the disk. The item is
// on the printer at the first try: the host must be told so, once.
TEST_F(DebugLogTest, AnItemWhoseTraceCannotBeLoggedIsSoldOnceAndToldTrue) {
  if (qortest::UnderWine())
    GTEST_SKIP() << "wine keeps a deleted file's name until the log's handle closes: the log cannot be broken "
                    "by a folder of its name";
  OpenCoupon();
  realVendeItem = Qor01100::Elgin_VendeItem;
  Qor01100::Elgin_VendeItem = &VendeItemThen;
  int breaks = 2;
  afterVendeItem = [&] {
    if (breaks-- > 0) BreakLog();
  };
  int tries = 0, raised = 0;
  bool told = false;
  while (!told && tries < 3) {
    ++tries;
    RepairLog();
    try {
      rtl::Variant item = qortest::ItemRecord("1", "PAO", 1, 2.0);
      told = Qor01100::VendaItem(item);
    } catch (const std::exception&) {
      ++raised;
    }
  }
  EXPECT_TRUE(told);
  EXPECT_EQ(raised, 0) << "the log's failure reached the host";
  EXPECT_EQ(tries, 1);
  EXPECT_EQ(Items(), 1u) << "the item is registered once";
  EXPECT_EQ(Count(Qor01100::stMensagemTaa, kNote), 1u) << Qor01100::stMensagemTaa;
}

// However the log fails, commands go on and answer as the printer did; the
// failure is noted once while the note stands in stMensagemTaa, and noted
// again after the host cleared it.
TEST_F(DebugLogTest, ALogThatFailsIsNotedOnceAndCommandsGoOn) {
  struct Case {
    const char* name;
    std::function<void()> breakIt;
  } cases[] = {
      {"a folder in the log's place", [this] { BreakLog(); }},
      {"the host's folder is gone", [this] { env.programPath = (tmp / "gone" / "qorhost").string(); }},
  };
  const std::string hostPath = env.programPath;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    env.programPath = hostPath;
    RepairLog();
    Qor01100::stMensagemTaa.clear();
    c.breakIt();
    bool ok = false;
    for (int i = 0; i < 3; ++i) {
      ASSERT_NO_THROW(ok = Qor01100::Send(Qor01100::Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
      EXPECT_TRUE(ok);
    }
    sim.fail("Elgin_AcionaGaveta", -1, 1);
    ASSERT_NO_THROW(ok = Qor01100::Send(Qor01100::Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
    EXPECT_FALSE(ok) << "a refusal is still a refusal";
    EXPECT_EQ(Count(Qor01100::stMensagemTaa, kNote), 1u) << Qor01100::stMensagemTaa;
    EXPECT_NE(Qor01100::stMensagemTaa.find(A("Erro de execução na função.")), std::string::npos);
    // The host clears its messages (as the coupon opening does): noted anew.
    Qor01100::stMensagemTaa.clear();
    EXPECT_TRUE(Qor01100::Send(Qor01100::Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
    EXPECT_EQ(Count(Qor01100::stMensagemTaa, kNote), 1u) << Qor01100::stMensagemTaa;
    // The host's own line still raises, as its contract says.
    EXPECT_THROW(Qor01100::ImpFisDebug("x"), rtl::EInOutError);
  }
  // Working again: lines reach the log and nothing more is noted.
  env.programPath = hostPath;
  RepairLog();
  Qor01100::stMensagemTaa.clear();
  EXPECT_TRUE(Qor01100::Send(Qor01100::Call("Elgin_AcionaGaveta", Qor01100::Elgin_AcionaGaveta)));
  EXPECT_TRUE(Qor01100::stMensagemTaa.empty()) << Qor01100::stMensagemTaa;
  const auto log = LogMessages();
  EXPECT_NE(std::find(log.begin(), log.end(), "Elgin_AcionaGaveta"), log.end());
}

}  // namespace
