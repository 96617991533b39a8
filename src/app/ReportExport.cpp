// Chart Print (BitBtn6) and Data Report (BitBtn9). The PDF reports arrive with report export;
// until then the buttons say plainly that this build cannot write them.

#include <stdexcept>

#include "app/Form3.h"

namespace halvik {

void TForm3::BitBtn6Click() {
    throw std::runtime_error("PDF reports are not available in this build of Halvik.");
}

void TForm3::BitBtn9Click() {
    throw std::runtime_error("PDF reports are not available in this build of Halvik.");
}

}  // namespace halvik
