// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "download/DownloadFlow.h"
#include "timebase/TimeBase.h"

class QComboBox;
class QLabel;

namespace halvik {

class TForm3;

// The window's time base: a chooser above the readings table ("UTC (card clock)", this
// computer's zone, or any zone by name) and everything that follows it: the grid's Date and
// Time columns, the chart's labels, Start/Stop Date&Time and Label22. The elapsed time, the
// readings and the record stay as they are: only the clock they are read in changes. The choice
// is remembered in halvik.conf under the user's configuration folder. With UTC chosen every
// text is the window's own.
class TimeBaseChooser : public QObject {
    Q_OBJECT
  public:
    explicit TimeBaseChooser(TForm3& window);

    const TimeBase& base() const { return base_; }
    QComboBox* combo() const { return combo_; }

    // Chooses a time base by the name a user types or picks: an entry's text, "local", or a
    // zone name. An unknown name, or a zone without zone data, is refused in the error box
    // (with how to find the names) and the previous choice stays. Returns whether it was taken.
    bool choose(const QString& name);
    // Shows `base` for this run only, leaving the remembered choice alone (reports written
    // for halvik-cli take the card's clock, whatever the user chose in the window).
    void useForThisRun(const TimeBase& base);

    // The window's hooks: a header was applied to the grid (its Date and Time columns are the
    // card's clock); readings were parsed (their chart points are returned with labels in the
    // time base).
    void headerShown();
    std::vector<ChartPoint> readingsShown(const ParseResult& result);

    // The settings file the choice is kept in ($XDG_CONFIG_HOME/halvik/halvik.conf).
    static QString settingsFile();

  signals:
    // Every shown time was rewritten for a new time base.
    void changed();

  private:
    void fillEntries();
    void showChoice();
    void remember() const;
    void restore();
    // Rewrites every shown time for the time base.
    void apply();
    void applyToGrid();
    void applyCaption();
    // The parse's chart points with their labels in the time base.
    std::vector<ChartPoint> localPoints() const;

    TForm3& window_;
    QComboBox* combo_;
    QLabel* caption_;
    TimeBase base_;
    std::vector<ChartPoint> points_;  // the chart's points as the parse made them
    bool statisticsShown_ = false;
};

}  // namespace halvik
