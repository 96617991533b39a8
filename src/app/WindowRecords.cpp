// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowRecords.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <algorithm>
#include <chrono>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "app/RecordReportButton.h"
#include "app/ReviewPanel.h"
#include "app/TimeBaseChooser.h"
#include "download/KeptDownload.h"
#include "records/Csv.h"
#include "records/RecordMessages.h"
#include "records/RecordStore.h"

namespace halvik {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A file name as bytes, shown as the file system's encoding says.
QString fileName(const std::filesystem::path& path) {
    return QFile::decodeName(path.filename().string().c_str());
}

}  // namespace

WindowRecords::WindowRecords(TForm3& window) : QObject(&window), window_(window) {
    chooseRecordFile = [this](const QString& folder) {
        return QFileDialog::getOpenFileName(&window_, "Open a record", folder,
                                            "Halvik records (*.halvik);;All files (*)");
    };
    chooseCsvFile = [this](const QString& proposed) {
        return QFileDialog::getSaveFileName(&window_, "Export the readings as CSV", proposed,
                                            "CSV files (*.csv)");
    };
}

WindowRecords::~WindowRecords() {
    waitForKeeping();
}

void WindowRecords::keep(const DownloadEnd& end) {
    Record record = RecordOfDownload(
        end, std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    shown_ = record;
    window_.reviewPanel->setShown(record, record.unit, true);
    shownName_.clear();
    window_.recordReport->setShown(true, {});
    setTitle({}, true);
    window_.showStatusMessage("Keeping the record...");
    // Writing syncs the file and its folder: done off the main thread, the result comes back as
    // a queued call. The destructor waits for writes under way.
    keeping_.erase(std::remove_if(keeping_.begin(), keeping_.end(),
                                  [](std::future<void>& done) {
                                      return done.wait_for(std::chrono::seconds(0)) ==
                                             std::future_status::ready;
                                  }),
                   keeping_.end());
    keeping_.push_back(std::async(std::launch::async, [this, record = std::move(record)] {
        QString message;
        QString name;
        try {
            const KeptRecord kept = KeepRecord(record, RecordFolder());
            name = fileName(kept.path);
            message = fromUtf8(KeptMessage(name.toStdString(), kept.alreadyKept));
        } catch (const std::exception& e) {
            message = fromUtf8(NotKeptMessage(e.what()));
        }
        QMetaObject::invokeMethod(
            this,
            [this, message, name] {
                window_.showStatusMessage(message);
                if (!name.isEmpty()) {
                    shownName_ = name;
                    setTitle(name, true);
                } else {
                    // As visible as a failed download: the readings are shown, but no record
                    // of them exists until they are exported or downloaded again.
                    showMessage(&window_, MessageKind::Error, message);
                }
            },
            Qt::QueuedConnection);
    }));
}

void WindowRecords::waitForKeeping() {
    for (std::future<void>& writing : keeping_) {
        writing.wait();
    }
    keeping_.clear();
}

bool WindowRecords::open(const std::filesystem::path& path, std::optional<TemperatureUnit> unit) {
    if (window_.isStaging()) {
        showMessage(&window_, MessageKind::Error,
                    "A download is under way: open the record when it has ended.");
        return false;
    }
    LoadedRecord loaded;
    try {
        loaded = LoadRecord(path);
    } catch (const std::exception& e) {
        showMessage(&window_, MessageKind::Error, fromUtf8(e.what()));
        return false;
    }
    window_.showKept(loaded.record, unit.value_or(loaded.record.unit));
    shown_ = loaded.record;
    shownName_ = fileName(path);
    setTitle(shownName_, loaded.intact);
    window_.recordReport->setShown(loaded.intact, shownName_);
    window_.showStatusMessage(fromUtf8(ShowingMessage(shownName_.toStdString(), loaded.intact)));
    return true;
}

void WindowRecords::openDialog() {
    const QString path = chooseRecordFile(QFile::decodeName(RecordFolderToBrowse().c_str()));
    if (!path.isEmpty()) {
        open(QFile::encodeName(path).toStdString(), std::nullopt);
    }
}

void WindowRecords::exportCsv() {
    if (!shown_) {
        window_.showStatusMessage("Nothing to export yet: download a card or open a record first");
        return;
    }
    const std::string name =
        shownName_.isEmpty() ? RecordFileName(*shown_) : shownName_.toStdString();
    const QString path = chooseCsvFile(QDir::home().filePath(fromUtf8(CsvFileNameFor(name))));
    if (path.isEmpty()) {
        return;
    }
    WriteFileAtomically(path.toStdString(),
                        RecordCsv(*shown_, window_.timeBase->base()));  // errors: the error box
    window_.showStatusMessage("Exported the readings to " + path);
}

void WindowRecords::setTitle(const QString& recordName, bool intact) {
    window_.setWindowTitle(
        fromUtf8(RecordTitle(recordName.toStdString(), intact, "Temperature Recorder Card")));
}

}  // namespace halvik
