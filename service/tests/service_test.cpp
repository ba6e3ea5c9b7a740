// The service against a small fake module: the queue (one request at a
// time), ids (a retry runs nothing, also after a restart), operator answers,
// bad requests (refused, nothing called), batches of steps and the status
// (no operation called).
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "hostlib/dialogs.h"
#include "service/doors.h"
#include "service/service.h"
#include "tests/support/portable.h"

namespace {

std::atomic<int> g_calls{0};  // operations of the fake module called
std::mutex g_traceMutex;
std::vector<std::string> g_trace;  // "begin N" / "end N" of QsvSlow
bool g_boImpFiscalOK = true;
int32_t g_inRetorno = 1;
std::string g_stMensagemTaa;
std::atomic<int> g_statusQueries{0};

int FakeStatus(int* ack, int* st1, int* st2) {
  ++g_statusQueries;
  *ack = 6;
  *st1 = 2 | 64;  // a coupon open, paper low
  *st2 = 0;
  return 1;
}
int (*g_statusEntry)(int*, int*, int*) = &FakeStatus;

}  // namespace

// Fake operations, named like plain exports.
inline int32_t QsvCount(int32_t n) {
  ++g_calls;
  return n + 1;
}
inline bool QsvAsk(const std::string& text) {
  ++g_calls;
  const bool first = hostlib::Mensagem(text, "", "N", "S", 1, "", "001", 0, nullptr);
  const bool second = hostlib::Mensagem(text + " (2)", "", "N", "S", 1, "", "001", 0, nullptr);
  return first && second;
}
inline bool QsvFalse() {
  ++g_calls;
  return false;
}
inline void QsvSlow(int32_t n) {
  ++g_calls;
  {
    std::lock_guard<std::mutex> l(g_traceMutex);
    g_trace.push_back("begin " + std::to_string(n));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::lock_guard<std::mutex> l(g_traceMutex);
  g_trace.push_back("end " + std::to_string(n));
}
inline int32_t QsvThrow() {
  ++g_calls;
  throw std::runtime_error("broken");
}
QORHOST_ADAPTER(QsvCount, "int->int");
QORHOST_ADAPTER(QsvAsk, "text");
QORHOST_ADAPTER(QsvFalse, "");
QORHOST_ADAPTER(QsvSlow, "int");
QORHOST_ADAPTER(QsvThrow, "");

namespace {

using qorservice::Json;
namespace fs = std::filesystem;

void* Symbol(const std::string& name) {
  static const std::map<std::string, void*> symbols = {
      {"QsvCount", reinterpret_cast<void*>(&QsvCount)},
      {"QsvAsk", reinterpret_cast<void*>(&QsvAsk)},
      {"QsvFalse", reinterpret_cast<void*>(&QsvFalse)},
      {"QsvSlow", reinterpret_cast<void*>(&QsvSlow)},
      {"QsvThrow", reinterpret_cast<void*>(&QsvThrow)},
      {"boImpFiscalOK", &g_boImpFiscalOK},
      {"inRetorno", &g_inRetorno},
      {"stMensagemTaa", &g_stMensagemTaa},
      {"Elgin_VerificaEstadoImpressora", &g_statusEntry},
  };
  auto it = symbols.find(name);
  return it == symbols.end() ? nullptr : it->second;
}

class ServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls = 0;
    g_statusQueries = 0;
    g_trace.clear();
    dir = qortest::MakeTempDir("qorservice");
    options.storePath = (dir / qorservice::kAnswerStoreFile).string();
    Start();
  }
  void TearDown() override {
    service.reset();
    caller.reset();
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // A new service over the same record, as after a restart.
  void Start() {
    service.reset();
    caller = std::make_unique<qorhost::Caller>(Symbol, qorhost::SimControl{});
    service = std::make_unique<qorservice::Service>(*caller, options);
  }
  Json Call(const std::string& text) { return service->HandleText(text); }

  fs::path dir;
  qorservice::ServiceOptions options;
  std::unique_ptr<qorhost::Caller> caller;
  std::unique_ptr<qorservice::Service> service;
};

TEST_F(ServiceTest, AnOperationIsAnsweredWithItsResultStateAndNumber) {
  const Json a = Call(R"({"op": "QsvCount", "args": [41]})");
  EXPECT_EQ(a["result"], 42) << a.dump();
  EXPECT_EQ(a["seq"], 1);
  EXPECT_EQ(a["op"], "QsvCount");
  EXPECT_EQ(a["state"]["inRetorno"], 1);
  EXPECT_EQ(a["dialogs"], Json::array());
  EXPECT_FALSE(a.contains("id"));
  EXPECT_EQ(Call(R"({"op": "QsvCount", "args": [1]})")["seq"], 2);
  EXPECT_EQ(g_calls, 2);
}

struct BadCase {
  const char* request;
  const char* reason;
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.request; }

class BadRequestTest : public ServiceTest, public ::testing::WithParamInterface<BadCase> {};

// A bad request is answered with the reason, calls nothing, and the next request runs.
TEST_P(BadRequestTest, IsRefusedWithItsReasonAndChangesNothing) {
  const Json a = Call(GetParam().request);
  ASSERT_TRUE(a.contains("invalid")) << a.dump();
  EXPECT_NE(a["invalid"].get<std::string>().find(GetParam().reason), std::string::npos) << a.dump();
  EXPECT_FALSE(a.contains("result"));
  EXPECT_EQ(g_calls, 0);
  EXPECT_EQ(Call(R"({"op": "QsvCount", "args": [1]})")["result"], 2);
  // The id of a refused request stays free.
  EXPECT_EQ(Call(R"({"id": "free", "op": "QsvCount", "args": [1]})")["result"], 2);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BadRequestTest,
    ::testing::Values(BadCase{"{\"op\": \"QsvCount\", \"args\": [1]", "not readable"},
                      BadCase{"not json", "not readable"},
                      BadCase{"[1, 2]", "a request is a JSON object"},
                      BadCase{R"({"op": "Nada", "args": []})", "unknown operation \"Nada\""},
                      BadCase{R"({"id": "x", "op": "Nada", "args": []})", "unknown operation"},
                      BadCase{R"({"op": "QsvCount", "args": ["1"]})", "argument 1 (int): int: expected an integer"},
                      BadCase{R"({"op": "QsvCount", "args": [1, 2]})", "takes 1 argument(s)"},
                      BadCase{R"({"op": "QsvCount", "args": [1], "extra": 1})", "unknown member \"extra\""},
                      BadCase{R"({"op": "QsvCount", "sim": {}})", "one thing"},
                      BadCase{R"({"args": [1]})", "needs one of op, steps, sim, status"},
                      BadCase{R"({"op": "QsvAsk", "args": ["?"], "answers": ["yes"]})", "only true/false"},
                      BadCase{R"({"id": [1], "op": "QsvCount", "args": [1]})", "\"id\" is a text"},
                      BadCase{R"({"id": "", "op": "QsvCount", "args": [1]})", "\"id\" is a text"},
                      BadCase{R"({"sim": {"paper": "low"}})", "need the simulated printer"},
                      BadCase{R"({"status": true, "id": "s"})", "takes no id"},
                      BadCase{R"({"steps": []})", "\"steps\" is an array of 1"},
                      BadCase{R"({"steps": [{"op": "QsvCount", "args": [1]}, {"op": "QsvCount", "args": [true]}]})",
                              "step 2 (QsvCount): argument 1"},
                      BadCase{R"({"steps": [{"op": "QsvCount", "args": [1], "sim": {}}]})", "step 1: unknown member"}));

TEST_F(ServiceTest, DeepNestingAndOverLongRequestsAreRefusedUnread) {
  std::string deep = R"({"op": "QsvCount", "args": [)" + std::string(200, '[') + std::string(200, ']') + "]}";
  Json a = Call(deep);
  ASSERT_TRUE(a.contains("invalid"));
  EXPECT_NE(a["invalid"].get<std::string>().find("nest deeper"), std::string::npos) << a.dump();
  options.maxRequestBytes = 100;
  Start();
  a = Call(R"({"op": "QsvCount", "args": [1], "comment": ")" + std::string(100, 'x') + "\"}");
  EXPECT_NE(a.value("invalid", "").find("longer than the 100 bytes"), std::string::npos) << a.dump();
  EXPECT_EQ(g_calls, 0);
}

