// A 100-item sale (AbreCupom, 100 VendaItem, FechaCupom: 102 calls) through
// each door of the resident driver against the same sale through qorhost's
// call in process (the Caller on a parsed step, the answer written as JSON
// text, as a session step is):
//   - the C entry: qor_call with the request's text, the answer's text freed;
//   - qorhost serve --stdio: a line written to its standard input, the
//     answer's line read back, one request at a time;
//   - qorhost serve --http: POST /call on one kept-alive connection.
// Each door has its own simulated printer in a folder of its own. The doors
// take turns within every round (the order rotating), so a machine busy with
// something else slows them alike; the figures are medians over the rounds,
// and the ratios are to the in-process call of the same run. Two figures per
// door: the wall-clock time of a sale as the client waits for it, and the
// processor time it took, the client's and (for the two served doors) the
// service's together, read from the status's "processor_seconds" around
// each sale: on a busy machine the first counts the waits for a processor,
// the second the work of each door. For the served doors the service's
// processor time is also shown alone (the rest is the client's: this
// program's HTTP client library, or its writing and reading of lines).
//
//   doors_bench [ROUNDS [FOLDER]]   ROUNDS sales per door after one warm-up
//   (default 15), the printers under a new folder of FOLDER (default: the
//   temporary folder)
//
// The in-process call and the C entry run in child processes of this
// program (doors_bench --child inproc|capi FOLDER), each timing its own
// sales, so that every door starts from a fresh process and module.
// `doors_bench --requests N` prints the start and N sales' requests, one per
// line, for counting instructions (README "Performance").
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "calls/loader.h"
#include "platform/env.h"
#include "platform/library.h"
#include "platform/child_process.h"
#include "platform/process.h"

namespace {

namespace fs = std::filesystem;
using qorhost::Json;
using Clock = std::chrono::steady_clock;

constexpr int kItems = 100;

Json StartRecord() {
  return Json::parse(R"({"CDFILIAL": "0001", "CDCAIXA": "01", "NRSERIEIMP": "ECFSIM00000000000001", "ESQUEMA": "001",
      "CDPORTAIMPFIS": "COM1", "IDTIPOIMPFIS": "1", "BOUTILTAA": true, "NRSERIE": "ECFSIM00000000000001",
      "ESQUEMACOR": "001"})");
}

// The requests that start the driver once per printer.
std::vector<std::string> StartRequests() {
  return {Json{{"op", "StartImpFiscal"}, {"args", Json::array({StartRecord()})}}.dump()};
}

