// Files the simulated printer and the stand-ins of the further vendor
// libraries write for the host (readings, downloads, mirrors, memory images,
// official and signed files): whole or not at all under their final name.
#pragma once
#include <string>

namespace ecfsim {

// Writes `bytes` to `path` (its folder created when missing) under a
// temporary name beside it, flushed to the disk, then renamed over `path`: a
// reader, a process that dies midway or a full disk never leaves `path`
// empty or partial. False when the file could not be written; `path` then
// holds what it held before.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

}  // namespace ecfsim