TEST_F(ServiceTest, ARepeatedIdGetsTheFirstAnswerWithoutACall) {
  const Json first = Call(R"({"id": "sale-1", "op": "QsvCount", "args": [7]})");
  EXPECT_EQ(first["id"], "sale-1");
  EXPECT_EQ(first["result"], 8);
  const Json again = Call(R"({"id": "sale-1", "op": "QsvCount", "args": [7]})");
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(again["replayed"], true);
  Json withoutMark = again;
  withoutMark.erase("replayed");
  EXPECT_EQ(withoutMark, first);
  // The same request with its members in another order is a retry too.
  EXPECT_EQ(Call(R"({"args": [7], "op": "QsvCount", "id": "sale-1"})")["replayed"], true);
  EXPECT_EQ(g_calls, 1);
  // A whole number is an id too, kept apart from the text "7".
  EXPECT_EQ(Call(R"({"id": 7, "op": "QsvCount", "args": [1]})")["result"], 2);
  EXPECT_EQ(Call(R"({"id": 7, "op": "QsvCount", "args": [1]})")["replayed"], true);
  EXPECT_EQ(g_calls, 2);
}

TEST_F(ServiceTest, AnIdKeepsItsAnswerAcrossARestart) {
  const Json first = Call(R"({"id": "a", "op": "QsvCount", "args": [1]})");
  Start();
  const Json again = Call(R"({"id": "a", "op": "QsvCount", "args": [1]})");
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(again["replayed"], true);
  EXPECT_EQ(again["seq"], first["seq"]);
  EXPECT_EQ(again["result"], 2);
}