// One sale: a coupon of kItems items paid in cash (the factory programming's Dinheiro).
std::vector<std::string> SaleRequests() {
  std::vector<std::string> r;
  r.push_back(Json::parse(R"({"op": "AbreCupom", "args": [{"ESQUEMACOR": "001", "INCLUICPF": "", "INCLUINOME": "",
      "INCLUIENDERECO": "", "CUPNR": "", "CONTCUPOM": "", "TIPOTICKET": "1", "IVACOMP": "", "IVAPROP": "",
      "TIPODOC": "", "NRDOC": "", "MESA": "", "IDUTILTEF": "N", "INTTEFERRO": 0, "UTILTEF": false}]})")
                  .dump());  // one line: the standard-input door reads a request per line
  for (int i = 1; i <= kItems; ++i) {
    Json item = {{"ESQUEMACOR", "001"}, {"CDARVPROD", std::to_string(7891000000000LL + i)},
                 {"NMPROD", "PRODUTO " + std::to_string(i)}, {"CDALIQ", "00"}, {"QTDE", 1}, {"VALOR", 1.5},
                 {"DESCONT", 0}, {"ACRESCIMO", 0}, {"UNIDADE", "UN"}, {"TIPOTICKET", "1"}, {"VRPERCALIQ", "18"},
                 {"IDUTILTEF", "N"}, {"UTILTEF", false}, {"INTTEFERRO", 0}};
    r.push_back(Json{{"op", "VendaItem"}, {"args", Json::array({item})}}.dump());
  }
  // The movement table: one cash payment of the whole sale.
  const char* const fields[][3] = {
      {"CDFILIAL", "string", "4"},     {"IDTIPOMOVIVE", "string", "1"}, {"DTHRINCMOV", "datetime", ""},
      {"CDTIPORECE", "string", "3"},   {"NMTIPORECE", "string", "40"},  {"IDTIPORECE", "string", "1"},
      {"VRMOVIVEND", "float", ""},     {"VRMOVIVEOUT", "float", ""},    {"VRCOTINDOUT", "float", ""},
      {"CDTIPOTROCO", "string", "3"},  {"NRORDTROCO", "string", "3"},   {"CDCLIENTE", "string", "15"},
      {"CDCONSUMIDOR", "string", "15"}, {"DTMOVIMCAIXA", "datetime", ""}, {"DSIMPFISCAL", "string", "50"},
      {"CDFPIMPFIS", "string", "10"},  {"NRCARTBANCO", "string", "20"}, {"CDNSUHOSTTEF", "string", "20"},
      {"CDBANCARTCR", "string", "10"}, {"CDTIPORECEORIG", "string", "3"}};
  Json movements = {{"fields", Json::array()}};
  for (const auto& f : fields) {
    Json field = {{"name", f[0]}, {"type", f[1]}};
    if (*f[2]) field["size"] = std::stoi(f[2]);
    movements["fields"].push_back(field);
  }
  movements["indexes"] = Json::parse(R"([{"name": "idxIDTIPORECE", "fields": "IDTIPORECE;NRORDTROCO"}])");
  movements["rows"] = Json::array({Json::array({"0001", "E", "2026-01-01T10:00:00", "001", "Dinheiro", "1",
                                                kItems * 1.5, 0, 0, nullptr, "1", nullptr, nullptr, "2026-01-01",
                                                "Dinheiro", "S", nullptr, nullptr, nullptr, nullptr})});
  Json types = Json::parse(R"({"fields": [{"name": "CDTIPORECE", "type": "string", "size": 3},
      {"name": "NMTIPORECE", "type": "string", "size": 40}, {"name": "IDTIPORECE", "type": "string", "size": 1}],
    "rows": [["001", "Dinheiro", "1"]]})");
  Json closing = {{"2", "001"}, {"13", movements}, {"14", types}};
  r.push_back(Json{{"op", "FechaCupom"}, {"args", Json::array({closing, Json::array(), 4})}}.dump());
  return r;
}

[[noreturn]] void Fail(const std::string& why) {
  std::cerr << "doors_bench: " << why << "\n";
  std::exit(1);
}

