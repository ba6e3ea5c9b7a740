// Client datasets: in-memory tables with typed fields, index definitions,
// filters, a cursor, editing, data packets and XML files in the XML data-packet
// format (DATAPACKET / METADATA / FIELDS / ROWDATA) that existing hosts read and write.
//
// Usage mirrors the run-time library:
//   ClientDataSet cds;
//   cds.AddFieldDef("CDALIQIMPFIS", FieldType::String, 10);
//   cds.AddIndexDef("IdxIdAliqVrAliq", "IDALIQIMPFIS;VRALIQIMPFIS");
//   cds.SetIndexName("IdxIdAliqVrAliq");
//   cds.CreateDataSet();
//   cds.Append(); cds.FieldByName("CDALIQIMPFIS").SetAsString("00"); cds.Post();
//   for (cds.First(); !cds.Eof(); cds.Next()) ...
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "variant.h"

namespace rtl {

enum class FieldType {
  String,    // fixed maximum size (WIDTH)
  Integer,   // i1 i2 i4 ui1 ui2 ui4
  LargeInt,  // i8
  Float,     // r4 r8
  Currency,  // r8 SUBTYPE="Money"
  Fixed,     // fixed (BCD) WIDTH, DECIMALS: kept as a double
  Boolean,
  Date,
  Time,
  DateTime,  // dateTime, SQLdateTime
  Memo,      // bin.hex SUBTYPE="Text"
  Blob,      // bin.hex SUBTYPE="Binary" and other binary kinds
};

struct FieldDef {
  std::string name;
  FieldType type = FieldType::String;
  int size = 0;  // String: characters (0 = 20); Fixed: WIDTH
  int decimals = 0;
  // Attributes of the FIELD element that the dataset does not interpret,
  // kept so that a loaded packet saves back as it came (e.g. fieldtype, required).
  std::vector<std::pair<std::string, std::string>> extraAttrs;
};

struct IndexDef {
  std::string name;
  std::string fields;        // "A;B"
  std::string descFields;    // fields ordered descending
  bool caseInsensitive = false;
};

// A whole table as one value: what crosses the host boundary inside a Variant.
struct DataPacket {
  std::vector<FieldDef> fields;
  std::vector<IndexDef> indexes;
  std::vector<std::vector<Variant>> rows;  // one Variant per field; Null for a null field
  // Attributes of the PARAMS element (e.g. DEFAULT_ORDER, LCID, CHANGE_LOG), kept as text.
  std::vector<std::pair<std::string, std::string>> params;
};

// Data packet <-> XML text (UTF-8 XML whose strings are converted to and from 1252).
// Raise EDatabaseError on malformed input, naming what is wrong.
std::string PacketToXml(const DataPacket& p);
std::shared_ptr<DataPacket> PacketFromXml(std::string_view xml);

class ClientDataSet;

// A field of the current record. Obtained from FieldByName; valid while the dataset lives.
class Field {
 public:
  const std::string& FieldName() const;
  FieldType DataType() const;
  int Size() const;
  bool IsNull() const;
  Variant Value() const;               // Null when null
  void SetValue(const Variant& v);     // requires edit or insert state
  void Clear();                        // set null

  std::string AsString() const;        // null -> ""; floats with FloatToStr; dates with DateTimeToStr
  void SetAsString(const std::string& v);  // strings longer than Size are cut
  double AsFloat() const;              // null -> 0; strings with StrToFloat
  void SetAsFloat(double v);
  int32_t AsInteger() const;
  void SetAsInteger(int32_t v);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime v);
  bool AsBoolean() const;
  void SetAsBoolean(bool v);

  std::string DisplayFormat;  // kept for the host (e.g. "#,##0.00")
  int DisplayWidth = 0;

 private:
  friend class ClientDataSet;
  Field(ClientDataSet* ds, int index) : ds_(ds), index_(index) {}
  ClientDataSet* ds_;
  int index_;
};

enum class DataSetState { Inactive, Browse, Edit, Insert };