TEST_F(ServiceTest, AnIdUsedForAnotherRequestOrLeftUnfinishedIsRefusedNotRun) {
  Call(R"({"id": "a", "op": "QsvCount", "args": [1]})");
  Json a = Call(R"({"id": "a", "op": "QsvCount", "args": [2]})");
  EXPECT_NE(a.value("invalid", "").find("already used for a different request"), std::string::npos) << a.dump();
  // A request that was being carried out when the process ended: taken, never answered.
  {
    qorservice::AnswerStore store(options.storePath);
    // As the service keeps a request: without its id, the members in name order.
    store.Begin("b", R"({"args":[1],"op":"QsvCount"})", "2026-03-05T10:00:00.000");
  }
  Start();
  a = Call(R"({"id": "b", "op": "QsvCount", "args": [1]})");
  EXPECT_NE(a.value("invalid", "").find("it is not run again"), std::string::npos) << a.dump();
  EXPECT_EQ(g_calls, 1);
}

TEST_F(ServiceTest, WithoutAUsableRecordIdsAreRefusedAndTheRestRuns) {
  options.storePath = (dir / "no-such-folder" / "x.db").string();
  Start();
  EXPECT_FALSE(service->StoreProblem().empty());
  const Json a = Call(R"({"id": "a", "op": "QsvCount", "args": [1]})");
  EXPECT_NE(a.value("invalid", "").find("nothing was run"), std::string::npos) << a.dump();
  EXPECT_EQ(g_calls, 0);
  EXPECT_EQ(Call(R"({"op": "QsvCount", "args": [1]})")["result"], 2);
}