// An answer must say the operation ran and did not answer false.
void Check(const std::string& answer) {
  if (answer.find("\"invalid\"") != std::string::npos || answer.find("\"result\":false") != std::string::npos)
    Fail("a request failed: " + answer.substr(0, 400));
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// ---------------------------------------------------------------- the children: in process and the C entry

using CallText = std::function<std::string(const std::string&)>;

int Child(const std::string& door, const fs::path& folder) {
  static rtl::ConfigurableEnv env;
  env.programPath = (folder / "host" / "doors_bench").string();
  fs::create_directories(folder / "host");
  CallText call;
  std::unique_ptr<qorhost::Caller> caller;
  if (door == "inproc") {
    rtl::SetEnv(&env);
    const qorhost::SimControl sim = qorhost::LoadPrinter("sim", [](const std::string& w) { Fail(w); });
    qorhost::UsePrinterFolders(sim, (folder / "ecf").string(), "");
    std::string error;
    void* module = qorhost::LoadModule(&error);
    if (!module) Fail(error);
    caller = std::make_unique<qorhost::Caller>(qorhost::ModuleSymbols(module), sim);
    // qorhost parses a session's steps with the script, before they run: so are these.
    auto parsed = std::make_shared<std::map<std::string, Json>>();
    for (const auto& r : StartRequests()) (*parsed)[r] = Json::parse(r);
    for (const auto& r : SaleRequests()) (*parsed)[r] = Json::parse(r);
    call = [&caller, parsed](const std::string& text) {
      return caller->RunOp(parsed->at(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
    };
  } else {
    void* lib = rtl::LoadLibraryByName("qorcall");
    if (!lib) Fail("cannot load libqorcall");
    auto init = reinterpret_cast<char* (*)(const char*)>(rtl::GetLibrarySymbol(lib, "qor_init"));
    auto qcall = reinterpret_cast<char* (*)(const char*)>(rtl::GetLibrarySymbol(lib, "qor_call"));
    auto qfree = reinterpret_cast<void (*)(char*)>(rtl::GetLibrarySymbol(lib, "qor_free"));
    const Json config = {{"host_dir", (folder / "host").string()}, {"state", (folder / "ecf").string()}};
    char* a = init(config.dump().c_str());
    if (std::strstr(a, "\"ok\":true") == nullptr) Fail(a);
    qfree(a);
    call = [qcall, qfree](const std::string& text) {
      char* answer = qcall(text.c_str());
      std::string s(answer);
      qfree(answer);
      return s;
    };
  }
  // Commands on standard input: "start", "sale" (answered with the milliseconds it took).
  const auto start = StartRequests();
  const auto sale = SaleRequests();
  std::string command;
  while (std::getline(std::cin, command)) {
    if (command == "start") {
      for (const auto& r : start) Check(call(r));
      std::cout << "ok" << std::endl;
    } else if (command == "sale") {
      const auto t0 = Clock::now();
      const double c0 = rtl::ProcessorSeconds();
      for (const auto& r : sale) Check(call(r));
      std::cout << Ms(Clock::now() - t0) << " " << (rtl::ProcessorSeconds() - c0) * 1000 << std::endl;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- the parent: each door driven in turn

struct Door {
  std::string name;
  std::unique_ptr<rtl::ChildProcess> process;
  std::unique_ptr<httplib::Client> http;  // the HTTP door's connection
  CallText call;                          // stdio and HTTP: one request, timed here
  std::vector<double> ms, cpuMs, serviceMs;  // serviceMs: the served doors' service alone
};

std::unique_ptr<rtl::ChildProcess> Start(const std::string& program, const std::vector<std::string>& args) {
  std::string error;
  auto p = rtl::ChildProcess::Start(program, args, &error);
  if (!p) Fail("cannot start " + program + ": " + error);
  return p;
}

std::string ReadLine(rtl::ChildProcess& p, const std::string& what) {
  std::string line;
  if (!p.ReadLine(line)) Fail(what + " ended");
  return line;
}

// The service's processor time so far, from its status (the served doors).
double ServiceCpuMs(Door& d) {
  const Json status = Json::parse(d.call(R"({"status": true})"));
  return status["status"]["processor_seconds"].get<double>() * 1000;
}

void RunSale(Door& d, const std::vector<std::string>& sale) {
  if (!d.call) {
    d.process->Write("sale\n");
    double wall = 0, cpu = 0;
    if (std::sscanf(ReadLine(*d.process, d.name).c_str(), "%lf %lf", &wall, &cpu) != 2) Fail(d.name + ": no timing");
    d.ms.push_back(wall);
    d.cpuMs.push_back(cpu);
    return;
  }
  const double server0 = ServiceCpuMs(d);
  const auto t0 = Clock::now();
  const double c0 = rtl::ProcessorSeconds();
  for (const auto& r : sale) Check(d.call(r));
  const double client = (rtl::ProcessorSeconds() - c0) * 1000;
  d.ms.push_back(Ms(Clock::now() - t0));
  d.serviceMs.push_back(ServiceCpuMs(d) - server0);
  d.cpuMs.push_back(client + d.serviceMs.back());
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The four doors, each started on a printer of its own under `folder`.
std::vector<Door> StartDoors(const std::string& self, const std::string& qorhost, const fs::path& folder) {
  std::vector<Door> doors(4);
  doors[0].name = "qorhost in process";
  doors[1].name = "C entry (qor_call)";
  doors[2].name = "serve --stdio";
  doors[3].name = "serve --http";
  doors[0].process = Start(self, {"--child", "inproc", (folder / "inproc").string()});
  doors[1].process = Start(self, {"--child", "capi", (folder / "capi").string()});
  auto serveArgs = [&](const char* door, const char* sub) {
    std::vector<std::string> a{"serve", door};
    if (std::string(door) == "--http") a.push_back("127.0.0.1:0");
    a.insert(a.end(), {"--state", (folder / sub / "ecf").string(), "--host-dir", (folder / sub / "host").string()});
    return a;
  };
  doors[2].process = Start(qorhost, serveArgs("--stdio", "stdio"));
  doors[2].call = [&d = doors[2]](const std::string& text) {
    d.process->Write(text + "\n");
    return ReadLine(*d.process, d.name);
  };
  doors[3].process = Start(qorhost, serveArgs("--http", "http"));
  const std::string listening = ReadLine(*doors[3].process, "serve --http");
  const size_t at = listening.find("http://");
  if (at == std::string::npos) Fail("serve --http said: " + listening);
  const std::string url = listening.substr(at, listening.size() - at - 1);
  doors[3].http = std::make_unique<httplib::Client>(url);
  doors[3].http->set_keep_alive(true);
  doors[3].http->set_tcp_nodelay(true);
  doors[3].http->set_read_timeout(120, 0);
  doors[3].call = [&d = doors[3]](const std::string& text) {
    auto res = d.http->Post("/call", text, "application/json");
    if (!res) Fail("POST /call failed");
    return res->body;
  };

  return doors;
}

}  // namespace

// A benchmark that fails ends with the run-time's report of the exception.
int main(int argc, char** argv) {  // NOLINT(bugprone-exception-escape)
  if (argc == 4 && std::string(argv[1]) == "--child") return Child(argv[2], argv[3]);
  if (argc == 3 && std::string(argv[1]) == "--requests") {
    // The requests as lines, for counting a door's instructions under valgrind:
    // the start, then N sales.
    for (const auto& r : StartRequests()) std::cout << r << "\n";
    for (int i = 0; i < std::atoi(argv[2]); ++i)
      for (const auto& r : SaleRequests()) std::cout << r << "\n";
    return 0;
  }
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const fs::path base = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path();
  const fs::path folder =
      base / ("doors-bench-" + std::to_string(Clock::now().time_since_epoch().count() % 1000000007));
  const fs::path bin = fs::absolute(argv[0]).parent_path();
  const std::string self = (bin / "doors_bench").string(), qorhost = (bin / "qorhost").string();

  std::vector<Door> doors = StartDoors(self, qorhost, folder);
  const auto start = StartRequests();
  const auto sale = SaleRequests();
  for (auto& d : doors) {
    if (d.call) {
      for (const auto& r : start) Check(d.call(r));
    } else {
      d.process->Write("start\n");
      ReadLine(*d.process, d.name);
    }
    RunSale(d, sale);  // warm-up
    d.ms.clear();
    d.cpuMs.clear();
    d.serviceMs.clear();
  }
  for (int round = 0; round < rounds; ++round)
    for (size_t k = 0; k < doors.size(); ++k) RunSale(doors[(round + k) % doors.size()], sale);

  const double wall0 = Median(doors[0].ms), cpu0 = Median(doors[0].cpuMs);
  std::printf("A sale of %d items (%zu calls), median of %d rounds, the doors in turn:\n\n", kItems, sale.size(),
              rounds);
  std::printf("%-22s %10s %7s %15s %7s %13s %7s\n", "door", "wall (ms)", "ratio", "processor (ms)", "ratio",
              "service (ms)", "ratio");
  for (auto& d : doors) {
    const double wall = Median(d.ms), cpu = Median(d.cpuMs);
    std::printf("%-22s %10.1f %6.2fx %15.1f %6.2fx", d.name.c_str(), wall, wall / wall0, cpu, cpu / cpu0);
    if (!d.serviceMs.empty()) std::printf(" %13.1f %6.2fx", Median(d.serviceMs), Median(d.serviceMs) / cpu0);
    std::printf("\n");
  }
  doors[3].http.reset();
  for (auto& d : doors) {
    d.process->CloseInput();
    if (&d == &doors[3]) d.process->Stop();
    d.process->Wait();
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
  return 0;
}
