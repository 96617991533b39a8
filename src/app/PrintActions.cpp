// Select & Print (BitBtn2) and Print All (BitBtn10). The printed tables arrive with printing;
// until then the buttons say plainly that this build cannot print.

#include <stdexcept>

#include "app/Form3.h"

namespace halvik {

void TForm3::BitBtn2Click() {
    throw std::runtime_error("Printing is not available in this build of Halvik.");
}

void TForm3::BitBtn10Click() {
    throw std::runtime_error("Printing is not available in this build of Halvik.");
}

}  // namespace halvik
