// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "views/CellStore.h"
#include "views/widgets/Clipboard.h"
#include "views/widgets/UserMessages.h"

namespace halvik::test {

// Records the messages instead of showing modal boxes.
class RecordingMessages : public UserMessages {
  public:
    struct Message {
        bool error = false;
        QString text;
    };
    void information(QWidget*, const QString& text) override { shown.push_back({false, text}); }
    void error(QWidget*, const QString& text) override { shown.push_back({true, text}); }
    std::vector<Message> shown;
};

// A clipboard that another program keeps to itself.
class RefusingClipboard : public ClipboardAccess {
  public:
    void setText(const QString&) override { throw ClipboardError(QStringLiteral("held by xyz")); }
    void setImage(const QImage&) override { throw ClipboardError(QStringLiteral("held by xyz")); }
};

// The captions and `readings` rows as the window writes them; row r's temperature is r/10 °C.
inline void fillReadings(CellStore& cells, int readings) {
    cells.setCell(0, 0, " Points");
    cells.setCell(1, 0, "       Date");
    cells.setCell(2, 0, "    Time");
    cells.setCell(3, 0, "Temperature (°C)");
    for (int row = 1; row <= readings; ++row) {
        cells.setCell(0, row, std::to_string(row));
        cells.setCell(1, row, "  07 JAN  14");
        const int minutes = (row - 1) * 6;
        char time[16];
        std::snprintf(time, sizeof time, "    %02d:%02d", (minutes / 60) % 24, minutes % 60);
        cells.setCell(2, row, time);
        char temperature[32];
        std::snprintf(temperature, sizeof temperature, "            %d.%d", row / 10, row % 10);
        cells.setCell(3, row, temperature);
    }
    cells.setRowCount(readings + 1);
}

}  // namespace halvik::test
