// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/ErrorBox.h"
#include "views/widgets/UserMessages.h"

namespace halvik {

// The widgets' message boxes routed through the window's one message sink, so a recorder
// installed by a test catches "Copied" and clipboard failures as well as handler errors.
class SinkUserMessages : public UserMessages {
  public:
    void information(QWidget* parent, const QString& text) override {
        showMessage(parent, MessageKind::Information, text);
    }
    void error(QWidget* parent, const QString& text) override {
        showMessage(parent, MessageKind::Error, text);
    }
};

}  // namespace halvik
