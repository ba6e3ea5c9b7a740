// XML data packets as the module and the host read them from files: any
// bytes either load or raise the run-time's error; what loads can be put
// into a dataset, written back and read again. Rows read in pieces (plain
// rows without the parser) read as the whole text parsed at once.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dataset.h"
#include "platform/dataset_impl.h"
#include "platform/errors.h"

namespace {

// The table written back as text, or the error's message.
std::string Outcome(std::string_view xml, size_t pieceBytes) {
  try {
    rtl::dsimpl::Table t = rtl::dsimpl::ReadXml(xml, pieceBytes);
    return rtl::dsimpl::WriteXml(t.fields, t.indexes, t.params, t.rows);
  } catch (const rtl::Exception& e) {
    return std::string("error: ") + e.what();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  const std::string whole = Outcome(xml, 0);
  for (size_t piece : {size_t{1}, size_t{64}, rtl::dsimpl::kXmlPieceBytes})
    if (Outcome(xml, piece) != whole) __builtin_trap();
  std::shared_ptr<rtl::DataPacket> packet;
  try {
    packet = rtl::PacketFromXml(xml);
  } catch (const rtl::Exception&) {
    return 0;  // refused with a message: fine
  }
  // What the writer produces, the reader takes back. (The writer may refuse
  // with a message, e.g. a field name that XML cannot hold as an attribute.)
  std::string again;
  try {
    again = rtl::PacketToXml(*packet);
  } catch (const rtl::Exception&) {
    return 0;
  }
  rtl::PacketFromXml(again);
  try {
    rtl::ClientDataSet ds;
    ds.LoadPacket(*packet);
    for (ds.First(); !ds.Eof(); ds.Next())
      for (int i = 0; i < ds.FieldCount(); ++i) ds.Fields(i).AsString();
    again = rtl::PacketToXml(*ds.ToPacket());
  } catch (const rtl::Exception&) {
    return 0;
  }
  rtl::PacketFromXml(again);
  return 0;
}
