// Select & Print and Print All from the window.

#include "ExportTestSupport.h"

namespace halvik::testing {

int printFromWindowChild(int, char**) {
    return 2;
}

}  // namespace halvik::testing
