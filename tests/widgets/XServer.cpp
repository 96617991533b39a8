// SPDX-License-Identifier: GPL-3.0-or-later
#include "XServer.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

namespace halvik::test {

XServer::~XServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool XServer::start(QString* error) {
    int fds[2];
    if (::pipe(fds) != 0) {
        *error = QStringLiteral("pipe: %1").arg(std::strerror(errno));
        return false;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        *error = QStringLiteral("fork: %1").arg(std::strerror(errno));
        return false;
    }
    if (child == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1600x1000x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    pid_ = child;
    ::close(fds[1]);
    std::string display;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        display += c;
    ::close(fds[0]);
    if (display.empty()) {
        *error = QStringLiteral("Xvfb did not start (is it installed?)");
        return false;
    }
    ::setenv("DISPLAY", (":" + display).c_str(), 1);
    return true;
}

QByteArray readClipboard(const QString& target) {
    QProcess xclip;
    QEventLoop loop;
    QObject::connect(&xclip, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&xclip, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                 QStringLiteral("-t"), target});
    loop.exec();
    if (xclip.state() != QProcess::NotRunning) {
        xclip.kill();
        xclip.waitForFinished();
        return QByteArray("<xclip timed out>");
    }
    return xclip.readAllStandardOutput();
}

}  // namespace halvik::test
