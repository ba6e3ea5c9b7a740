// The recent part of the files support people read: the simulated printer's
// paper tape, its call journal and the module's debug log. Each is read as
// it is on the disk at the time of the request (no printer call).
#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace qorservice {

// The last `maxLines` whole lines of the file (at most `maxBytes` of its end);
// nullopt when the file cannot be read.
std::optional<std::string> TailLines(const std::string& path, size_t maxLines, size_t maxBytes);

// The newest debug log of the host folder (the module writes one file per
// month, "impdebugMMYY.txt"); "" when there is none.
std::string NewestDebugLog(const std::string& hostDir);

// The debug log's last lines in UTF-8 (the module writes code page 1252),
// blanks at the ends of lines dropped; nullopt when there is no log.
std::optional<std::string> DebugLogTail(const std::string& hostDir, size_t maxLines);

}  // namespace qorservice
