// The fiscal-menu folder and its file names (see fiscal_menu.h).
#include "fiscal/fiscal_menu.h"

#include "driver/frame.h"

namespace Qor01100 {

std::string FiscalMenuFolder() { return HostDirectory() + "Dados\\MenuFiscal\\"; }

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (const char c : name)
    if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 32) return false;
  return true;
}

}  // namespace Qor01100
