// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/widgets/SystemLocale.h"

#include <QLocale>
#include <array>
#include <string>

namespace halvik {

LocaleSettings systemLocaleSettings() {
    const QLocale system = QLocale::system();
    std::array<std::string, 12> months;
    for (int month = 1; month <= 12; ++month) {
        months[static_cast<std::size_t>(month - 1)] =
            system.monthName(month, QLocale::ShortFormat).toStdString();
    }
    return LocaleSettingsOf(system.decimalPoint().toStdString(),
                            system.timeFormat(QLocale::ShortFormat).toStdString(), months);
}

}  // namespace halvik
