// Records the host keeps: management-report counters (GravaCER) and the
// register of non-fiscal documents (setDocNaoFiscaisECF). Both append to a
// durable register in the host program's folder, "hostrecords.jsonl": one
// UTF-8 JSON object per line, each line written with a single append and
// flushed, so a crash can at worst lose the line being written, never an
// earlier one. Both answer false, with the reason in *error when given,
// when the line could not be written.
#pragma once
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace hostlib {

bool GravaCER(const std::string& cdFilial, const std::string& cdCaixa, rtl::TDateTime movementDate,
              std::string* error = nullptr);

bool setDocNaoFiscaisECF(const std::string& serial, const std::string& coo, const std::string& gnf,
                         const std::string& grg, const std::string& cdc, const std::string& docType,
                         const std::string& saleNumber, rtl::TDateTime now, rtl::TDateTime movementDate,
                         const std::string& extra, std::string* error = nullptr);

// Path of the register (host program folder + "/hostrecords.jsonl").
std::string RecordsPath();
// Each line of the register (UTF-8 JSON texts).
std::vector<std::string> ReadRecords();

}  // namespace hostlib
