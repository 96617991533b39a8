// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace halvik {

// Where the widgets send the messages a user has to acknowledge ("Copied", a clipboard that
// cannot be opened). The default shows modal Qt message boxes; tests install a recorder.
class UserMessages {
  public:
    virtual ~UserMessages() = default;
    // A modal information box with an OK button; returns when the user closes it.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // A modal error box; returns when the user closes it.
    virtual void error(QWidget* parent, const QString& text) = 0;
};

// Qt's standard message boxes.
class QtUserMessages : public UserMessages {
  public:
    void information(QWidget* parent, const QString& text) override;
    void error(QWidget* parent, const QString& text) override;
};

// The process-wide default, used by every widget that was given no other.
UserMessages& defaultUserMessages();

}  // namespace halvik
