// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QPushButton;

namespace halvik {

class TForm3;

// The window's "Record Report" button: writes the record report of the download or record shown
// into the folder Halvik was started from, named after the record, and opens it as the other
// reports are opened. Where that folder cannot be written it asks where instead. The report
// follows the window: its unit, its time base and the limit profile chosen in the review panel.
class RecordReportButton : public QObject {
    Q_OBJECT
  public:
    explicit RecordReportButton(TForm3& window);

    // A record is shown: the button is enabled. `intact` is false for a record changed after
    // its download (its report then says so on every page); `fileName` is the record file's
    // name, empty for a download whose record takes its usual name.
    void setShown(bool intact, const QString& fileName);

    QPushButton* button() const { return button_; }
    // Asks for the file to write when the start folder cannot be written (tests replace it).
    std::function<QString(const QString& suggested)> chooseFile;
    // Where the last report went (empty before the first).
    const QString& lastWritten() const { return lastWritten_; }

    void write();

  private:
    TForm3& window_;
    QPushButton* button_;
    bool intact_ = true;
    QString fileName_;
    QString lastWritten_;
};

}  // namespace halvik
