// SPDX-License-Identifier: GPL-3.0-or-later
// The limit-profile review in the window, under Xvfb: a card with two excursions reviewed under
// the 2-8 °C preset (lines, marks, panel figures, status bar, choosing an excursion), and the
// window as it was once no profile is chosen again.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QChart>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QToolButton>
#include <QValueAxis>
#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "app/ProfileEditor.h"
#include "app/ReviewPanel.h"
#include "app/TimeBaseChooser.h"
#include "app/WindowRecords.h"
#include "review/Profiles.h"
#include "views/widgets/DataGrid.h"
#include "views/widgets/TemperatureChart.h"

namespace halvik::testing {
namespace {

namespace fs = std::filesystem;

class ReviewPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-review-window-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        // A fridge at 5 °C from 7 January 2014 09:00: 30 minutes at 9 °C from 10:00 and
        // 18 minutes at 1 °C from 11:30.
        std::vector<double> values;
        auto add = [&values](double celsius, int times) {
            values.insert(values.end(), times, celsius);
        };
        add(5.0, 10);
        add(9.0, 5);
        add(5.0, 10);
        add(1.0, 3);
        add(5.0, 10);
        card = std::make_unique<SimLoggerCard>(platform, cardWith(values),
                                               SimLoggerCard::Pace::AsFastAsRead);
        card->Plug();
        ASSERT_NO_FATAL_FAILURE(openAndDownload());
        for (const QString& e : recorder.errors())
            ADD_FAILURE() << e.toStdString();
        ASSERT_TRUE(window->isDownloaded()) << window->Label10->text().toStdString();
    }
    // A new window (as when Halvik starts) downloads the card once its header is in.
    void openAndDownload() {
        window.reset();
        window = std::make_unique<TForm3>(platform);
        window->locale = LocaleSettings{};
        window->show();
        ASSERT_TRUE(waitFor([&] {
            return window->StatusBar1Panels[1]->text() == "Connected" &&
                   !window->download.PidText.empty();
        })) << window->StatusBar1Panels[1]->text().toStdString();
        window->BitBtn1->click();
        ASSERT_TRUE(waitFor([&] { return window->isDownloaded(); }, 20000));
        window->records->waitForKeeping();
    }
    void TearDown() override {
        window.reset();
        card.reset();
        fs::remove_all(dir_);
    }

    std::vector<double> lineLevels() const {
        std::vector<double> levels;
        for (QAbstractSeries* s : window->Chart1->chart()->series()) {
            auto* line = qobject_cast<QLineSeries*>(s);
            if (line && s->type() == QAbstractSeries::SeriesTypeLine &&
                line != window->Chart1->readingSeries() && line != window->Chart1->series2() &&
                line->count() == 2 && line->at(0).y() == line->at(1).y())
                levels.push_back(line->at(0).y());
        }
        std::sort(levels.begin(), levels.end());
        return levels;
    }

    fs::path dir_;
    SimHidPlatform platform;
    MessageRecorder recorder;
    std::unique_ptr<SimLoggerCard> card;
    std::unique_ptr<TForm3> window;
};