TEST_F(ServiceTest, QuestionsTakeTheRequestsAnswersThenTheDefault) {
  Json a = Call(R"({"op": "QsvAsk", "args": ["Imprimir?"], "answers": [true, true]})");
  EXPECT_EQ(a["result"], true) << a.dump();
  ASSERT_EQ(a["dialogs"].size(), 2u);
  EXPECT_EQ(a["dialogs"][0]["text"], "Imprimir?");
  EXPECT_FALSE(a["dialogs"][0].contains("unanswered"));
  // One answer queued: the second question takes the default, no.
  a = Call(R"({"op": "QsvAsk", "args": ["Imprimir?"], "answers": [true]})");
  EXPECT_EQ(a["result"], false);
  EXPECT_EQ(a["dialogs"][1]["answer"], false);
  EXPECT_EQ(a["dialogs"][1]["unanswered"], true);
  // Answers left over are reported and never reach the next request.
  a = Call(R"({"op": "QsvCount", "args": [1], "answers": [true, false]})");
  EXPECT_EQ(a["unused_answers"], 2);
  EXPECT_EQ(Call(R"({"op": "QsvAsk", "args": ["?"]})")["result"], false);
  // A configured default of yes.
  options.unansweredDefault = true;
  Start();
  a = Call(R"({"op": "QsvAsk", "args": ["?"]})");
  EXPECT_EQ(a["result"], true);
  EXPECT_EQ(a["dialogs"][0]["unanswered"], true);
}

TEST_F(ServiceTest, StepsRunTogetherAndStopAfterAFailure) {
  Json a = Call(R"({"id": "b1", "steps": [{"op": "QsvCount", "args": [1]}, {"op": "QsvFalse"},
                                           {"op": "QsvCount", "args": [3]}]})");
  ASSERT_EQ(a["steps"].size(), 2u) << a.dump();
  EXPECT_EQ(a["steps"][0]["result"], 2);
  EXPECT_EQ(a["steps"][1]["result"], false);
  EXPECT_NE(a.value("stopped", "").find("step 2 (QsvFalse) answered false"), std::string::npos) << a.dump();
  EXPECT_EQ(g_calls, 2);
  a = Call(R"({"steps": [{"op": "QsvThrow"}, {"op": "QsvCount", "args": [3]}]})");
  EXPECT_EQ(a["steps"][0]["error"]["message"], "broken");
  EXPECT_NE(a.value("stopped", "").find("raised an error"), std::string::npos);
  EXPECT_EQ(g_calls, 3);
  // The batch's id covers the whole batch.
  EXPECT_EQ(Call(R"({"id": "b1", "steps": [{"op": "QsvCount", "args": [1]}, {"op": "QsvFalse"},
                                           {"op": "QsvCount", "args": [3]}]})")["replayed"], true);
  EXPECT_EQ(g_calls, 3);
}

TEST_F(ServiceTest, AnExceptionEscapingTheOperationIsItsAnswerAndIsKeptForItsId) {
  const Json a = Call(R"({"id": "t", "op": "QsvThrow"})");
  EXPECT_EQ(a["error"]["message"], "broken") << a.dump();
  EXPECT_EQ(Call(R"({"id": "t", "op": "QsvThrow"})")["replayed"], true);
  EXPECT_EQ(g_calls, 1);
}

TEST_F(ServiceTest, RequestsFromManyThreadsNeverOverlap) {
  constexpr int kThreads = 4, kEach = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([this, t] {
      for (int i = 0; i < kEach; ++i) Call(R"({"op": "QsvSlow", "args": [)" + std::to_string(t * 100 + i) + "]}");
    });
  for (auto& th : threads) th.join();
  ASSERT_EQ(g_trace.size(), 2u * kThreads * kEach);
  for (size_t i = 0; i < g_trace.size(); i += 2) {
    ASSERT_EQ(g_trace[i].substr(0, 6), "begin ") << i;
    EXPECT_EQ(g_trace[i + 1], "end " + g_trace[i].substr(6)) << "request interleaved at " << i;
  }
  // Each thread's requests in the order it sent them.
  std::map<int, int> lastOf;
  for (size_t i = 0; i < g_trace.size(); i += 2) {
    const int n = std::stoi(g_trace[i].substr(6));
    if (lastOf.count(n / 100)) {
      EXPECT_LT(lastOf[n / 100], n % 100);
    }
    lastOf[n / 100] = n % 100;
  }
  EXPECT_EQ(service->Waiting(), 0u);
}

