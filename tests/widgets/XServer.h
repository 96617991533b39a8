// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QString>

namespace halvik::test {

// A private Xvfb for one test process, so tests neither need nor touch the user's display.
class XServer {
  public:
    XServer() = default;
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer();

    // Starts Xvfb on a free display and points DISPLAY at it. Returns false with a reason.
    bool start(QString* error);

  private:
    pid_t pid_ = -1;
};

// What another process (xclip) reads from the CLIPBOARD selection for `target`, while this
// process keeps serving the selection from its event loop.
QByteArray readClipboard(const QString& target);

}  // namespace halvik::test
