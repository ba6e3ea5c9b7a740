// The HTTP door of a build without cpp-httplib (the Windows builds of this
// project): qorhost serve says so and serves nothing.
#include "service/doors.h"

namespace qorservice {

int ServeHttp(Service&, const HttpOptions&, std::ostream&, std::ostream& err) {
  err << "qorhost serve: this qorhost was built without the HTTP door (no cpp-httplib for its system); "
         "--stdio and the C entry take the same requests\n";
  return 2;
}

}  // namespace qorservice
