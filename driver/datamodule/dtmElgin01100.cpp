// The data module: message tables (embedded from the data files
// msgPadrao.txt and msgPadrao2.txt) and the catalogue of client datasets.
#include "driver/datamodule/dtmElgin01100.h"

#include <initializer_list>

#include "driver/datamodule/layouts.h"

extern const char* const kMsgPadraoText;
extern const char* const kMsgPadrao2Text;

namespace {

using Qor01100::layouts::FieldSpec;
using rtl::FieldType;

template <size_t N>
void Define(rtl::ClientDataSet& ds, const FieldSpec (&fields)[N], size_t count = N) {
  for (size_t i = 0; i < count && i < N; ++i) ds.AddFieldDef(fields[i].name, fields[i].type, fields[i].size);
}

void Define(rtl::ClientDataSet& ds, std::initializer_list<FieldSpec> fields) {
  for (const FieldSpec& f : fields) ds.AddFieldDef(f.name, f.type, f.size);
}

// Every field of the layout except one.
template <size_t N>
void DefineWithout(rtl::ClientDataSet& ds, const FieldSpec (&fields)[N], const std::string& skip) {
  for (const FieldSpec& f : fields)
    if (skip != f.name) ds.AddFieldDef(f.name, f.type, f.size);
}

}  // namespace

TdtmElgin01100::TdtmElgin01100() {
  namespace L = Qor01100::layouts;
  constexpr FieldType S = FieldType::String, F = FieldType::Float, D = FieldType::DateTime;

  msgPadrao.SetText(kMsgPadraoText);
  msgPadrao2.SetText(kMsgPadrao2Text);

  Define(cdsAliqImpFis, {{"CDALIQIMPFIS", S, 10}, {"VRALIQIMPFIS", F, 0}, {"IDALIQIMPFIS", S, 1}});
  cdsAliqImpFis.AddIndexDef("IdxIdAliqVrAliq", "IDALIQIMPFIS;VRALIQIMPFIS");
  cdsAliqImpFis.SetIndexName("IdxIdAliqVrAliq");

  Define(cdsReceb, L::kPaymentType);

  for (rtl::ClientDataSet* ds : {&cdsMovCaixa, &cdsMovCaixaTef}) {
    ds->AddIndexDef("idxNRORDTROCO", "NRORDTROCO;DTHRINCMOV");
    ds->AddIndexDef("idxDTHRINCMOV", "DTHRINCMOV");
    ds->SetIndexName("idxNRORDTROCO");
  }

  Define(cdsRecebAux, L::kPaymentType, 28);  // up to DSIMAGEMBUT
  Define(cdsTipoRece, L::kPaymentType);

  Define(cdsMovFecha, {{"CDTIPORECE", S, 3},
                       {"NMTIPORECE", S, 40},
                       {"DTABERCAIX", D, 0},
                       {"VRFECHAINF", F, 0},
                       {"VRFECHADIG", F, 0},
                       {"NRENVELOPE", S, 6}});
  cdsMovFecha.AfterOpen = [](rtl::ClientDataSet& ds) {
    ds.FieldByName("VRFECHADIG").DisplayFormat = "#,##0.00";
    ds.FieldByName("NRENVELOPE").DisplayWidth = 6;
  };

  Define(cdsSangria, {{"CDTIPORECE", S, 3}, {"NMTIPORECE", S, 40}, {"VRSANGRIA", F, 0}, {"CDCLIENTE", S, 21}});
  Define(cdsTipoReceAux, L::kPaymentType);
  Define(cdsMovAbertura, {{"IDTIPOREG", S, 1}, {"CDTIPORECE", S, 3}, {"NMTIPORECE", S, 40}, {"VRSAIDA", F, 0}});
  Define(cdsMovTot, {{"IDTIPOREG", S, 1}, {"CDTIPORECE", S, 3}, {"NMTIPORECE", S, 40}, {"VRSAIDA", F, 0}});
  DefineWithout(cdsRedzAux01, L::kReductionZ, "IDORIGEMREDZ");
  Define(cdsFormRedzAux01, L::kReductionPayment);
  Define(cdsTotNFisAux01, L::kReductionNonFiscal);
  Define(cdsImpostoRedzAux01, L::kReductionTax);
  Define(cdsReducaoZ, L::kReductionZ);
  Define(cdsFormPgtoRedZ, L::kReductionPayment);
  Define(cdsImpostoRedZ, L::kReductionTax);
  Define(cdsTotNFiscRedZ, L::kReductionNonFiscal);
  Define(cdsTeste, {{"QTPRODCOMVEN", F, 0},
                    {"VRPRECCOMVEN", F, 0},
                    {"CDARVPROD", S, 20},
                    {"NMPRODUTO", S, 50},
                    {"CDPRODUTO", S, 10}});

  cdsProdVend.AddIndexDef("IDXCDPRODUTO", "CDPRODUTO");
  cdsProdVend.AddIndexDef("idxTributacao", "IDTPIMPOSFIS;VRPEALIMPFIS");

  Define(cdsAliqProduto, {{"VRPERCSITTRIB", F, 0}, {"VRTOTALALIQ", F, 0}, {"IDTPIMPOSFIS", S, 20}});
  cdsAliqProduto.AddIndexDef("idxTributacao", "VRPERCSITTRIB");

  cdsCheckECF.AfterOpen = [this](rtl::ClientDataSet& ds) { cdsCheckECFAfterOpen(ds); };

  Define(cdsImposto, {{"CDALIQIMPFIS", S, 10},
                      {"VRALIQIMPFIS", S, 14},
                      {"VRIMPOSTO", S, 14},
                      {"VRVENDIDO", S, 14},
                      {"CDIMPOSTO", S, 10}});
}

void TdtmElgin01100::cdsCheckECFAfterOpen(rtl::ClientDataSet& ds) { ds.SetLogChanges(false); }

std::vector<rtl::ClientDataSet*> TdtmElgin01100::AllDataSets() {
  return {
#define QOR_DATASET(name) &name,
#include "driver/datamodule/datasets.def"
#undef QOR_DATASET
  };
}
