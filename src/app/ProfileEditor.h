// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>
#include <vector>

#include "review/Profiles.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace halvik {

// The editor of one of the user's limit profiles: its name, its range (either end may be left
// empty) and its rules, one a line. Every change is checked as it is typed: the first problem is
// shown under the fields (a rule's with its line and position, the place underlined) and Save
// stays disabled until there is none. Save writes the profile file: over the file being edited,
// or a new file for a new profile, never over anything else.
class ProfileEditor : public QDialog {
    Q_OBJECT
  public:
    // Edits `start`. `file` is the user's file it was read from, or empty for a new profile (a
    // new one, or a copy of a preset or another profile); `others` are the profiles on offer,
    // whose names it may not take; `folder` is where a new profile's file goes.
    ProfileEditor(QWidget* parent, const ProfileDraft& start, std::filesystem::path file,
                  std::vector<NamedProfile> others, std::filesystem::path folder);

    // What the fields hold, and whether (and why not) it can be saved.
    ProfileDraft draft() const;
    const DraftCheck& check() const { return check_; }
    // Saves and closes the editor; false, with the reason shown and nothing closed, when the
    // profile cannot be saved or the file cannot be written.
    bool save();

    QLineEdit* nameEdit() const { return name_; }
    QLineEdit* lowEdit() const { return low_; }
    QLineEdit* highEdit() const { return high_; }
    QPlainTextEdit* rulesEdit() const { return rules_; }
    QLabel* messageLabel() const { return message_; }
    QPushButton* saveButton() const { return save_; }

  signals:
    // The profile was saved under this name.
    void saved(const QString& name);

  private:
    void recheck();

    std::filesystem::path file_;
    std::vector<NamedProfile> others_;
    std::filesystem::path folder_;
    QLineEdit* name_;
    QLineEdit* low_;
    QLineEdit* high_;
    QPlainTextEdit* rules_;
    QLabel* message_;
    QPushButton* save_;
    DraftCheck check_;
};

}  // namespace halvik
