// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window with a downloaded card on the X server, and the real readers the export tests
// check its files with (qpdf, pdftotext, pdfimages, pdftoppm, xclip).

#include <gtest/gtest.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "../app/AppTestSupport.h"
#include "app/ErrorBox.h"
#include "app/ExportComponents.h"
#include "app/Form3.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"
#include "records/RecordStore.h"

namespace halvik::testing {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs a program to its end while this process keeps serving its windows and clipboard.
inline ProcessResult runWhileServing(const QString& program, const QStringList& args,
                                     int timeoutMs = 60000) {
    QProcess process;
    process.start(program, args);
    ProcessResult result;
    if (!process.waitForStarted(10000)) {
        result.err = program + ": " + process.errorString();
        return result;
    }
    if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = program + " did not finish";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// The stand-in for the desktop's xdg-open that the test program puts first on PATH: it appends
// its arguments to this file, one call per line.
QString viewerLogPath();
inline QStringList viewerCalls() {
    QFile log(viewerLogPath());
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Plugs a card holding image into platform, opens the window on it and downloads every reading
// with the staging timer in the caller's hands (ten ticks). With fahrenheit the unit is switched
// before the download. Returns an empty text, or what went wrong.
inline QString downloadCard(SimHidPlatform& platform, LoggerCardImage image, bool fahrenheit,
                            std::unique_ptr<SimLoggerCard>& card, std::unique_ptr<TForm3>& window) {
    const std::size_t readings = image.ReadingCount();
    card = std::make_unique<SimLoggerCard>(platform, std::move(image));
    card->Plug();
    window = std::make_unique<TForm3>(platform);
    window->locale = LocaleSettings{};  // English month names, "." and ":"
    window->show();
    if (!waitFor(
            [&] { return !window->download.PidText.empty() && window->BitBtn1->isEnabled(); })) {
        return "the card's header did not arrive";
    }
    if (fahrenheit) {
        window->RadioButton2->click();
    }
    window->BitBtn1->click();
    if (!waitFor([&] { return window->download.DownloadText.size() >= 6 * readings; })) {
        return "the readings did not arrive";
    }
    if (!waitFor([&] { return !window->isStaging(); }) || !window->isDownloaded() ||
        !window->BitBtn9->isEnabled()) {
        return "the download did not complete";
    }
    return {};
}

// The file the window kept its last download in. Each test case has a records folder of its own
// (tests/support/TestFolders.h), so the status message must say exactly "Kept as NAME" (or
// "Already kept as NAME" when alreadyKept); otherwise the test fails and the path is empty.
inline QString keptRecordPath(TForm3& w, const QString& name, bool alreadyKept = false) {
    const QString expected =
        QString(alreadyKept ? " Already kept as %1 " : " Kept as %1 ").arg(name);
    if (!waitFor([&] { return w.StatusMessage->text() == expected; }, 10000)) {
        ADD_FAILURE() << "the status says \"" << w.StatusMessage->text().toStdString()
                      << "\", not \"" << expected.toStdString() << "\"";
        return {};
    }
    return QString::fromStdString((RecordFolderPath() / name.toStdString()).string());
}

// A copy of the record `kept` written to `to` with one hex digit of its first reading changed
// after the download, so its digest no longer matches; empty when either file fails.
inline QString changedCopy(const QString& kept, const QString& to) {
    QFile file(kept);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    const qsizetype readings = bytes.indexOf("\"readings\":\"");
    if (readings < 0)
        return {};
    const qsizetype digit = readings + 13;
    bytes[digit] = bytes[digit] == '0' ? '1' : '0';
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return to;
}

// The main window on the in-memory card, working in a temporary current directory.
class ExportWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        previousDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
        QFile::remove(viewerLogPath());
    }

    void TearDown() override {
        if (HasFailure()) {
            for (const auto& [kind, text] : recorder.messages) {
                std::cerr << "message box: " << text.toStdString() << "\n";
            }
        }
        window.reset();
        card.reset();
        QDir::setCurrent(previousDir);
    }

    void download(LoggerCardImage image, bool fahrenheit = false) {
        const QString problem = downloadCard(platform, std::move(image), fahrenheit, card, window);
        ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    }

    QString path(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    QString previousDir;
    SimHidPlatform platform;
    MessageRecorder recorder;
    std::unique_ptr<SimLoggerCard> card;
    std::unique_ptr<TForm3> window;
};

// ---- Reading the PDF files ----

// Each indirect object's text from "N 0 obj" up to its stream data or "endobj", found through
// the file's cross-reference table, and the trailer.
struct PdfObjects {
    std::map<int, QByteArray> objects;
    QByteArray trailer;
};

inline PdfObjects readPdfObjects(const QString& file) {
    PdfObjects result;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return result;
    }
    const QByteArray bytes = f.readAll();
    const qsizetype startxref = bytes.lastIndexOf("startxref");
    const qsizetype trailer = bytes.lastIndexOf("trailer");
    if (startxref < 0 || trailer < 0) {
        return result;
    }
    result.trailer = bytes.mid(trailer, startxref - trailer);
    const qsizetype xref =
        bytes.mid(startxref + 9).trimmed().split('\n').value(0).trimmed().toLongLong();
    const QList<QByteArray> lines = bytes.mid(xref, trailer - xref).split('\n');
    // "xref", "0 N", then one entry per object.
    for (int i = 2; i < lines.size(); ++i) {
        const QList<QByteArray> entry = lines[i].simplified().split(' ');
        if (entry.size() < 3 || entry[2] != "n") {
            continue;
        }
        const int number = i - 2;
        const qsizetype at = entry[0].toLongLong();
        const qsizetype end = bytes.indexOf("endobj", at);
        QByteArray body = bytes.mid(at, end - at);
        const qsizetype stream = body.indexOf("stream");
        result.objects[number] = stream >= 0 ? body.left(stream) : body;
    }
    return result;
}

// The content stream of a one-page file of the report writer (uncompressed).
inline QByteArray contentStream(const QString& file, int objectNumber) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = f.readAll();
    const qsizetype obj = bytes.indexOf("\n" + QByteArray::number(objectNumber) + " 0 obj");
    if (obj < 0) {
        return {};
    }
    const qsizetype start = bytes.indexOf("stream", obj);
    const qsizetype end = bytes.indexOf("endstream", start);
    if (start < 0 || end < 0) {
        return {};
    }
    return bytes.mid(start + 6, end - start - 6);
}

