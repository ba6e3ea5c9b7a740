// The data module: the message tables and the client datasets of the module,
// plus a few fields. One instance, created on first use (DataModule()) and
// never destroyed.
#pragma once
#include <string>
#include <vector>

#include "driver/export.h"
#include "hostlib/messages.h"
#include "platform/dataset.h"

class QOR_API TdtmElgin01100 {
 public:
  TdtmElgin01100();
  TdtmElgin01100(const TdtmElgin01100&) = delete;
  TdtmElgin01100& operator=(const TdtmElgin01100&) = delete;

  hostlib::TMessages msgPadrao{"msgPadrao"};
  hostlib::TMessages msgPadrao2{"msgPadrao2"};

#define QOR_DATASET(name) rtl::ClientDataSet name{#name};
#include "driver/datamodule/datasets.def"
#undef QOR_DATASET

  // The datasets in the data module's order.
  std::vector<rtl::ClientDataSet*> AllDataSets();

  // Switches the change log of cdsCheckECF off after every open.
  void cdsCheckECFAfterOpen(rtl::ClientDataSet& ds);

  std::string stSerieAtu;
  std::string IdTotCompCred;
  std::string IdTotRelatorio;
  std::string IdTotCancCred;
  int inPos = 0;
  int inPos1 = 0;
};
