// Stand-in of the reader library "Leitura.dll": reads the printer's
// memories (fiscal memory and detail memory) into a file.
//
// It reaches the printer through the printer library loaded in the same
// process (found by the same name and search as the module uses), so both
// see one printer. Return codes: 0 done; -1 no port or an unsupported baud
// rate; -2 no file name or a serial number that is not the printer's;
// -3 the printer library cannot be reached; -6 the printer is off; other
// negative values as the printer library answered.
#include <string>

#include "platform/files.h"
#include "platform/library.h"
#include "sim/core/text.h"
#include "vendor/calling_convention.h"

namespace {
int g_baud = 115200;
}

extern "C" {

QOR_VENDOR_EXPORT int QOR_STDCALL DLLReadDefineBaudRate(int baud) {
  switch (baud) {
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
      g_baud = baud;
      return 0;
    default:
      return -1;
  }
}

QOR_VENDOR_EXPORT int QOR_STDCALL DLLReadLeMemorias(char* port, char* file, char* serial, int flag) {
  (void)flag;
  if (!port || ecfsim::Trim(port).empty()) return -1;
  if (!file || ecfsim::Trim(file).empty()) return -2;
  void* lib = rtl::LoadLibraryByName("Elgin.dll");
  if (!lib) return -3;
  using ImageFn = int (*)(const char*, const char*);
  auto image = reinterpret_cast<ImageFn>(rtl::GetLibrarySymbol(lib, "ecfsim_memory_image"));
  if (!image) return -3;
  std::string path = rtl::NativePath(ecfsim::Trim(file));
  std::string s = serial ? ecfsim::Trim(serial) : std::string();
  return image(path.c_str(), s.c_str());
}

}  // extern "C"
