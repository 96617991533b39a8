// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A CUPS daemon of the test's own for a cups-pdf printer: configuration, spool and socket in a
// temporary folder, job numbers starting at a random value so its cups-pdf files cannot be
// mistaken for another daemon's. Clients reach it through CUPS_SERVER in env(). Used by the
// printing library's queue test and (through a relative include) by the window's.

#include <pwd.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <functional>

#include "../support/MissingPackage.h"

namespace halvik::testing {

struct CupsCommand {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CupsCommand cupsCommand(const QString& program, const QStringList& args,
                               const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    CupsCommand r;
    if (!p.waitForStarted(10000)) {
        r.err = program + ": " + p.errorString();
        return r;
    }
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

class PrivateCups {
  public:
    ~PrivateCups() {
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(10000)) {
                daemon_.kill();
                daemon_.waitForFinished(5000);
            }
        }
    }

    // Empty on success, else why CUPS cannot run here.
    QString start() {
        const QString cupsd = QStringLiteral("/usr/sbin/cupsd");
        if (geteuid() != 0) {
            return "cupsd runs the cups-pdf backend only as root";
        }
        if (!QFileInfo::exists(cupsd)) {
            missingPackage_ = "cups";
            return "cupsd is not installed";
        }
        if (!QFileInfo::exists(ppd()) || !QFileInfo::exists("/usr/lib/cups/backend/cups-pdf")) {
            missingPackage_ = "printer-driver-cups-pdf";
            return "the cups-pdf printer driver is not installed";
        }
        if (!dir_.isValid()) {
            return "no temporary folder";
        }
        const QString d = dir_.path();
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                     QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                     QFile::ExeOther);
        for (const char* sub : {"etc", "spool/tmp", "cache", "run", "log"}) {
            QDir().mkpath(d + "/" + sub);
        }
        socket_ = d + "/cups.sock";
        const bool written =
            write(d + "/etc/cups-files.conf",
                  QString("ServerRoot %1/etc\nRequestRoot %1/spool\nTempDir %1/spool/tmp\n"
                          "CacheDir %1/cache\nStateDir %1/run\nErrorLog %1/log/error_log\n"
                          "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n"
                          "Printcap %1/printcap\nSystemGroup root\n")
                      .arg(d)) &&
            write(d + "/etc/cupsd.conf",
                  QString("LogLevel info\nListen %1\nBrowsing Off\nWebInterface No\n"
                          "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                          "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                          "  </Limit>\n</Policy>\n")
                      .arg(socket_)) &&
            write(
                d + "/cache/job.cache",
                QString("NextJobId %1\n").arg(QRandomGenerator::global()->bounded(10000, 2000000)));
        if (!written) {
            return "cannot write the daemon's configuration";
        }
        daemon_.setProcessChannelMode(QProcess::MergedChannels);
        daemon_.start(cupsd, {"-f", "-c", d + "/etc/cupsd.conf", "-s", d + "/etc/cups-files.conf"});
        if (!daemon_.waitForStarted(10000)) {
            return "cupsd did not start: " + daemon_.errorString();
        }
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            if (daemon_.state() == QProcess::NotRunning) {
                return "cupsd stopped at once: " + QString::fromUtf8(daemon_.readAll()).trimmed();
            }
            if (QFileInfo::exists(socket_) &&
                cupsCommand("lpstat", {"-r"}, env()).out.contains("is running")) {
                return {};
            }
            QThread::msleep(100);
        }
        return "cupsd did not answer within 15 s: " + log();
    }

    // The Debian package whose absence made start() fail, or null.
    const char* missingPackage() const { return missingPackage_; }

    static QString ppd() { return QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"); }

    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("CUPS_SERVER", socket_);
        return e;
    }

    QString log() const {
        QFile f(dir_.path() + "/log/error_log");
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(f.readAll()).right(3000);
    }

    // The completed jobs of the queue, oldest first.
    QStringList completedJobs(const QString& queue) const {
        QStringList ids;
        const CupsCommand r = cupsCommand("lpstat", {"-W", "completed", "-o", queue}, env());
        for (const QString& line : r.out.split('\n')) {
            const QString first = line.section(' ', 0, 0);
            if (first.startsWith(queue + "-")) {
                ids << first.mid(queue.size() + 1);
            }
        }
        std::sort(ids.begin(), ids.end(), [](const QString& a, const QString& b) {
            return a.toLongLong() < b.toLongLong();
        });
        return ids;
    }

    // Waits up to a minute for one more completed job than `before` lists; returns the
    // completed jobs as they stand then.
    QStringList waitForCompletedJob(const QString& queue, const QStringList& before) const {
        QStringList ids;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 60000 && (ids = completedJobs(queue)).size() == before.size()) {
            QThread::msleep(200);
        }
        return ids;
    }

  private:
    const char* missingPackage_ = nullptr;
    static bool write(const QString& path, const QString& text) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return false;
        }
        f.write(text.toUtf8());
        return true;
    }

    QTemporaryDir dir_{QDir::tempPath() + "/halvik-cups-XXXXXX"};
    QString socket_;
    QProcess daemon_;
};

// Where cups-pdf puts the jobs of the user running the tests.
inline QString cupsPdfOutputFolder() {
    QString out = "${HOME}/PDF";
    QFile conf("/etc/cups/cups-pdf.conf");
    if (conf.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(conf.readAll()).split('\n')) {
            const QString l = line.trimmed();
            if (l.startsWith("Out ")) {
                out = l.mid(4).trimmed();
            }
        }
    }
    const passwd* pw = getpwuid(geteuid());
    out.replace("${HOME}", pw ? QString::fromLocal8Bit(pw->pw_dir) : QDir::homePath());
    out.replace("${USER}", pw ? QString::fromLocal8Bit(pw->pw_name) : QString());
    return out;
}

// The cups-pdf file of a job in folder once pageCount finds a page in it (up to a minute), or
// an empty text.
inline QString waitForJobPdf(const QString& folder, const QString& jobId,
                             const std::function<int(const QString&)>& pageCount) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 60000) {
        const QStringList found = QDir(folder).entryList({"*-job_" + jobId + ".pdf"}, QDir::Files);
        if (!found.isEmpty()) {
            const QString path = folder + "/" + found.first();
            if (pageCount(path) > 0) {
                return path;
            }
        }
        QThread::msleep(200);
    }
    return {};
}

}  // namespace halvik::testing
