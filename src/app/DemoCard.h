// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devicelink/sim/CardPace.h"
#include "devicelink/sim/LoggerCard.h"
#include "devicelink/sim/SimHidPlatform.h"

namespace halvik {

// The card halvik-demo holds when no card image is given: a cold store logged for six days
// (1,440 readings, one every six minutes) from 12 January 2026, 08:00. The store holds between
// 2 and 8 °C with the compressor's cycle, defrosts and the day's door openings, except for one
// excursion on the third afternoon, when a door left open takes it to about 11 °C for an hour or
// two.
std::vector<double> DemoCardTemperatures();
LoggerCardImage MakeDemoCardImage();

class TForm3;

// What halvik-demo runs: the in-memory platform with the card plugged in, and the main window
// on it (not yet shown). The card answers as fast as the window reads.
class DemoSession {
  public:
    explicit DemoSession(LoggerCardImage image, DemoPace pace = {});
    ~DemoSession();
    DemoSession(const DemoSession&) = delete;
    DemoSession& operator=(const DemoSession&) = delete;

    SimHidPlatform& platform() { return platform_; }
    SimLoggerCard& card() { return card_; }
    TForm3& window() { return *window_; }

  private:
    SimHidPlatform platform_;
    SimLoggerCard card_;
    std::unique_ptr<TForm3> window_;
};

}  // namespace halvik
