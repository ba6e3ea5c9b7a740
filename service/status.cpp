// The service's status: read without touching a document. The printer is
// asked only its status bytes, straight through the entry point the module
// bound (no trace, no analysis, no dialog, no debug-log line, no coupon
// cancelled, the shared state left alone); the rest is what the service
// already knows.
#include "service/service.h"

#include "platform/process.h"

namespace qorservice {

namespace {

using StatusQuery = int (*)(int*, int*, int*);
constexpr int kNak = 21;

Json PrinterStatus(qorhost::Caller& caller) {
  auto* bound = static_cast<StatusQuery*>(caller.ModuleSymbol("Elgin_VerificaEstadoImpressora"));
  if (!bound || !*bound)
    return Json{{"reachable", false},
                {"why", "the printer library is not bound: the driver is not started (StartImpFiscal)"}};
  int ack = 0, st1 = 0, st2 = 0;
  int code = 0;
  try {
    code = (*bound)(&ack, &st1, &st2);
  } catch (...) {
    return Json{{"reachable", false}, {"why", "the printer library raised an exception on the status query"}};
  }
  if (code != 1)
    return Json{{"reachable", false},
                {"code", code},
                {"why", "the printer did not answer the status query (code " + std::to_string(code) + ")"}};
  if (ack == kNak)
    return Json{{"reachable", false}, {"code", code}, {"ack", ack}, {"why", "the printer refused the status query"}};
  Json p = {{"reachable", true}, {"code", code}, {"ack", ack}, {"st1", st1}, {"st2", st2}};
  p["coupon_open"] = (st1 & 2) != 0;
  p["paper"] = (st1 & 128) ? "out" : (st1 & 64) ? "low" : "ok";
  p["printer_error"] = (st1 & 16) != 0;
  p["clock_error"] = (st1 & 32) != 0;
  return p;
}

}  // namespace

Json Service::ReadStatus() {
  Json st = Json::object();
  const Json state = caller_.StateSnapshot();
  st["driver_started"] = state.contains("boImpFiscalOK") && state["boImpFiscalOK"] == true;
  st["printer"] = PrinterStatus(caller_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    st["last"] = last_;
    st["requests"] = seq_;
  }
  st["queue"] = Waiting();
  st["record"] = store_ ? Json(store_->Path()) : Json{{"unusable", storeError_}};
  st["processor_seconds"] = rtl::ProcessorSeconds();  // what the service has used: is it busy?
  return st;
}

}  // namespace qorservice
