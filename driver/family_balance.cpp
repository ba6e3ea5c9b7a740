// The balance of a family member after a sale.
#include "driver/family_balance.h"

#include <vector>

#include "driver/amounts.h"
#include "hostlib/consiste.h"

namespace Qor01100 {

namespace {

bool Usavel(rtl::ClientDataSet* ds) { return ds && ds->Active(); }

rtl::LocateOptions SemCaixa() {
  rtl::LocateOptions o;
  o.caseInsensitive = true;
  return o;
}

bool AchaEmprestimo(rtl::ClientDataSet& emprestimo, const std::string& cdFamilia, const char* tipo) {
  return emprestimo.Locate("CDFAMILISALD;IDTPMOVEXT",
                           rtl::Variant(std::vector<rtl::Variant>{rtl::Variant(cdFamilia), rtl::Variant(tipo)}),
                           SemCaixa());
}

double Valor(rtl::ClientDataSet& ds, const char* campo) { return ds.FieldByName(campo).AsFloat(); }

}  // namespace

double FamilyBalance(double saldo, const std::string& cdFamilia, rtl::ClientDataSet* familia,
                     rtl::ClientDataSet* emprestimo) {
  double valor = saldo;
  bool achouFamilia = false;
  if (Usavel(familia) && familia->Locate("CDFAMILISALD", rtl::Variant(cdFamilia), SemCaixa())) {
    achouFamilia = true;
    valor -= Valor(*familia, "VRSALDCONFAM");
  }
  if (!Usavel(emprestimo)) return valor;
  if (AchaEmprestimo(*emprestimo, cdFamilia, "D"))
    valor -= Valor(*emprestimo, "VRMOVEXTCONS");
  else if (achouFamilia && AchaEmprestimo(*emprestimo, cdFamilia, "C"))
    valor += Valor(*emprestimo, "VRMOVEXTCONS");
  return valor;
}

std::string FamilyBalanceLine(const std::string& nome, double valor) {
  return hostlib::TamFixo(nome, 25) + hostlib::TamFixoR(FixedAmount(valor), 22) + "\n";
}

}  // namespace Qor01100
