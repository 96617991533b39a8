// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WindowRecords.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "app/RecordReportButton.h"
#include "app/ReviewPanel.h"
#include "app/TimeBaseChooser.h"
#include "download/KeptDownload.h"
#include "records/Csv.h"
#include "records/RecordMessages.h"
#include "records/RecordStore.h"
#include "views/ChangedRecord.h"
#include "views/widgets/DataGrid.h"

namespace halvik {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A file name as bytes, shown as the file system's encoding says.
QString fileName(const std::filesystem::path& path) {
    return QFile::decodeName(path.filename().string().c_str());
}

// The file a file URL names. Its percent-escapes are the name's bytes, which need not be UTF-8:
// QUrl::toLocalFile would turn those into U+FFFD and name another file, or none.
std::filesystem::path localPathOf(const QUrl& url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

// A name that came back as text, each byte that is not UTF-8 turned into U+FFFD, names no file.
// The one file of its folder whose name reads the same is the one meant; several are refused
// rather than guessed between. Any other name is taken as it is.
std::filesystem::path fileReadingAs(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const QString wanted = QFile::decodeName(path.filename().c_str());
    if (!wanted.contains(QChar::ReplacementCharacter) ||
        fs::exists(fs::symlink_status(path, error)))
        return path;
    std::vector<fs::path> found;
    for (fs::directory_iterator it(path.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        if (QFile::decodeName(it->path().filename().c_str()) == wanted)
            found.push_back(it->path());
    }
    if (found.size() > 1)
        throw RecordError(std::to_string(found.size()) + " files in " +
                          EscapedName(path.parent_path().string()) + " have names that read as " +
                          wanted.toStdString() +
                          ": open the record with halvik RECORD from a terminal, or rename it.");
    return found.empty() ? path : found.front();
}

}  // namespace

WindowRecords::WindowRecords(TForm3& window) : QObject(&window), window_(window) {
    // As a URL: a dialog that passes the file on as a URL keeps its name's bytes.
    chooseRecordFile = [this](const QString& folder) {
        return QFileDialog::getOpenFileUrl(&window_, "Open a record", QUrl::fromLocalFile(folder),
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
    shownPath_.clear();
    setShownIntact(true);
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
        std::filesystem::path keptPath;
        try {
            const KeptRecord kept = KeepRecord(record, RecordFolder());
            keptPath = std::filesystem::absolute(kept.path);
            name = fileName(kept.path);
            message = fromUtf8(KeptMessage(name.toStdString(), kept.alreadyKept));
        } catch (const std::exception& e) {
            message = fromUtf8(NotKeptMessage(e.what()));
        }
        QMetaObject::invokeMethod(
            this,
            [this, message, name, keptPath] {
                window_.showStatusMessage(message);
                if (!name.isEmpty()) {
                    shownName_ = name;
                    shownPath_ = keptPath;
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
    shownPath_ = std::filesystem::absolute(path);
    setShownIntact(loaded.intact);
    setTitle(shownName_, loaded.intact);
    window_.recordReport->setShown(loaded.intact, shownName_);
    window_.showStatusMessage(fromUtf8(ShowingMessage(shownName_.toStdString(), loaded.intact)));
    return true;
}

void WindowRecords::openDialog() {
    const QUrl url = chooseRecordFile(QFile::decodeName(RecordFolderToBrowse().c_str()));
    if (!url.isEmpty()) {
        openUrl(url);
    }
}

bool WindowRecords::openUrl(const QUrl& url) {
    std::filesystem::path path;
    try {
        path = fileReadingAs(localPathOf(url));
    } catch (const std::exception& e) {
        showMessage(&window_, MessageKind::Error, fromUtf8(e.what()));
        return false;
    }
    return open(path, std::nullopt);
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
    // The name as the file system has it: bytes, which need not be UTF-8.
    const std::filesystem::path target = QFile::encodeName(path).toStdString();
    refuseAsOutput(target);  // errors: the error box
    WriteFileAtomically(target, RecordCsv(*shown_, window_.timeBase->base()));
    window_.showStatusMessage("Exported the readings to " + path);
}

void WindowRecords::refuseAsOutput(const std::filesystem::path& output) const {
    RefuseRecordAsOutput(output, shownPath_);
}

void WindowRecords::setShownIntact(bool intact) {
    shownIntact_ = intact;
    window_.StringGrid1->setCopyWarning(ChangedRecordWarning(intact));
}

void WindowRecords::setTitle(const QString& recordName, bool intact) {
    window_.setWindowTitle(
        fromUtf8(RecordTitle(recordName.toStdString(), intact, "Temperature Recorder Card")));
}

}  // namespace halvik
