// Operator dialogs. The host installs the handler; the module calls Mensagem.
// Without a handler the dialog is recorded and the answer is no.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace rtl { class ClientDataSet; }

namespace hostlib {

enum TTipoMsg { tmInformacao = 0, tmConfirmacao = 1, tmErro = 2, tmAviso = 3 };

struct DialogRequest {
  std::string text;        // 1252
  std::string arg2;        // always "" in the module
  std::string arg3;        // "N"
  bool question = false;   // "S" = yes/no question, "N" = notice
  int kind = 0;            // TTipoMsg
  std::string arg6;
  std::string scheme;      // colour scheme code
  int arg8 = 0;
};

using DialogHandler = std::function<bool(const DialogRequest&)>;

// Installs the host's handler (empty function: none). Returns the previous one.
DialogHandler SetDialogHandler(DialogHandler h);

// The dialogs shown since the last TakeDialogLog (with their answers), for hosts and tests.
struct DialogRecord { DialogRequest request; bool answer = false; };
std::vector<DialogRecord> TakeDialogLog();
const std::vector<DialogRecord>& DialogLog();

// The nine-argument dialog: true when the operator answers yes.
// yesNo is "S" for a question, anything else for a notice.
bool Mensagem(const std::string& text, const std::string& arg2, const std::string& arg3,
              const std::string& yesNo, int kind, const std::string& arg6,
              const std::string& scheme, int arg8, rtl::ClientDataSet* ds);

// The run-time's ShowMessage: a notice through the same handler (kind 0, scheme "").
void ShowMessage(const std::string& text);

}  // namespace hostlib