TEST_F(ReviewPanelTest, TwoExcursionsUnderThe2To8Preset) {
    ReviewPanel& review = *window->reviewPanel;
    // The window as it settles after the download (the record's keeping is said in the status
    // bar).
    const QImage before = settledGrab(*window);
    const QString chartTitle = window->Chart1->leftAxis()->titleText();
    ASSERT_TRUE(window->records->shown().has_value());
    EXPECT_FALSE(review.verdictLabel()->isVisible());

    // The chooser offers no profile and every preset.
    EXPECT_EQ(review.chooser()->itemData(0).toString(), "");
    for (const NamedProfile& preset : PresetProfiles())
        EXPECT_GE(review.chooser()->findData(QString::fromStdString(preset.profile.name)), 1);
    EXPECT_FALSE(review.choose("no such profile"));

    review.chooser()->setCurrentIndex(review.chooser()->findData("refrigerated-2-8"));
    ASSERT_TRUE(review.result().has_value());
    // The panel's figures are the library's.
    const ReviewResult expected = Review(CelsiusGridValues(window->records->shown()->readings, 38),
                                         PresetProfiles()[2].profile);
    const ReviewResult& got = *review.result();
    EXPECT_EQ(got.inRangeMinutes, expected.inRangeMinutes);
    EXPECT_EQ(got.verdict, Verdict::Alarm);
    EXPECT_EQ(review.summaryLabel()->text(),
              QString::fromUtf8("Range 2.0 to 8.0 \u00b0C\nTime in range 180 min (78.9 %), "
                                "above 30 min (13.2 %), below 18 min (7.9 %)"));
    ASSERT_EQ(review.rulesTable()->rowCount(), 2);
    EXPECT_EQ(review.rulesTable()->item(0, 0)->text(), QString::fromUtf8("<2.0 \u00b0C"));
    EXPECT_EQ(review.rulesTable()->item(0, 2)->text(), "07 JAN 14 11:36");
    EXPECT_EQ(review.rulesTable()->item(1, 3)->text(), "30 min");
    ASSERT_EQ(review.excursionsTable()->rowCount(), 2);
    EXPECT_EQ(review.excursionsTable()->item(1, 1)->text(), "07 JAN 14 11:30");
    EXPECT_EQ(review.excursionsTable()->item(1, 2)->text(), "07 JAN 14 11:48");
    EXPECT_EQ(review.excursionsTable()->item(1, 4)->text(), QString::fromUtf8("1.0 \u00b0C"));
    // The status bar.
    EXPECT_TRUE(review.verdictLabel()->isVisible());
    EXPECT_EQ(review.verdictLabel()->text(),
              QString::fromUtf8(" ALARM: >8.0 \u00b0C, triggered 07 JAN 14 10:06 "));
    EXPECT_EQ(review.button()->text(), "Limit profile: refrigerated-2-8");
    // The chart: the range's ends and both thresholds as lines, the 8 readings outside marked.
    EXPECT_EQ(lineLevels(), (std::vector<double>{2.0, 2.0, 8.0, 8.0}));
    int marked = 0;
    for (QAbstractSeries* s : window->Chart1->chart()->series())
        if (auto* scatter = qobject_cast<QScatterSeries*>(s); scatter && scatter->markerSize() > 1)
            marked += static_cast<int>(scatter->count());
    EXPECT_EQ(marked, 8);
    EXPECT_EQ(window->Chart1->readingSeries()->count(), 38);  // every reading still drawn
    // The card is remembered with the profile.
    EXPECT_EQ(RememberedProfile(ProfileFolderPath(), "01 02 03 04 05"), "refrigerated-2-8");

    // The unit switch keeps the lines, at the values the chart draws.
    window->RadioButton2->click();
    EXPECT_EQ(lineLevels().size(), 4u);
    window->RadioButton1->click();

    // Screenshot of the window and the panel side by side.
    review.panel()->show();
    const QImage main = settledGrab(*window);
    const QImage panel = settledGrab(*review.panel());
    QImage shot(main.width() + panel.width(), std::max(main.height(), panel.height()),
                QImage::Format_RGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    painter.drawImage(0, 0, main);
    painter.drawImage(main.width(), 0, panel);
    painter.end();
    shot.save(QString(HALVIK_ARTIFACT_DIR) + "/review.png");
    review.panel()->hide();

    // No profile: the window as it was.
    review.chooser()->setCurrentIndex(0);
    EXPECT_FALSE(review.result().has_value());
    EXPECT_FALSE(review.verdictLabel()->isVisible());
    EXPECT_TRUE(lineLevels().empty());
    EXPECT_EQ(window->Chart1->chart()->series().size(), 2);
    EXPECT_EQ(window->Chart1->leftAxis()->titleText(), chartTitle);
    // The chart repaints once the change has been handled; on a busy machine that can take
    // longer than one short wait.
    ASSERT_TRUE(waitFor([&] { return window->grab().toImage() == before; }))
        << "the window does not look as it did before the profile";
    EXPECT_FALSE(RememberedProfile(ProfileFolderPath(), "01 02 03 04 05").has_value());
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(ReviewPanelTest, ChoosingAnExcursionZoomsTheChartAndSelectsItsRows) {
    ReviewPanel& review = *window->reviewPanel;
    ASSERT_TRUE(review.choose("refrigerated-2-8"));
    review.excursionsTable()->selectRow(1);
    const DataGrid::RowRange rows = window->StringGrid1->selectedRowRange();
    EXPECT_EQ(rows.top, 26);  // readings 26 to 28 (1-based): indices 25 to 27
    EXPECT_EQ(rows.bottom, 28);
    EXPECT_TRUE(window->Chart1->isZoomed());
    const AxisRange x = window->Chart1->xRange();
    EXPECT_LE(x.min, 25);
    EXPECT_GE(x.max, 27);
    EXPECT_LT(x.max - x.min, 20);
    window->BitBtn3->click();  // undo zoom: the whole download again
    EXPECT_FALSE(window->Chart1->isZoomed());
}

TEST_F(ReviewPanelTest, TheNextDownloadOfACardTakesItsProfile) {
    ASSERT_TRUE(window->reviewPanel->choose("vaccine-refrigerator"));
    EXPECT_EQ(window->reviewPanel->result()->verdict, Verdict::Ok);
    RememberProfile(ProfileFolderPath(), "01 02 03 04 05", "frozen-food");
    // The next time Halvik runs and downloads the card.
    ASSERT_NO_FATAL_FAILURE(openAndDownload());
    ReviewPanel& review = *window->reviewPanel;
    ASSERT_TRUE(review.result().has_value());
    EXPECT_EQ(review.result()->profile.name, "frozen-food");
    EXPECT_EQ(review.chooser()->currentData().toString(), "frozen-food");
    EXPECT_EQ(review.verdictLabel()->text(),
              QString::fromUtf8(" ALARM: >-15.0 \u00b0C, triggered 07 JAN 14 09:06 "));
}

// Writes a profile of one's own in the editor: each problem shown as it is typed with Save
// disabled, then saved, chosen and reviewed; edited in its own file; deleted.
TEST_F(ReviewPanelTest, TheEditorChecksAsYouTypeSavesEditsAndDeletes) {
    ReviewPanel& review = *window->reviewPanel;
    review.panel()->show();
    EXPECT_FALSE(review.deleteButton()->isEnabled());
    ProfileEditor* editor = review.newProfile();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->saveButton()->isEnabled());  // no name yet
    QTest::keyClicks(editor->nameEdit(), "Shelf 3");
    QTest::keyClicks(editor->lowEdit(), "2");
    QTest::keyClicks(editor->highEdit(), "8x");
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    EXPECT_TRUE(editor->messageLabel()->text().contains("high end '8x'"))
        << editor->messageLabel()->text().toStdString();
    QTest::keyClick(editor->highEdit(), Qt::Key_Backspace);
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    QTest::keyClicks(editor->rulesEdit(), "<2");
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Return);
    QTest::keyClicks(editor->rulesEdit(), ">8 fo 12min");
    EXPECT_FALSE(editor->saveButton()->isEnabled());
    EXPECT_TRUE(editor->messageLabel()->text().startsWith("line 2: rule '>8 fo 12min', at 4"))
        << editor->messageLabel()->text().toStdString();
    EXPECT_EQ(editor->rulesEdit()->extraSelections().size(), 1);
    QTest::qWait(50);
    editor->grab().save(QString(HALVIK_ARTIFACT_DIR) + "/profile-editor.png");
    EXPECT_FALSE(editor->save());  // not even by a keyboard shortcut
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Left);
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Left);
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Left);
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Left);
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Left);
    QTest::keyClick(editor->rulesEdit(), Qt::Key_Left);
    QTest::keyClicks(editor->rulesEdit(), "r");
    ASSERT_TRUE(editor->saveButton()->isEnabled()) << editor->messageLabel()->text().toStdString();
    EXPECT_EQ(editor->messageLabel()->text(), "2 alarm rules.");
    EXPECT_TRUE(editor->rulesEdit()->extraSelections().isEmpty());
    editor->saveButton()->click();
    ASSERT_TRUE(waitFor([&] { return review.editor() == nullptr; }));

    // Saved as a file of its own, chosen, and the shown download reviewed under it.
    const ProfileList list = ListProfiles(ProfileFolderPath());
    EXPECT_TRUE(list.problems.empty());
    ASSERT_EQ(list.profiles.size(), PresetProfiles().size() + 1);
    const NamedProfile mine = list.profiles.back();
    EXPECT_EQ(mine.file, ProfileFolderPath() / "shelf-3.toml");
    EXPECT_EQ(mine.profile,
              (LimitProfile{"Shelf 3", 2.0, 8.0, {ParseRule("<2"), ParseRule(">8 for 12min")}}));
    EXPECT_EQ(review.chooser()->currentData().toString(), "Shelf 3");
    ASSERT_TRUE(review.result().has_value());
    EXPECT_EQ(review.result()->profile, mine.profile);
    EXPECT_EQ(review.verdictLabel()->text(),
              QString::fromUtf8(" ALARM: >8.0 \u00b0C for 12 min, triggered 07 JAN 14 10:12 "));
    EXPECT_EQ(review.excursionsTable()->rowCount(), 2);
    EXPECT_TRUE(review.deleteButton()->isEnabled());
    EXPECT_EQ(review.editButton()->text(), "Edit...");

    // Edited: the same file takes the change, and the review follows.
    editor = review.editChosen();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->draft(), DraftOf(mine.profile));
    editor->nameEdit()->setText("Shelf 3 (door)");
    editor->highEdit()->setText("10");
    editor->rulesEdit()->setPlainText("<2");
    ASSERT_TRUE(editor->save());
    EXPECT_EQ(LoadProfileFile(mine.file).high, 10.0);
    EXPECT_EQ(review.result()->profile.name, "Shelf 3 (door)");
    // The card reviewed with it goes with the new name.
    EXPECT_EQ(RememberedProfile(ProfileFolderPath(), "01 02 03 04 05"), "Shelf 3 (door)");
    EXPECT_EQ(ListProfiles(ProfileFolderPath()).profiles.size(), PresetProfiles().size() + 1);
    EXPECT_EQ(review.excursionsTable()->rowCount(), 1);
    EXPECT_EQ(review.rulesTable()->rowCount(), 1);
    EXPECT_EQ(review.chooser()->count(), static_cast<int>(PresetProfiles().size()) + 2);

    // Deleted after asking: no profile, the window as without one.
    QMessageBox* ask = review.deleteChosen();
    ASSERT_NE(ask, nullptr);
    EXPECT_TRUE(ask->text().contains("shelf-3.toml"));
    ask->button(QMessageBox::Yes)->click();
    EXPECT_FALSE(fs::exists(mine.file));
    EXPECT_FALSE(review.result().has_value());
    EXPECT_EQ(review.chooser()->currentIndex(), 0);
    EXPECT_EQ(review.chooser()->findData("Shelf 3"), -1);
    EXPECT_EQ(review.chooser()->findData("Shelf 3 (door)"), -1);
    EXPECT_FALSE(RememberedProfile(ProfileFolderPath(), "01 02 03 04 05").has_value());
    EXPECT_FALSE(review.verdictLabel()->isVisible());
    EXPECT_TRUE(recorder.errors().empty());
}

