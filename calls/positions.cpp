#include "calls/positions.h"

#include <map>

namespace qorhost {

namespace {

const std::vector<Position> kClosing = {
#define QOR_CLOSING_ARG(pos, kind, field, meaning) {pos, #kind, #field, meaning},
#define QOR_CLOSING_UNUSED(pos, kind, meaning) {pos, #kind, "", meaning},
#include "coupon/closing_positions.def"
#undef QOR_CLOSING_ARG
#undef QOR_CLOSING_UNUSED
};

struct Named {
  const char* op;
  size_t param;
  const std::vector<Position>* positions;
};
const Named kNamed[] = {{"FechaCupom", 0, &kClosing}};

Json EmptyValue(const std::string& kind) {
  if (kind == "Text") return "";
  if (kind == "Int") return 0;
  if (kind == "Real") return 0.0;
  if (kind == "Flag") return false;
  return nullptr;  // Packet, FlagOrNull (null counts as true), Any
}

}  // namespace

const std::vector<Position>* NamedPositions(const std::string& op, size_t param) {
  for (const auto& n : kNamed)
    if (op == n.op && param == n.param) return n.positions;
  return nullptr;
}

Json ExpandPositions(const std::vector<Position>& positions, const Json& keyed) {
  Json list = Json::array();
  for (const auto& p : positions) list.push_back(EmptyValue(p.kind));
  const std::string range = "0 to " + std::to_string(positions.size() - 1);
  for (const auto& [key, value] : keyed.items()) {
    size_t index = 0;
    bool digits = !key.empty() && key.size() <= 3;
    for (char c : key) digits = digits && c >= '0' && c <= '9';
    if (digits) index = std::stoul(key);
    if (!digits || index >= positions.size() || (key.size() > 1 && key[0] == '0'))
      throw SessionError(std::string("the list given by position has positions ").append(range).append("; \"").append(key).append("\" is not one"));
    list[index] = value;
  }
  return list;
}

}  // namespace qorhost
