// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"

namespace halvik::testing {

// Runs the event loop until `done` holds or `timeoutMs` passes; returns whether it holds.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(2);
    }
    return true;
}

// The widget's picture once painting has settled: grabs until two grabs in a row, with the
// events in between handled, are alike (or timeoutMs passes, giving the last grab). A grab
// taken straight after a change may still show the old picture on a busy machine.
inline QImage settledGrab(QWidget& widget, int timeoutMs = 5000) {
    QImage last = widget.grab().toImage();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QTest::qWait(20);
        QImage next = widget.grab().toImage();
        if (next == last) {
            return next;
        }
        last = std::move(next);
    }
    return last;
}

// Records every message box instead of showing it.
class MessageRecorder {
  public:
    MessageRecorder() {
        previous_ = setMessageSink([this](QWidget*, MessageKind kind, const QString& text) {
            messages.emplace_back(kind, text);
        });
    }
    ~MessageRecorder() { setMessageSink(std::move(previous_)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<QString> errors() const {
        std::vector<QString> out;
        for (const auto& [kind, text] : messages) {
            if (kind == MessageKind::Error) {
                out.push_back(text);
            }
        }
        return out;
    }

    std::vector<std::pair<MessageKind, QString>> messages;

  private:
    MessageSink previous_;
};

// A card holding these temperatures (°C), first reading at the given time.
inline LoggerCardImage cardWith(const std::vector<double>& celsius,
                                std::array<uint8_t, 5> pid = {1, 2, 3, 4, 5},
                                CardDateTime first = {2014, 1, 7, 9, 0, 0}) {
    std::vector<CardReading> readings;
    for (double value : celsius) {
        readings.push_back(EncodeReading(value));
    }
    return LoggerCardImage::Make(pid, first, readings);
}

}  // namespace halvik::testing

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
