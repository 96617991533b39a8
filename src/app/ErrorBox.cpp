// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ErrorBox.h"

#include <QApplication>
#include <QMessageBox>

namespace halvik {

namespace {

void messageBox(QWidget* parent, MessageKind kind, const QString& text) {
    const QString title = QApplication::applicationDisplayName();
    if (kind == MessageKind::Error) {
        QMessageBox::critical(parent, title, text);
    } else {
        QMessageBox::information(parent, title, text);
    }
}

MessageSink& currentSink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

void showMessage(QWidget* parent, MessageKind kind, const QString& text) {
    if (currentSink()) {
        currentSink()(parent, kind, text);
    } else {
        messageBox(parent, kind, text);
    }
}

MessageSink setMessageSink(MessageSink sink) {
    MessageSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

}  // namespace halvik
