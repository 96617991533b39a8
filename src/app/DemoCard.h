#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// How fast the demo card sends: "fast" (as fast as the window reads), "usb-fs" (one 64-byte
// report per millisecond, as on USB full speed) or "stall-after:N" (the header and the first N
// reading reports at USB full speed, then nothing).
struct DemoPace {
    SimLoggerCard::Pace pace = SimLoggerCard::Pace::AsFastAsRead;
    std::size_t readingReportLimit = SIZE_MAX;
};
// Reads a pace text; std::nullopt when it is none of the above.
std::optional<DemoPace> ParseDemoPace(const std::string& text);

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
