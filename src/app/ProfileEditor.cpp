// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProfileEditor.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace halvik {

namespace {

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Text(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

}  // namespace

ProfileEditor::ProfileEditor(QWidget* parent, const ProfileDraft& start, std::filesystem::path file,
                             std::vector<NamedProfile> others, std::filesystem::path folder)
    : QDialog(parent),
      file_(std::move(file)),
      others_(std::move(others)),
      folder_(std::move(folder)),
      name_(new QLineEdit(Utf8(start.name), this)),
      low_(new QLineEdit(Utf8(start.low), this)),
      high_(new QLineEdit(Utf8(start.high), this)),
      rules_(new QPlainTextEdit(Utf8(start.rules), this)),
      message_(new QLabel(this)),
      save_(nullptr) {
    setObjectName("ProfileEditor");
    setWindowTitle(file_.empty() ? "New limit profile" : "Edit limit profile");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_->setObjectName("ProfileName");
    low_->setObjectName("ProfileLow");
    high_->setObjectName("ProfileHigh");
    rules_->setObjectName("ProfileRules");
    low_->setPlaceholderText("open");
    high_->setPlaceholderText("open");
    const QString temperatureTip =
        "In \u00b0C, or in \u00b0F written with F after it (35.6F). Empty: the range is open at "
        "this end.";
    low_->setToolTip(temperatureTip);
    high_->setToolTip(temperatureTip);
    form->addRow("Name:", name_);
    form->addRow("Range low end:", low_);
    form->addRow("Range high end:", high_);
    layout->addLayout(form);
    auto* help = new QLabel(
        "Alarm rules, one a line. A comparison with a threshold in \u00b0C (or F after it), then "
        "\"for\" and the minutes one unbroken run must last, or \"total\" and the minutes all "
        "readings together must reach; no delay: any one reading.\n"
        "Examples:  >8 for 30min    >=30 total 10h    <=-0.5 for 60min    >8    mkt>25",
        this);
    help->setWordWrap(true);
    layout->addWidget(help);
    rules_->setTabChangesFocus(true);
    rules_->setMinimumHeight(120);
    layout->addWidget(rules_, 1);
    message_->setObjectName("ProfileMessage");
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    layout->addWidget(message_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    save_ = buttons->button(QDialogButtonBox::Save);
    layout->addWidget(buttons);
    resize(520, 420);

    connect(buttons, &QDialogButtonBox::accepted, this, [this] { save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QLineEdit* edit : {name_, low_, high_})
        connect(edit, &QLineEdit::textChanged, this, [this] { recheck(); });
    connect(rules_, &QPlainTextEdit::textChanged, this, [this] { recheck(); });
    recheck();
}

ProfileDraft ProfileEditor::draft() const {
    return {Text(name_->text()), Text(low_->text()), Text(high_->text()),
            Text(rules_->toPlainText())};
}

void ProfileEditor::recheck() {
    check_ = CheckProfileDraft(draft(), others_, file_);
    save_->setEnabled(check_.profile.has_value());
    if (check_.profile) {
        const std::size_t rules = check_.profile->rules.size();
        message_->setStyleSheet("color: #006000");
        message_->setText(rules == 0   ? QString("No alarm rules: the review shows the range only.")
                          : rules == 1 ? QString("1 alarm rule.")
                                       : QString("%1 alarm rules.").arg(rules));
    } else {
        message_->setStyleSheet("color: #c00000");
        message_->setText(Utf8(check_.problem));
    }
    // The rule that does not read is underlined from where the reading stopped.
    QList<QTextEdit::ExtraSelection> marks;
    if (check_.rulesLine > 0) {
        const QTextBlock block = rules_->document()->findBlockByNumber(check_.rulesLine - 1);
        if (block.isValid()) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(block);
            const int length = block.length() - 1;  // without the line's end
            int from = std::clamp(static_cast<int>(check_.rulesPosition) - 1, 0, length);
            if (from == length && from > 0)
                --from;  // reading stopped at the end: the last character
            mark.cursor.setPosition(block.position() + from);
            mark.cursor.setPosition(block.position() + length, QTextCursor::KeepAnchor);
            mark.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            mark.format.setUnderlineColor(QColor(200, 0, 0));
            marks.append(mark);
        }
    }
    rules_->setExtraSelections(marks);
}

bool ProfileEditor::save() {
    recheck();
    if (!check_.profile)
        return false;
    try {
        SaveProfile(folder_, *check_.profile,
                    file_.empty() ? std::nullopt : std::optional<std::filesystem::path>(file_));
    } catch (const ProfileError& e) {
        // Kept open with what the user typed: nothing is lost, and the reason is where they look.
        message_->setStyleSheet("color: #c00000");
        message_->setText("Not saved: " + Utf8(e.what()));
        return false;
    }
    emit saved(Utf8(check_.profile->name));
    accept();
    return true;
}

}  // namespace halvik