TEST_F(ServiceTest, StatusCallsNoOperationAndReportsThePrinterAndTheLastResult) {
  Call(R"({"op": "QsvCount", "args": [5]})");
  Call(R"({"op": "Nada"})");  // refused: not the last operation
  const int calls = g_calls;
  const Json st = Call(R"({"status": true})")["status"];
  EXPECT_EQ(g_calls, calls);
  EXPECT_EQ(g_statusQueries, 1);
  EXPECT_EQ(st["driver_started"], true);
  EXPECT_EQ(st["printer"]["reachable"], true);
  EXPECT_EQ(st["printer"]["coupon_open"], true);
  EXPECT_EQ(st["printer"]["paper"], "low");
  EXPECT_EQ(st["last"]["op"], "QsvCount");
  EXPECT_EQ(st["last"]["result"], 6);
  EXPECT_EQ(st["queue"], 0);
  // A printer library not bound yet: not reachable, and nothing is called.
  auto saved = g_statusEntry;
  g_statusEntry = nullptr;
  const Json off = service->Status();
  g_statusEntry = saved;
  EXPECT_EQ(off["printer"]["reachable"], false);
  EXPECT_NE(off["printer"]["why"].get<std::string>().find("not started"), std::string::npos);
  EXPECT_EQ(g_statusQueries, 1);
}

TEST_F(ServiceTest, RecentRequestsAreKeptInShortUpToTheLimit) {
  options.recentCount = 3;
  Start();
  for (int i = 0; i < 4; ++i) Call(R"({"op": "QsvCount", "args": [1]})");
  Call("{");
  const Json recent = service->Recent();
  ASSERT_EQ(recent.size(), 3u);
  EXPECT_EQ(recent[2]["invalid"].get<std::string>().substr(0, 25), "the request is not readab");
  EXPECT_EQ(recent[1]["op"], "QsvCount");
  EXPECT_EQ(recent[1]["seq"], 4);
  EXPECT_EQ(recent[1]["inRetorno"], 1);
}

struct AddressCase {
  const char* text;
  const char* host;  // null: refused
  int port;
  bool loopback;
};

TEST(ListenAddress, HostAndPortAreReadAndLoopbackIsKnown) {
  const AddressCase cases[] = {
      {"8080", "127.0.0.1", 8080, true},      {"127.0.0.1:0", "127.0.0.1", 0, true},
      {"localhost:80", "localhost", 80, true}, {"[::1]:8080", "::1", 8080, true},
      {"0.0.0.0:8080", "0.0.0.0", 8080, false}, {"192.168.0.10:1", "192.168.0.10", 1, false},
      {"65536", nullptr, 0, false},           {"http", nullptr, 0, false},
      {":8080", nullptr, 0, false},           {"", nullptr, 0, false},
      {"127.0.0.1:-1", nullptr, 0, false},
  };
  for (const auto& c : cases) {
    qorservice::HttpOptions o;
    std::string error;
    const bool ok = qorservice::ParseListenAddress(c.text, o, error);
    EXPECT_EQ(ok, c.host != nullptr) << c.text << ": " << error;
    if (!ok || !c.host) continue;
    EXPECT_EQ(o.host, c.host) << c.text;
    EXPECT_EQ(o.port, c.port) << c.text;
    EXPECT_EQ(qorservice::IsLoopback(o.host), c.loopback) << c.text;
  }
}

}  // namespace
