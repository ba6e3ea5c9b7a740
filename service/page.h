// The support page (service/page.html, built into the program).
#pragma once

namespace qorservice {

const char* SupportPage();

}  // namespace qorservice
