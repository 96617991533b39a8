// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/widgets/UserMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace halvik {

namespace {
QString boxTitle() {
    const QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Halvik") : name;
}
}  // namespace

void QtUserMessages::information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, boxTitle(), text, QMessageBox::Ok);
}

void QtUserMessages::error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, boxTitle(), text, QMessageBox::Ok);
}

UserMessages& defaultUserMessages() {
    static QtUserMessages messages;
    return messages;
}

}  // namespace halvik
