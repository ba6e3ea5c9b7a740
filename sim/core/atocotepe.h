// The official text file of the printer's memories (records E01, E02, E12,
// E13, E14, E15, E16, E21 in fixed-width fields, one record per line ended by
// CR LF, code page 1252), made from a memory image. Used by the generic sales
// files of the printer library and by the "ATO17.dll" stand-in. Field widths
// are listed in sim/README.md.
#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace ecfsim {

struct AtoSelection {
  bool byDate = true;     // dates (day numbers) or COO numbers
  int64_t from = 0, to = 0;
  bool fiscalMemory = true;  // E12, E13
  bool detailMemory = true;  // E14, E15, E16, E21
};

// "MF" fiscal memory, "MFD" detail memory, "TDM" both; false on anything else.
bool AtoSource(const std::string& source, AtoSelection& sel);

// The file's text (1252, CR LF). `records` receives the number of E12..E21
// records written (0: nothing in the range).
std::string AtoCotepeFile(const nlohmann::json& image, const AtoSelection& sel, int* records = nullptr);

}  // namespace ecfsim
