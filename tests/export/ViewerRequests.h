// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ExportComponents.h"
#include "app/Form3.h"

namespace halvik::testing {

// Whether a press asked for a viewer while this lived. The report buttons start the viewer
// inside the press, so once click() has returned a press has asked for one or never will: a
// check that no viewer was opened needs no wait.
class ViewerRequests {
  public:
    explicit ViewerRequests(TForm3& window)
        : window_(window), before_(window.exports().viewerStarts) {}
    bool asked() const { return window_.exports().viewerStarts != before_; }

  private:
    TForm3& window_;
    int before_;
};

}  // namespace halvik::testing
