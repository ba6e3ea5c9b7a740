// The recent requests in short, for GET /recent, the support page and the
// status's last operation.
#include "service/service.h"

#include "platform/datetime.h"

namespace qorservice {

namespace {

// One operation's answer in short, after the members of `base`.
Json Short(const Json& base, const Json& answer) {
  Json e = base;
  e["op"] = answer.value("op", Json());
  if (answer.contains("result")) e["result"] = answer["result"];
  if (answer.contains("error")) e["error"] = answer["error"];
  if (const auto state = answer.find("state"); state != answer.end()) {
    if (state->contains("inRetorno")) e["inRetorno"] = (*state)["inRetorno"];
    if (state->contains("stMensagemTaa")) e["stMensagemTaa"] = (*state)["stMensagemTaa"];
  }
  Json dialogs = Json::array();
  if (const auto shown = answer.find("dialogs"); shown != answer.end())
    for (const auto& d : *shown)
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
    Json e = std::move(base);
    if (request.is_object() && request.contains("op") && request["op"].is_string()) e["op"] = request["op"];
    e["invalid"] = answer["invalid"];
    entries.push_back(std::move(e));
  } else if (answer.contains("steps")) {
    size_t n = 0;
    for (const auto& a : answer["steps"]) {
      Json numbered = base;
      numbered["step"] = ++n;
      entries.push_back(Short(numbered, a));
    }
  } else if (answer.contains("op")) {
    entries.push_back(Short(base, answer));
  } else if (answer.contains("sim")) {
    Json e = std::move(base);
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
