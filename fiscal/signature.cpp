// The electronic signature record (EAD) of the fiscal files: the signing
// library appends it to the file, signed with the module's key pair.
#include <string>

#include "driver/command.h"
#include "driver/frame.h"
#include "driver/vendor_call.h"
#include "fiscal/operations.h"
#include "fiscal/signature_keys.h"
#include "platform/files.h"
#include "vendor/elgin.h"

namespace Qor01100 {

void geraEad(const std::string& stNmArquivo) {
  // Only a file that exists is signed: an empty name, or the name of a file
  // that is not there, never reaches the signing library.
  if (stNmArquivo.empty() || !rtl::FileExists(stNmArquivo)) {
    DebugLog("geraEad: arquivo inexistente, nada assinado: " + stNmArquivo);
    return;
  }
  if (BindSignature() == FurtherLibrary::Bound) {
    std::string stRegistroEAD;
    CallOnly(Call("", Bematech_generateEAD, stNmArquivo, RSA_KEY_PUBLICA, RSA_KEY_PRIVADA, Into(stRegistroEAD, 256), 1)
                 .KeepInRetorno(false));
  }
  // Without the whole library the file stays unsigned; no entry point is left bound either way.
  UnbindSignature();
}

}  // namespace Qor01100
