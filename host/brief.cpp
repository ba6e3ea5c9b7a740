#include "host/brief.h"

namespace qorhost {

namespace {

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string Cut(const std::string& s, size_t n) { return s.size() > n ? s.substr(0, n - 3) + "..." : s; }

std::string Pad(const std::string& s, size_t n) { return s.size() >= n ? s + " " : s + std::string(n - s.size(), ' '); }

std::string Trimmed(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// What the step did: the operation's name, or the action and its value.
std::string Action(const Json& step, const Json& out) {
  if (out.contains("op") && out["op"].is_string()) return out["op"].get<std::string>();
  if (!step.is_object()) return "?";
  for (const auto& [k, v] : step.items())
    if (k != "expect" && k != "comment") return Cut(k + " " + Dump(v), 48);
  return "?";
}

// The new messages: what stMensagemTaa gained, then the dialogs it does not already hold.
std::string News(const Json& out, const std::string& before, const std::string& after) {
  std::string gained = after.compare(0, before.size(), before) == 0 ? after.substr(before.size()) : after;
  std::string news = Trimmed(gained);
  for (const auto& d : out.value("dialogs", Json::array())) {
    const std::string text = d.value("text", "");
    const bool question = d.value("question", false);
    if (!question && !text.empty() && news.find(text) != std::string::npos) continue;
    std::string shown = question ? "[? " + text + " -> " + (d.value("answer", false) ? "yes" : "no") +
                                       (d.value("unanswered", false) ? ", unanswered" : "") + "]"
                                 : "[" + text + "]";
    news += (news.empty() ? "" : " ") + shown;
  }
  if (out.contains("error"))
    news += (news.empty() ? "" : " ") + std::string("error ") + out["error"].value("type", "") + ": " +
            out["error"].value("message", "");
  for (const auto& m : out.value("mismatch", Json::array()))
    news += (news.empty() ? "" : " ") + std::string("expect ") + m.value("path", "") + ": wanted " +
            Cut(Dump(m.value("expected", Json())), 40) + ", got " +
            (m.contains("actual") ? Cut(Dump(m["actual"]), 40) : std::string("nothing"));
  if (out.contains("invalid")) news += (news.empty() ? "" : " ") + std::string("refused: ") + out["invalid"].get<std::string>();
  return news;
}

}  // namespace

bool IsFailure(const Json& out) {
  return out.contains("invalid") || out.contains("error") || out.contains("mismatch") ||
         (out.contains("result") && out["result"] == false);
}

std::string BriefLine(int n, const Json& step, const Json& out, const std::string& messagesBefore,
                      const std::string& messagesAfter) {
  std::string n3 = std::to_string(n);
  std::string line = std::string(n3.size() < 4 ? 4 - n3.size() : 0, ' ') + n3 + "  ";
  line += Pad(Action(step, out), 24);
  if (out.contains("op")) {
    const bool shown = out.contains("result") && !out["result"].is_null();  // null: an operation without result
    line += Pad(shown ? Cut(Dump(out["result"]), 24) : std::string("-"), 8);
    if (out.contains("state") && out["state"].contains("inRetorno"))
      line += Pad("ret " + Dump(out["state"]["inRetorno"]), 8);
  }
  const std::string news = News(out, messagesBefore, messagesAfter);
  if (!news.empty()) line += "| " + news;
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line + "\n";
}

std::string BriefSummary(int steps, int failures) {
  return std::to_string(steps) + (steps == 1 ? " step, " : " steps, ") + std::to_string(failures) +
         (failures == 1 ? " failure" : " failures") + "\n";
}

}  // namespace qorhost
