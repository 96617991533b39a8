// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include "views/ClipboardError.h"

namespace halvik {

// Replaces the contents of a clipboard. Implementations throw ClipboardError when the data did
// not reach it; nothing else changes then.
class ClipboardAccess {
  public:
    virtual ~ClipboardAccess() = default;
    virtual void setText(const QString& text) = 0;
    virtual void setImage(const QImage& image) = 0;
};

// The system clipboard of the running QGuiApplication. After handing over the data it reads it
// back, so a clipboard that another program keeps to itself is reported instead of ignored.
class SystemClipboard : public ClipboardAccess {
  public:
    void setText(const QString& text) override;
    void setImage(const QImage& image) override;
};

// The process-wide system clipboard, used by every widget that was given no other.
ClipboardAccess& systemClipboard();

}  // namespace halvik