// A preset is offered as a copy to edit and can be neither overwritten nor deleted; a folder
// that cannot be written keeps the editor open with what was typed.
TEST_F(ReviewPanelTest, APresetCannotBeOverwritten) {
    ReviewPanel& review = *window->reviewPanel;
    ASSERT_TRUE(review.choose("frozen-food"));
    EXPECT_EQ(review.editButton()->text(), "Duplicate to edit...");
    EXPECT_FALSE(review.deleteButton()->isEnabled());
    EXPECT_EQ(review.deleteChosen(), nullptr);
    ProfileEditor* editor = review.editChosen();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->nameEdit()->text(), "frozen-food copy");
    EXPECT_EQ(editor->highEdit()->text(), "-18.0");
    EXPECT_TRUE(editor->saveButton()->isEnabled());
    for (const NamedProfile& preset : PresetProfiles()) {
        editor->nameEdit()->setText(QString::fromStdString(preset.profile.name));
        EXPECT_FALSE(editor->saveButton()->isEnabled());
        EXPECT_TRUE(editor->messageLabel()->text().contains("preset's name"));
        EXPECT_FALSE(editor->save());
    }
    EXPECT_EQ(ListProfiles(ProfileFolderPath()).profiles.size(), PresetProfiles().size());

    // The profile folder is a file: not saved, said, and nothing typed is lost.
    fs::remove_all(ProfileFolderPath());
    std::ofstream(ProfileFolderPath()) << "not a folder\n";
    editor->nameEdit()->setText("Freezer 2");
    EXPECT_FALSE(editor->save());
    EXPECT_TRUE(editor->messageLabel()->text().startsWith("Not saved: "))
        << editor->messageLabel()->text().toStdString();
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->nameEdit()->text(), "Freezer 2");
    fs::remove(ProfileFolderPath());

    ASSERT_TRUE(editor->save());
    EXPECT_EQ(review.result()->profile.name, "Freezer 2");
    EXPECT_EQ(review.result()->profile.high, -18.0);
    EXPECT_EQ(ResolveProfile("frozen-food", ProfileFolderPath()).preset, true);
    // A second copy takes the next free name.
    ASSERT_TRUE(review.choose("frozen-food"));
    review.duplicateChosen()->reject();
    editor = review.duplicateChosen();
    EXPECT_EQ(editor->nameEdit()->text(), "frozen-food copy");
    editor->reject();
    ASSERT_TRUE(review.choose("Freezer 2"));
    editor = review.duplicateChosen();
    EXPECT_EQ(editor->nameEdit()->text(), "Freezer 2 copy");
    editor->reject();
}

