// SPDX-License-Identifier: GPL-3.0-or-later
// The window's "Record Report" button: the record report of the download shown, written into the
// start folder under the record's name and opened; a changed record's report says so.

#include <QFile>
#include <QPushButton>

#include "ExportTestSupport.h"
#include "app/DemoCard.h"
#include "app/RecordReportButton.h"
#include "app/ReviewPanel.h"
#include "app/TimeBaseChooser.h"
#include "records/RecordStore.h"

namespace halvik::testing {
namespace {

// The name the demo card's download is kept under.
const QString kDemoRecordName = "141a010c07_20260112T0800Z_1440.halvik";

TEST_F(ExportWindow, RecordReportButtonWritesAndOpensTheShownRecordsReport) {
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    QPushButton* button = w.recordReport->button();
    ASSERT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), "Record Report");
    // In free space: clear of every other control of the window.
    for (QWidget* other :
         button->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != button && other->isVisible()) {
            EXPECT_FALSE(button->geometry().intersects(other->geometry()))
                << other->objectName().toStdString();
        }
    }
    const auto viewerCallsReach = [](int count) {
        return waitFor([&] { return viewerCalls().size() >= count; }, 10000);
    };

    const QString kept = keptRecordPath(w, kDemoRecordName);
    ASSERT_FALSE(kept.isEmpty());
    const QString expected = path(QFileInfo(kept).completeBaseName() + ".pdf");
    button->click();
    ASSERT_TRUE(viewerCallsReach(1));
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_TRUE(QFile::exists(expected)) << expected.toStdString();
    EXPECT_EQ(w.recordReport->lastWritten(), expected);
    EXPECT_EQ(qpdfCheck(expected).exitCode, 0);
    const QString text = pdfText(expected);
    EXPECT_TRUE(text.contains("Record Report"));
    EXPECT_TRUE(text.contains(QFileInfo(kept).fileName()));
    const LoadedRecord loaded = LoadRecord(kept.toStdString());
    EXPECT_TRUE(text.contains(QString::fromStdString(RecordDigest(loaded.record))));
    EXPECT_FALSE(text.contains("CHANGED AFTER DOWNLOAD"));
    const QDir artifacts(HALVIK_ARTIFACT_DIR);
    w.grab().save(artifacts.filePath("record-report-window.png"));

    // A record changed after its download: the report is written, with the warning.
    QFile file(kept);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const qsizetype at = bytes.indexOf("\"host\":\"");
    ASSERT_GE(at, 0);
    bytes[at + 8] = bytes[at + 8] == 'x' ? 'y' : 'x';
    const QString changed = path("changed.halvik");
    QFile out(changed);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    out.close();
    ASSERT_TRUE(w.openRecord(changed));
    recorder.messages.clear();
    button->click();
    ASSERT_TRUE(viewerCallsReach(2));
    ASSERT_TRUE(QFile::exists(path("changed.pdf")));
    EXPECT_TRUE(pdfText(path("changed.pdf")).contains("CHANGED AFTER DOWNLOAD"));
    EXPECT_TRUE(pdfText(path("changed.pdf")).contains("changed.halvik"));
}

// When another download already held the record's name, the download is kept under a suffixed
// name: the report names and stands for that file, not for the one holding the plain name.
TEST_F(ExportWindow, RecordReportOfADownloadKeptUnderASuffixedName) {
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    const QString plain = keptRecordPath(w, kDemoRecordName);
    ASSERT_FALSE(plain.isEmpty());
    // The plain name now holds another download of the card (one reading differs).
    const QString other = changedCopy(plain, path("other.halvik"));
    ASSERT_FALSE(other.isEmpty());
    ASSERT_TRUE(QFile::remove(plain));
    ASSERT_TRUE(QFile::rename(other, plain));

    // The card is downloaded again in a fresh window.
    window.reset();
    card->Unplug();
    card.reset();
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& again = *window;
    const QString suffixed =
        keptRecordPath(again, QString(kDemoRecordName).replace(".halvik", "-2.halvik"));
    ASSERT_FALSE(suffixed.isEmpty());
    again.recordReport->button()->click();
    ASSERT_TRUE(waitFor([&] { return viewerCalls().size() >= 1; }, 10000));
    EXPECT_TRUE(recorder.messages.empty());
    const QString expected = path(QFileInfo(suffixed).completeBaseName() + ".pdf");
    ASSERT_TRUE(QFile::exists(expected)) << expected.toStdString();
    EXPECT_FALSE(QFile::exists(path(QFileInfo(plain).completeBaseName() + ".pdf")));
    const QString text = pdfText(expected);
    EXPECT_TRUE(text.contains(QFileInfo(suffixed).fileName()));
    EXPECT_TRUE(text.contains(
        QString::fromStdString(RecordDigest(LoadRecord(suffixed.toStdString()).record))));
    EXPECT_FALSE(text.contains("CHANGED AFTER DOWNLOAD"));
}

// The report follows the window: the profile chosen in the review panel judges it (verdict,
// rules, marks) and the readings' times are in the window's time base.
TEST_F(ExportWindow, RecordReportFollowsTheChosenProfileAndTimeBase) {
    ASSERT_NO_FATAL_FAILURE(download(MakeDemoCardImage()));
    TForm3& w = *window;
    const QString kept = keptRecordPath(w, kDemoRecordName);
    ASSERT_FALSE(kept.isEmpty());
    const QString expected = path(QFileInfo(kept).completeBaseName() + ".pdf");
    w.timeBase->useForThisRun(TimeBase::Zone("Asia/Kolkata"));
    ASSERT_TRUE(w.reviewPanel->choose("refrigerated-2-8"));
    ASSERT_TRUE(w.reviewPanel->result().has_value());
    const ReviewResult chosen = *w.reviewPanel->result();
    w.recordReport->button()->click();
    // The card's profile is remembered in the shared configuration: forget it again.
    w.reviewPanel->choose(QString());
    ASSERT_TRUE(waitFor([&] { return viewerCalls().size() >= 1; }, 10000));
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_TRUE(QFile::exists(expected)) << expected.toStdString();
    QString text = pdfText(expected);
    text.replace(QRegularExpression(" +"), " ");
    EXPECT_TRUE(text.contains("Profile refrigerated-2-8"));
    EXPECT_TRUE(text.contains("Range 2.0 to 8.0 °C"));
    EXPECT_TRUE(text.contains(chosen.verdict == Verdict::Alarm ? "ALARM: "
                                                               : "OK: no alarm rule triggered"));
    EXPECT_EQ(text.contains("Action taken"), chosen.verdict == Verdict::Alarm);
    EXPECT_TRUE(text.contains("Excursions (" + QString::number(chosen.excursions.size()) + ")") ||
                chosen.excursions.empty());
    EXPECT_TRUE(text.contains("Asia/Kolkata (IST): local times with their offset from UTC"));
    EXPECT_TRUE(
        text.contains(QRegularExpression("First reading \\d{4}-\\d\\d-\\d\\d "
                                         "\\d\\d:\\d\\d \\+05:30")));
}

}  // namespace
}  // namespace halvik::testing
