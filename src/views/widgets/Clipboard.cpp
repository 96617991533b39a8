// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/widgets/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace halvik {

namespace {

QClipboard& guiClipboard() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr)
        throw ClipboardError(QStringLiteral("no window system is running"));
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        throw ClipboardError(QStringLiteral("the system has no clipboard"));
    return *clipboard;
}

// Qt gives no result for a clipboard write; the window system may have handed the clipboard
// to another program instead. What reads back is what other programs will see.
const QString kNotTaken =
    QStringLiteral("the window system did not hand the clipboard over; another program holds it");

}  // namespace

void SystemClipboard::setText(const QString& text) {
    QClipboard& clipboard = guiClipboard();
    clipboard.setText(text);
    const QMimeData* data = clipboard.mimeData();
    if (data == nullptr || !data->hasText() || data->text() != text)
        throw ClipboardError(kNotTaken);
}

void SystemClipboard::setImage(const QImage& image) {
    if (image.isNull())
        throw ClipboardError(QStringLiteral("there is no picture to put on it"));
    QClipboard& clipboard = guiClipboard();
    clipboard.setImage(image);
    const QMimeData* data = clipboard.mimeData();
    if (data == nullptr || !data->hasImage())
        throw ClipboardError(kNotTaken);
}

ClipboardAccess& systemClipboard() {
    static SystemClipboard clipboard;
    return clipboard;
}

}  // namespace halvik
