// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the print and report buttons of the main window work with: the two report pages and
// their reports, the printer both table printouts share, the print logo, and the places where a
// press reaches the desktop (the print dialogs, the clipboard the pictures pass through, the
// viewer that opens a written report), which tests replace.

#include <QImage>
#include <QString>
#include <memory>
#include <string>

#include "pdf/Bitmap.h"
#include "printing/qt/PrintJobs.h"
#include "report/ReportPages.h"
#include "report/qt/ReportFiles.h"

class QWidget;

namespace halvik {

struct ExportComponents {
    explicit ExportComponents(QWidget* window);
    ~ExportComponents();
    ExportComponents(const ExportComponents&) = delete;
    // Viewers started for written reports so far (each press that wrote a report starts one).
    int viewerStarts = 0;
    ExportComponents& operator=(const ExportComponents&) = delete;

    // The report pages (RpPage1: data report, RpPage2: chart report) and the reports that
    // write them ("Brisko.pdf", "Brisko_C.pdf"). Labels and pictures keep what the last press
    // put in them.
    TRpPage1 RpPage1;
    TRpPage2 RpPage2;
    std::unique_ptr<TRpReport> RpReport1;
    std::unique_ptr<TRpReport> RpReport2;

    // The logo as a bitmap, rebuilt through the clipboard by every print and report press.
    QImage PrintLogo;

    // One printer for the window's life, so the settings chosen in a dialog (and the portrait
    // orientation Print All leaves behind) carry over to the next job.
    std::unique_ptr<QPrinter> printer;

    // The seams; null means the system's dialog and clipboard. Not owned.
    PrintDialogs* dialogs = nullptr;
    PictureClipboard* clipboard = nullptr;

    PrintDialogs& printDialogs() { return dialogs != nullptr ? *dialogs : systemDialogs_; }
    PictureClipboard& pictureClipboard() {
        return clipboard != nullptr ? *clipboard : systemClipboard_;
    }

  private:
    SystemPrintDialogs systemDialogs_;
    SystemPictureClipboard systemClipboard_;
};

}  // namespace halvik