// A profile file spoiled after it was chosen: the review keeps the profile it had, and says why;
// the file mended with a change: the review follows it.
TEST_F(ReviewPanelTest, AChosenProfileSurvivesItsFileGoingBad) {
    ReviewPanel& review = *window->reviewPanel;
    const fs::path file = ProfileFolderPath() / "shelf.toml";
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "name = \"Shelf\"\nhigh = 8\nrules = [\">8\"]\n";
    review.reloadProfiles();
    ASSERT_TRUE(review.choose("Shelf"));
    EXPECT_EQ(review.result()->verdict, Verdict::Alarm);
    std::ofstream(file) << "name = \"Shelf\"\nhigh = \"eight\"\nrules = [\">8\"]\n";
    review.reloadProfiles();
    ASSERT_TRUE(review.result().has_value());
    EXPECT_EQ(review.result()->profile.high, 8.0);
    EXPECT_EQ(review.chooser()->currentData().toString(), "Shelf");
    EXPECT_TRUE(review.problemsLabel()->text().contains(QString::fromStdString(file.string()) +
                                                        ":2: high 'eight'"))
        << review.problemsLabel()->text().toStdString();
    std::ofstream(file) << "name = \"Shelf\"\nhigh = 10\nrules = [\">10\"]\n";
    review.reloadProfiles();
    EXPECT_EQ(review.result()->profile.high, 10.0);
    EXPECT_EQ(review.result()->verdict, Verdict::Ok);
    EXPECT_TRUE(review.problemsLabel()->text().isEmpty());
    EXPECT_EQ(review.chooser()->count(), static_cast<int>(PresetProfiles().size()) + 2);
}

