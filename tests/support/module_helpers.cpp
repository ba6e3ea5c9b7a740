#include "tests/support/module_helpers.h"

#include <fstream>
#include <sstream>

namespace qortest {
namespace {

void SetField(rtl::Field& f, const rtl::Variant& v) {
  switch (f.DataType()) {
    case rtl::FieldType::String:
    case rtl::FieldType::Memo:
      f.SetAsString(v.AsString());
      break;
    case rtl::FieldType::Float:
    case rtl::FieldType::Currency:
    case rtl::FieldType::Fixed:
      f.SetAsFloat(v.AsDouble());
      break;
    case rtl::FieldType::Integer:
      f.SetAsInteger(v.AsInteger());
      break;
    case rtl::FieldType::Boolean:
      f.SetAsBoolean(v.AsBoolean());
      break;
    case rtl::FieldType::Date:
    case rtl::FieldType::Time:
    case rtl::FieldType::DateTime:
      f.SetAsDateTime(v.AsDateTime());
      break;
    default:
      f.SetValue(v);
      break;
  }
}

}  // namespace

void PrinterTest::SetUp() {
  ModuleTest::SetUp();
  ASSERT_TRUE(BindPrinter());
  ClearJournal();
}

void FiscalFolderTest::SetUp() {
  PrinterTest::SetUp();
  vendorDir = tmp / "elgin";
  menuDir = hostDir / "Dados" / "MenuFiscal";
  std::filesystem::create_directories(vendorDir);
  std::filesystem::create_directories(menuDir);
  std::ofstream(hostDir / "ELGIN.INI") << "[Elgin]\nPath=" << vendorDir.string() << "\n";
}

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string::npos) {
      out.push_back(text.substr(start));
      break;
    }
    out.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  return out;
}

rtl::Variant ItemRecord(const std::string& cod, const std::string& nome, double qtde, double valor,
                        std::initializer_list<std::pair<std::string, rtl::Variant>> more) {
  rtl::Variant record = rtl::Variant::Record({{"CDARVPROD", rtl::Variant(cod)},
                                              {"NMPROD", rtl::Variant(nome)},
                                              {"CDALIQ", rtl::Variant("00")},
                                              {"QTDE", rtl::Variant(qtde)},
                                              {"VALOR", rtl::Variant(valor)}});
  for (const auto& [key, value] : more)
    record.Items().emplace_back(std::vector<rtl::Variant>{rtl::Variant(key), value});
  return record;
}

rtl::Variant CouponRecord() {
  return rtl::Variant::Record({{"ESQUEMACOR", rtl::Variant("001")}, {"INCLUICPF", rtl::Variant("")},
                               {"INCLUINOME", rtl::Variant("")},    {"INCLUIENDERECO", rtl::Variant("")},
                               {"CUPNR", rtl::Variant("")},         {"CONTCUPOM", rtl::Variant("")},
                               {"TIPOTICKET", rtl::Variant("1")},   {"IVACOMP", rtl::Variant("")},
                               {"IVAPROP", rtl::Variant("")},       {"TIPODOC", rtl::Variant("")},
                               {"NRDOC", rtl::Variant("")},         {"MESA", rtl::Variant("")},
                               {"IDUTILTEF", rtl::Variant("N")},    {"INTTEFERRO", rtl::Variant(0)},
                               {"UTILTEF", rtl::Variant(false)}});
}

void AppendRecord(rtl::ClientDataSet& ds, const std::vector<std::pair<std::string, rtl::Variant>>& values) {
  ds.Append();
  for (const auto& [name, value] : values) SetField(ds.FieldByName(name), value);
  ds.Post();
}

void MakeTable(rtl::ClientDataSet& ds, const std::vector<Column>& columns, const std::vector<Row>& rows) {
  for (const Column& c : columns) ds.AddFieldDef(c.name, c.type, c.size);
  ds.CreateDataSet();
  for (const Row& row : rows) {
    if (row.size() != columns.size())
      ADD_FAILURE() << "a row of " << row.size() << " values for " << columns.size() << " columns";
    ds.Append();
    for (size_t i = 0; i < columns.size() && i < row.size(); ++i) SetField(ds.FieldByName(columns[i].name), row[i]);
    ds.Post();
  }
}

}  // namespace qortest
