// The balance of a family member after a sale.
#include "driver/family_balance.h"

#include <vector>

#include "driver/amounts.h"
#include "hostlib/consiste.h"

namespace Qor01100 {

namespace {

bool Usable(rtl::ClientDataSet* ds) { return ds && ds->Active(); }

rtl::LocateOptions AnyCase() {
  rtl::LocateOptions o;
  o.caseInsensitive = true;
  return o;
}

bool FindLoan(rtl::ClientDataSet& loans, const std::string& family, const char* kind) {
  return loans.Locate("CDFAMILISALD;IDTPMOVEXT",
                           rtl::Variant(std::vector<rtl::Variant>{rtl::Variant(family), rtl::Variant(kind)}),
                           AnyCase());
}

double FieldValue(rtl::ClientDataSet& ds, const char* field) { return ds.FieldByName(field).AsFloat(); }

}  // namespace

double FamilyBalance(double balance, const std::string& family, rtl::ClientDataSet* families,
                     rtl::ClientDataSet* loans) {
  double value = balance;
  bool familyFound = false;
  if (Usable(families) && families->Locate("CDFAMILISALD", rtl::Variant(family), AnyCase())) {
    familyFound = true;
    value -= FieldValue(*families, "VRSALDCONFAM");
  }
  if (!Usable(loans)) return value;
  if (FindLoan(*loans, family, "D"))
    value -= FieldValue(*loans, "VRMOVEXTCONS");
  else if (familyFound && FindLoan(*loans, family, "C"))
    value += FieldValue(*loans, "VRMOVEXTCONS");
  return value;
}

std::string FamilyBalanceLine(const std::string& name, double value) {
  return hostlib::TamFixo(name, 25) + hostlib::TamFixoR(FixedAmount(value), 22) + "\n";
}

}  // namespace Qor01100
