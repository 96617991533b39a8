// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecordReportButton.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>

#include "app/ErrorBox.h"
#include "app/Form3.h"
#include "app/ReviewPanel.h"
#include "app/TimeBaseChooser.h"
#include "app/WindowRecords.h"
#include "recordreport/RecordReport.h"
#include "records/RecordStore.h"

namespace halvik {

RecordReportButton::RecordReportButton(TForm3& window)
    : QObject(&window),
      window_(window),
      button_(new QPushButton(QStringLiteral("Record Report"), window.BitBtn9->parentWidget())) {
    button_->setObjectName("RecordReportButton");
    // Above the Data Report button, in the free space between the table and the chart.
    button_->setGeometry(362, 523, 112, 39);
    button_->setFont(window.BitBtn9->font());
    button_->setEnabled(false);
    button_->show();
    chooseFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(&window_, QStringLiteral("Record Report"), suggested,
                                            QStringLiteral("PDF files (*.pdf)"));
    };
    connect(button_, &QPushButton::clicked, this,
            [this] { runHandler(&window_, [this] { write(); }); });
}

void RecordReportButton::setShown(bool intact, const QString& fileName) {
    intact_ = intact;
    fileName_ = fileName;
    button_->setEnabled(true);
}

void RecordReportButton::write() {
    const std::optional<Record>& record = window_.records->shown();
    if (!record)
        return;
    LoadedRecord loaded;
    loaded.record = *record;
    loaded.intact = intact_;
    QString recordName =
        fileName_.isEmpty() ? QString::fromStdString(RecordFileName(*record)) : fileName_;
    if (fileName_.isEmpty()) {
        // A download: the report stands for the record file it was kept in, digest and all. That
        // file carries a suffix when another download already held the record's name, so it is
        // the kept file that is read and named, never whatever holds the plain name.
        std::filesystem::path file = window_.records->shownPath();
        if (file.empty())  // still being kept
            file = RecordFolderPath() / RecordFileName(*record);
        try {
            LoadedRecord kept = LoadRecord(file);
            if (kept.record.header == record->header && kept.record.readings == record->readings) {
                loaded = std::move(kept);
                recordName = QFile::decodeName(file.filename().c_str());
            }
        } catch (const std::exception&) {
            // Not kept (yet), or no records folder: the report is of the download as shown.
        }
    }
    RecordReportOptions options;
    options.unit =
        window_.RadioButton2->isChecked() ? TemperatureUnit::Fahrenheit : TemperatureUnit::Celsius;
    options.paper = QLocale::system().measurementSystem() == QLocale::ImperialUSSystem
                        ? PaperSize::Letter
                        : PaperSize::A4;
    options.locale = window_.locale;
    options.timeBase = window_.timeBase->base();
    // Judged by the profile chosen in the review panel, reviewed again over the readings the
    // report lists, so that its marks and counts are the report's own.
    if (const std::optional<ReviewResult>& chosen = window_.reviewPanel->result())
        options.review = ReviewForRecordReport(loaded.record, chosen->profile);
    options.recordName = recordName.toStdString();
    options.generatedAt =
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());

    QString path =
        QDir::current().absoluteFilePath(QFileInfo(recordName).completeBaseName() + ".pdf");
    if (!QFileInfo(QDir::currentPath()).isWritable()) {
        path = chooseFile(path);
        if (path.isEmpty())
            return;  // the user chose not to write it
    }
    const std::filesystem::path target = QFile::encodeName(path).toStdString();
    window_.records->refuseAsOutput(target);  // errors: the error box
    WriteRecordReport(loaded, options, target.string());
    lastWritten_ = path;
    window_.openReport(path);
}

}  // namespace halvik
