// XML data packets as the module and the host read them from files: any
// bytes either load or raise the run-time's error; what loads can be put
// into a dataset, written back and read again.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/dataset.h"
#include "platform/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
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