// A profile folder that cannot be read or written (here a file in its place): said once, the
// presets still offered and reviewed with.
TEST_F(ReviewPanelTest, AnUnusableProfileFolderIsSaidOnce) {
    ReviewPanel& review = *window->reviewPanel;
    fs::remove_all(ProfileFolderPath());
    fs::create_directories(ProfileFolderPath().parent_path());
    std::ofstream(ProfileFolderPath()) << "not a folder\n";
    review.reloadProfiles();
    ASSERT_TRUE(review.choose("vaccine-refrigerator"));
    ASSERT_TRUE(review.choose("frozen-food"));
    ASSERT_TRUE(review.result().has_value());
    const QStringList said = review.problemsLabel()->text().split('\n');
    ASSERT_EQ(said.size(), 2) << review.problemsLabel()->text().toStdString();
    EXPECT_TRUE(said[0].startsWith("The profile folder ")) << said[0].toStdString();
    EXPECT_TRUE(said[1].startsWith("The card's profile cannot be remembered"))
        << said[1].toStdString();
    EXPECT_TRUE(recorder.errors().empty());
}

TEST_F(ReviewPanelTest, TimesFollowTheWindowsTimeBase) {
    ReviewPanel& review = *window->reviewPanel;
    ASSERT_TRUE(review.choose("refrigerated-2-8"));
    // A zone chosen after the profile rewrites the panel and the status bar; one chosen before
    // it is used from the start.
    ASSERT_TRUE(window->timeBase->choose("Europe/Berlin"));
    EXPECT_EQ(review.rulesTable()->item(0, 2)->text(), "07 JAN 14 12:36 CET");
    EXPECT_EQ(review.excursionsTable()->item(1, 1)->text(), "07 JAN 14 12:30 CET");
    EXPECT_EQ(review.excursionsTable()->item(1, 2)->text(), "07 JAN 14 12:48 CET");
    EXPECT_EQ(review.verdictLabel()->text(),
              QString::fromUtf8(" ALARM: >8.0 \u00b0C, triggered 07 JAN 14 11:06 CET "));
    ASSERT_TRUE(review.choose(""));
    ASSERT_TRUE(window->timeBase->choose("America/St_Johns"));
    ASSERT_TRUE(review.choose("refrigerated-2-8"));
    EXPECT_EQ(review.rulesTable()->item(0, 2)->text(), "07 JAN 14 08:06 NST");
    // The chart's lines survive the chart being refilled for the zone.
    EXPECT_EQ(lineLevels(), (std::vector<double>{2.0, 2.0, 8.0, 8.0}));
    // Back to the card's clock: the times as they always were.
    ASSERT_TRUE(window->timeBase->choose("UTC (card clock)"));
    EXPECT_EQ(review.rulesTable()->item(0, 2)->text(), "07 JAN 14 11:36");
    EXPECT_EQ(review.verdictLabel()->text(),
              QString::fromUtf8(" ALARM: >8.0 \u00b0C, triggered 07 JAN 14 10:06 "));
    EXPECT_TRUE(recorder.errors().empty());
}

}  // namespace
}  // namespace halvik::testing
