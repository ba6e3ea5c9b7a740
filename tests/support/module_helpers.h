// Pieces the module's tests share beside ModuleTest: a fixture whose
// printer is ready (and one with the fiscal-file folders), a full disk for
// chosen files, a file reader,
// a line splitter, the item record of a sale, and the host's datasets
// built from rows.
//
//   class MyTest : public qortest::PrinterTest {};
//   rtl::ClientDataSet ds;
//   qortest::MakeTable(ds, {{"CDTIPORECE", rtl::FieldType::String, 3}, {"VRMOV", rtl::FieldType::Float}},
//                      {{"001", 10.5}, {"002", 3}});
#pragma once
#include <cerrno>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/dataset.h"
#include "platform/env.h"
#include "platform/variant.h"
#include "tests/support/module_fixture.h"

namespace qortest {

// A module test whose printer is bound with its port open, and whose journal
// starts empty after that.
class PrinterTest : public ModuleTest {
 protected:
  void SetUp() override;
};

// A printer test for the fiscal files: the vendor library's folder
// (`vendorDir`, named by "Path" in "ELGIN.INI") and the host's fiscal-menu
// folder (`menuDir`, "Dados\MenuFiscal" below the host's folder), both made.
class FiscalFolderTest : public PrinterTest {
 protected:
  void SetUp() override;
  std::filesystem::path vendorDir, menuDir;
};

// While it lives, every file operation of the module on a path that holds
// `part` fails with `error` (ENOSPC: a full disk), through the run-time's
// file seam (rtl::Env::FileOperation); every other one goes on as before.
class FailingFiles : public rtl::EnvWrapper {
 public:
  explicit FailingFiles(std::string part, int error = ENOSPC)
      : rtl::EnvWrapper(rtl::CurrentEnv()), part_(std::move(part)), error_(error), prev_(rtl::SetEnv(this)) {}
  ~FailingFiles() override { rtl::SetEnv(prev_); }
  FailingFiles(const FailingFiles&) = delete;
  FailingFiles& operator=(const FailingFiles&) = delete;
  int FileOperation(const char* kind, const std::string& path) override {
    if (path.find(part_) == std::string::npos) return rtl::EnvWrapper::FileOperation(kind, path);
    ++failed;
    return error_;
  }
  int failed = 0;

 private:
  std::string part_;
  int error_;
  rtl::Env* prev_;
};

// A whole file's bytes; "" when it cannot be read.
std::string ReadAll(const std::filesystem::path& p);

// The lines of a text split at its line feeds; a last piece without one is
// a line too ("a\nb" and "a\nb\n" both give a, b).
std::vector<std::string> Lines(const std::string& text);

// VendaItem's record: product code and name, rate "00", quantity and price,
// then the further pairs in the order given.
rtl::Variant ItemRecord(const std::string& cod, const std::string& nome, double qtde, double valor,
                        std::initializer_list<std::pair<std::string, rtl::Variant>> more = {});

// AbreCupom's record for a coupon without consumer identification (the
// operation replaces it, so each call takes a fresh one).
rtl::Variant CouponRecord();

// A column of a dataset made for a test.
struct Column {
  const char* name;
  rtl::FieldType type;
  int size = 0;
};
using Row = std::vector<rtl::Variant>;

// Appends and posts one record: each named field set with the setter of
// its type (strings with SetAsString, floats with SetAsFloat, ...), the
// other fields left null.
void AppendRecord(rtl::ClientDataSet& ds, const std::vector<std::pair<std::string, rtl::Variant>>& values);

// Defines the columns, creates the dataset and appends one record per row
// (values in column order, set as AppendRecord sets them).
void MakeTable(rtl::ClientDataSet& ds, const std::vector<Column>& columns, const std::vector<Row>& rows);

}  // namespace qortest
