// The recent requests in short, for GET /recent, the support page and the
// status's last operation.
#include "service/service.h"

#include "platform/datetime.h"

namespace qorservice {

namespace {

// One operation's answer in short.
Json Short(const Json& answer) {
  Json e = Json::object();
  e["op"] = answer.value("op", Json());
  if (answer.contains("result")) e["result"] = answer["result"];
  if (answer.contains("error")) e["error"] = answer["error"];
  if (answer.contains("state") && answer["state"].contains("inRetorno")) e["inRetorno"] = answer["state"]["inRetorno"];
  if (answer.contains("state") && answer["state"].contains("stMensagemTaa"))
    e["stMensagemTaa"] = answer["state"]["stMensagemTaa"];
  Json dialogs = Json::array();
  for (const auto& d : answer.value("dialogs", Json::array()))
    dialogs.push_back(Json{{"text", d.value("text", "")}, {"question", d.value("question", false)},
                           {"answer", d.value("answer", false)}});
  e["dialogs"] = std::move(dialogs);
  return e;
}

}  // namespace

void Service::Remember(const Json& request, const Json& answer) {
  Json base = Json::object();
  base["seq"] = answer.value("seq", Json());
  base["at"] = rtl::ToIso(rtl::Now());
  if (request.is_object() && request.contains("id")) base["id"] = request["id"];
  if (answer.value("replayed", false)) base["replayed"] = true;
  std::vector<Json> entries;
  if (answer.contains("invalid")) {
    Json e = base;
    if (request.is_object() && request.contains("op") && request["op"].is_string()) e["op"] = request["op"];
    e["invalid"] = answer["invalid"];
    entries.push_back(std::move(e));
  } else if (answer.contains("steps")) {
    size_t n = 0;
    for (const auto& a : answer["steps"]) {
      Json e = base;
      e["step"] = ++n;
      const Json s = Short(a);
      for (const auto& [k, v] : s.items()) e[k] = v;
      entries.push_back(std::move(e));
    }
  } else if (answer.contains("op")) {
    Json e = base;
    const Json s = Short(answer);
    for (const auto& [k, v] : s.items()) e[k] = v;
    entries.push_back(std::move(e));
  } else if (answer.contains("sim")) {
    Json e = base;
    e["sim"] = answer["sim"];
    entries.push_back(std::move(e));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& e : entries) {
    if (e.contains("op") && !e.contains("invalid") && !e.contains("replayed")) last_ = e;
    recent_.push_back(std::move(e));
    while (recent_.size() > options_.recentCount) recent_.pop_front();
  }
}

Json Service::Recent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Json list = Json::array();
  for (const auto& e : recent_) list.push_back(e);
  return list;
}

}  // namespace qorservice
