// The folder of the fiscal files the host's fiscal menu asks for, and the
// rule for the names of the files written there.
#pragma once
#include <string>

#include "driver/export.h"

namespace Qor01100 {

// The host program's folder (short form) + "Dados\MenuFiscal\". The folder
// belongs to the host's installation: it is never created here.
QOR_API std::string FiscalMenuFolder();

// True when `name` can only name a file directly inside the folder it is
// joined to: not empty, no folder separator ("\" or "/"), no drive (":"),
// not "." or "..", and no control character. Names built from host or
// printer values (serial numbers, dates) are checked with it before use.
QOR_API bool IsPlainFileName(const std::string& name);

}  // namespace Qor01100
