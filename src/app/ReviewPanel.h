// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "app/ProfileEditor.h"
#include "logger/Reading.h"
#include "records/Record.h"
#include "review/Profiles.h"
#include "review/Review.h"

class QAbstractSeries;
class QComboBox;
class QDialog;
class QLabel;
class QMessageBox;
class QPushButton;
class QTableWidget;
class QToolButton;

namespace halvik {

class TForm3;

// The window's limit-profile review. A button in the status bar opens the review panel (a tool
// window): the profile chooser (none, the presets, the user's profiles), the verdict, time in
// range, each rule's status and the excursions; choosing an excursion zooms the chart to it and
// selects its rows in the grid. Under a profile the chart also draws the range's ends and the
// rules' thresholds as labelled lines and marks the readings outside the range in red, and the
// status bar shows the verdict. With no profile the window is as it always was.
class ReviewPanel : public QObject {
    Q_OBJECT
  public:
    explicit ReviewPanel(TForm3& window);
    ~ReviewPanel() override;

    // A download or record is shown (its grid and chart are filled): reviews it under the
    // profile chosen. `valuesUnit` is the unit of the values the chart draws. For a download,
    // the profile its card was last reviewed with is chosen first, when there is one.
    void setShown(const Record& record, TemperatureUnit valuesUnit, bool download);
    // The chart was reset (new readings, unit switched): draws the lines again.
    void redraw();
    // A new download is starting: what was reviewed is gone.
    void clear();

    // Chooses a profile by name; empty for none. False, with the profile kept, when no profile
    // has that name.
    bool choose(const QString& name);
    // Selects excursion `index` of the list: the chart zooms to it, the grid selects its rows.
    void selectExcursion(int index);
    // Reads the user's profiles again (the chooser's list). The profile chosen stays chosen:
    // re-read when its file changed, kept as it was when its file is gone or no longer reads.
    void reloadProfiles();

    // The profile editor, opened beside the panel. Saving chooses the saved profile.
    // A new, empty profile:
    ProfileEditor* newProfile();
    // The chosen profile: a user's is edited in its file; a preset, which cannot change, is
    // offered as a copy to edit. Null when no profile is chosen.
    ProfileEditor* editChosen();
    // A copy of the chosen profile under a free name, saved as a new file.
    ProfileEditor* duplicateChosen();
    // Asks whether to delete the chosen user profile's file (the box is returned, open);
    // deleting chooses no profile. Null for a preset or no profile.
    QMessageBox* deleteChosen();

    const std::optional<ReviewResult>& result() const { return result_; }
    QString verdictText() const;

    // Inspection.
    QToolButton* button() const { return button_; }
    QDialog* panel() const { return panel_; }
    QComboBox* chooser() const { return chooser_; }
    QLabel* verdictLabel() const { return statusVerdict_; }
    QLabel* summaryLabel() const { return summary_; }
    QLabel* problemsLabel() const { return problems_; }
    QTableWidget* rulesTable() const { return rules_; }
    QTableWidget* excursionsTable() const { return excursions_; }
    QPushButton* editButton() const { return edit_; }
    QPushButton* deleteButton() const { return delete_; }
    ProfileEditor* editor() const { return editor_; }
    int chartLineCount() const { return static_cast<int>(lines_.size()); }

  private:
    void buildPanel();
    void updateButtons();
    void showProblems();
    // Cards remembered with profile `from` go with `to` (empty: forgotten); trouble said once.
    void rememberRename(const std::string& from, const std::string& to);
    void sayMemoryProblem(const ProfileError& e);
    ProfileEditor* openEditor(const ProfileDraft& draft, const std::filesystem::path& file);
    void profileSaved(const QString& name, const std::filesystem::path& file);
    void review();
    void fillPanel();
    void removeChartItems();
    void drawChartItems();
    QString timeText(int readingIndex, bool intervalEnd) const;
    double shownValue(double celsius) const;

    TForm3& window_;
    QToolButton* button_ = nullptr;
    QLabel* statusVerdict_ = nullptr;
    QDialog* panel_ = nullptr;
    QComboBox* chooser_ = nullptr;
    QLabel* verdict_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* problems_ = nullptr;
    QTableWidget* rules_ = nullptr;
    QTableWidget* excursions_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* duplicate_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPointer<ProfileEditor> editor_;

    ProfileList profiles_;
    QStringList listProblems_;  // the profile folder's, from the last reading of it
    QString memoryProblem_;     // why cards' profiles cannot be remembered, said once
    std::optional<NamedProfile> profile_;
    std::optional<Record> record_;
    std::string pid_;
    TemperatureUnit valuesUnit_ = TemperatureUnit::Celsius;
    std::optional<ReviewResult> result_;
    std::vector<QAbstractSeries*> lines_;  // on the chart: lines, their labels, the marks
    bool filling_ = false;
};

}  // namespace halvik
