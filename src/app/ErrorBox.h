// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <utility>

class QWidget;

namespace halvik {

// The window's two kinds of message box: the standard error box that every handler's failure
// reaches, and the information box ("Copied"). Both go through one replaceable sink, so tests
// record the messages instead of opening modal boxes.
enum class MessageKind { Error, Information };

using MessageSink = std::function<void(QWidget* parent, MessageKind kind, const QString& text)>;

// Shows a message through the current sink (by default a modal QMessageBox).
void showMessage(QWidget* parent, MessageKind kind, const QString& text);

// Replaces the sink; an empty function restores the message boxes. Returns the previous sink.
MessageSink setMessageSink(MessageSink sink);

// Runs one event handler. An exception that leaves it is shown in the error box, and the
// program goes on: this is the only place where handler failures are caught.
template <class Handler>
void runHandler(QWidget* window, Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& e) {
        showMessage(window, MessageKind::Error, QString::fromUtf8(e.what()));
    } catch (...) {
        showMessage(window, MessageKind::Error, QStringLiteral("An unexpected error occurred."));
    }
}

}  // namespace halvik