struct LocateOptions {
  bool caseInsensitive = false;
  bool partialKey = false;
};

class ClientDataSet {
 public:
  ClientDataSet();
  explicit ClientDataSet(std::string name);
  ~ClientDataSet();
  ClientDataSet(const ClientDataSet&) = delete;
  ClientDataSet& operator=(const ClientDataSet&) = delete;

  std::string Name;

  // Structure (while closed).
  void AddFieldDef(const std::string& name, FieldType type, int size = 0);
  void ClearFieldDefs();
  const std::vector<FieldDef>& FieldDefs() const;
  void AddIndexDef(const std::string& name, const std::string& fields, const std::string& descFields = "",
                   bool caseInsensitive = false);
  const std::vector<IndexDef>& IndexDefs() const;
  // The active index by name ("" = none, rows in insertion order). Raises
  // EDatabaseError for an unknown name. May be set open or closed.
  void SetIndexName(const std::string& name);
  const std::string& IndexName() const;
  // An ad hoc ordering by field names "A;B" (the run-time's IndexFieldNames).
  void SetIndexFieldNames(const std::string& fields);

  // Lifecycle.
  void CreateDataSet();  // opens empty with the field definitions; raises when there are none
  void Open();           // opens with the data set by SetData/LoadFromFile; raises when there is none
  void Close();          // keeps structure and data for a later Open
  bool Active() const;
  void EmptyDataSet();   // removes every row; stays open
  DataSetState State() const;

  // Called after every successful open (CreateDataSet, Open, SetData, LoadFromFile).
  std::function<void(ClientDataSet&)> AfterOpen;

  // Cursor over the visible rows (filter applied, index order).
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const;
  bool Bof() const;
  bool IsEmpty() const;
  int RecordCount() const;
  int RecNo() const;  // 1-based; 0 when empty

  // Editing. Post of an Append/Insert adds the row; in Edit updates it.
  void Append();
  void Insert();
  void Edit();
  void Post();
  void Cancel();
  void Delete();

  // Fields.
  int FieldCount() const;
  Field& Fields(int i);
  Field& FieldByName(std::string_view name);  // case-insensitive; raises EDatabaseError "Field 'X' not found"
  Field* FindField(std::string_view name);    // null when absent

  // Filter text plus switch: = <> >= <= > <, AND OR NOT, IS NULL, IS NOT NULL,
  // parentheses, string literals in single quotes with '' for a quote,
  // numbers. A malformed filter raises EDatabaseError when it is switched on
  // (or set while on).
  void SetFilter(const std::string& text);
  const std::string& Filter() const;
  void SetFiltered(bool on);
  bool Filtered() const;
  bool FilterCaseInsensitive = false;

  // Finds the first visible row whose fields ("A;B") equal values (one value,
  // or an array with one per field); moves the cursor there. True when found.
  bool Locate(const std::string& fields, const Variant& values, LocateOptions opts = {});

  // Change log (kept only as a flag: edits apply directly either way; a
  // saved packet marks no pending changes).
  void SetLogChanges(bool on);
  bool LogChanges() const;
  int ChangeCount() const;
  void MergeChangeLog();

  // The whole table as one value (get: requires open; set: replaces the
  // structure and rows, keeps index definitions whose fields exist, opens).
  Variant Data() const;
  void SetData(const Variant& packet);
  std::shared_ptr<DataPacket> ToPacket() const;
  void LoadPacket(const DataPacket& packet);

  // XML data-packet files. A malformed file raises EDatabaseError and
  // leaves the dataset as it was. A binary data-packet file (bytes 96 19 E0 BD 01)
  // gets a clear error. Paths may use "\" as separator.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path) const;

  // Copies structure and rows of another dataset (all rows, ignoring its filter).
  void CopyFrom(const ClientDataSet& other);

  struct Impl;

 private:
  friend class Field;
  std::unique_ptr<Impl> impl_;
};

}  // namespace rtl