inline ProcessResult qpdfCheck(const QString& file) {
    return runWhileServing("qpdf", {"--check", file});
}

inline QString pdfText(const QString& file) {
    return QString::fromUtf8(runWhileServing("pdftotext", {"-layout", file, "-"}).out);
}

// The images of the file's first page in the order they are drawn.
inline std::vector<QImage> pdfImages(const QString& file, const QString& scratchFolder) {
    const QString prefix = scratchFolder + "/img";
    runWhileServing("pdfimages", {"-png", file, prefix});
    std::vector<QImage> images;
    for (int i = 0;; ++i) {
        const QString name = QStringLiteral("%1-%2.png").arg(prefix).arg(i, 3, 10, QChar('0'));
        if (!QFile::exists(name)) {
            break;
        }
        images.emplace_back(name);
        QFile::remove(name);
    }
    return images;
}

// Pixel for pixel, ignoring the format.
inline bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            if (qRed(p[column]) != qRed(q[column]) || qGreen(p[column]) != qGreen(q[column]) ||
                qBlue(p[column]) != qBlue(q[column])) {
                return false;
            }
        }
    }
    return true;
}

// The picture on the clipboard as another program sees it.
inline QImage clipboardImageSeenByXclip() {
    const ProcessResult r =
        runWhileServing("xclip", {"-o", "-selection", "clipboard", "-t", "image/png"}, 20000);
    return QImage::fromData(r.out, "PNG");
}

}  // namespace halvik::testing
