// Positional lists whose positions have names (today FechaCupom's arParams,
// coupon/closing_positions.def). A call may give such a list as an object
// keyed by position, {"6": 1.5, "13": {...}}, instead of the whole array:
// the positions it leaves out take their kind's empty value ("", 0, false or
// null), so a caller writes only what its sale needs.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "calls/codec.h"

namespace qorhost {

struct Position {
  int index;
  const char* kind;     // Text, Int, Real, Flag, Packet, FlagOrNull, Any
  const char* field;    // the name the module reads it into ("" when it is not read)
  const char* meaning;
};

// The named positions of parameter `param` (0-based) of operation `op`; null when it has none.
const std::vector<Position>* NamedPositions(const std::string& op, size_t param);
// The list an object keyed by position stands for. SessionError for a key
// that is not a position of the list.
Json ExpandPositions(const std::vector<Position>& positions, const Json& keyed);

}  // namespace qorhost
