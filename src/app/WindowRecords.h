// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <vector>

#include "download/DownloadFlow.h"
#include "logger/Reading.h"
#include "records/Record.h"

namespace halvik {

class TForm3;

// The window's records. Every download that ends is kept as a record file in the records folder,
// off the main thread; the status bar then says where ("Kept as ...") or why not. A record opened
// from a file (halvik RECORD, a file dropped on the window, Ctrl+O) is shown as its download was;
// a record changed after its download is shown with a warning in the title and status bar.
// Ctrl+E writes the shown download's readings as CSV.
class WindowRecords : public QObject {
    Q_OBJECT
  public:
    explicit WindowRecords(TForm3& window);
    ~WindowRecords() override;  // waits for the records being written

    // Keeps the download that ended as a record and says so in the status bar and title.
    void keep(const DownloadEnd& end);
    // Waits until every record being kept was written (or failed).
    void waitForKeeping();

    // Shows the record in `path` (bytes: the name need not be UTF-8), in `unit` instead of its
    // own when given. False, with the reason in the error box, for a file that is not a record
    // this program can read, or while a download is under way; the window is then unchanged.
    bool open(const std::filesystem::path& path, std::optional<TemperatureUnit> unit);
    void openDialog();  // Ctrl+O
    // Shows the record a file URL names (a drop, the open dialog): its percent-escapes are the
    // name's own bytes. A name given back as text, each byte that is not UTF-8 turned into
    // U+FFFD, opens the one file of its folder whose name reads so; several are refused.
    bool openUrl(const QUrl& url);
    void exportCsv();  // Ctrl+E

    // The record of the download shown, when there is one.
    const std::optional<Record>& shown() const { return shown_; }
    // False while a record changed after its download is shown: every copy, print and report
    // of it then carries the warning. True for a download and an intact record.
    bool shownIntact() const { return shownIntact_; }
    // The file of the record shown (absolute), empty for a download not kept (yet).
    const std::filesystem::path& shownPath() const { return shownPath_; }
    // A download started: what it shows is the card's own.
    void downloadStarted() { setShownIntact(true); }
    // Throws RecordError when `output` is the record shown or any other record: the window's
    // exports and reports never write over one.
    void refuseAsOutput(const std::filesystem::path& output) const;

    // The file dialogs' seams: the file to open, the file to write a CSV to (empty: cancelled).
    std::function<QUrl(const QString& folder)> chooseRecordFile;
    std::function<QString(const QString& proposed)> chooseCsvFile;

  private:
    void setTitle(const QString& recordName, bool intact);
    void setShownIntact(bool intact);

    TForm3& window_;
    std::optional<Record> shown_;
    QString shownName_;
    std::filesystem::path shownPath_;  // absolute; empty until a download is kept
    bool shownIntact_ = true;
    std::vector<std::future<void>> keeping_;
};

}  // namespace halvik
