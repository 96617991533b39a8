// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "download/CardParse.h"
#include "logger/DownloadState.h"
#include "logger/LocaleSettings.h"
#include "logger/Reading.h"
#include "views/CellStore.h"

namespace halvik {

// What the window shows of the card and the download at each step.
struct DownloadView {
    std::string connection = "Not Connected";  // status bar panel 1
    std::string status;                        // Label10: "Please Wait", "Downloaded", ...
    int progress = 0;                          // 0..100: share of the reading bytes received
    bool busy = false;                         // the hourglass cursor
    bool downloadEnabled = false;              // DOWNLOAD
    bool resultsEnabled = false;               // print, copy, zoom and report buttons
    bool unitEnabled = true;                   // the °C / °F choice
};

enum class DownloadPhase {
    Idle,        // no download started, or an empty card
    Staging,     // DOWNLOAD pressed, reading bytes arriving
    Downloaded,  // every reading arrived and is shown
    Incomplete,  // the card stopped sending or went away: what arrived is shown
    Failed,      // the parse failed (nothing is shown as a result)
};

// A download that ended, with everything needed to show it again.
struct DownloadEnd {
    bool complete = false;
    int announced = 0;  // readings the header announced
    int received = 0;   // readings that arrived whole and are shown
    TemperatureUnit unit = TemperatureUnit::Celsius;
    std::vector<std::uint8_t> header;    // the header report: report ID, then its data bytes
    std::vector<std::uint8_t> readings;  // every byte received after DOWNLOAD, as it came
    std::string reason;                  // why it is incomplete; empty when complete
};

// The download from DOWNLOAD to "Downloaded", without a window: which report is a header and
// which are readings, when the readings are complete (2 x N bytes, or the card stopped sending,
// or it went away), the parse into the grid's cell store, and what the window shows at each
// step. The window (and halvik-cli) owns the card and a timer, tells the flow what happened and
// shows what the flow hands to its Sink. Everything runs on one thread.
class DownloadFlow {
  public:
    // What the flow needs done by its owner.
    class Sink {
      public:
        virtual ~Sink() = default;
        // Writes a command to the card. False, with the reason, when the card did not take it.
        virtual bool SendCommand(std::uint8_t command, std::string& reason) = 0;
        // A header report was applied (grid Date/Time columns and the header texts are written).
        virtual void ShowHeader(const HeaderResult& header) = 0;
        // The readings were parsed into the grid; points and statistics are for chart and labels.
        virtual void ShowReadings(const ParseResult& result) = 0;
        // The controls' state changed.
        virtual void ShowView(const DownloadView& view) = 0;
        // A sentence for the user (the error box in the window).
        virtual void ShowProblem(const std::string& message) = 0;
        // A download ended (complete or not); its bytes are worth keeping.
        virtual void DownloadEnded(const DownloadEnd& end) = 0;
    };

    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // No report for this long before every reading byte came ends the download as incomplete.
    // A card on USB full speed sends a report every millisecond; two seconds of silence is a card
    // that stopped, not a slow one, and the user is not kept waiting.
    static constexpr std::chrono::milliseconds kStallTime{2000};
    // How often the owner should call Tick() while a download runs.
    static constexpr int kTickMs = 100;
    // The message of a card listed but not open to this user.
    static constexpr const char* kNoCardAccessMessage =
        "The logger card is plugged in, but this user may not read from it or write to it. "
        "Install Halvik's udev rule (packaging/70-halvik-logger.rules, see the README), then plug "
        "the card in again.";

    // `locale` (the texts' decimal and time separators and month names) is read at each step and
    // must outlive the flow, as must the state, the grid and the sink.
    DownloadFlow(DownloadState& state, CellStore& grid, const LocaleSettings& locale, Sink& sink,
                 Clock clock = {});

    // The card is there (checked out, or still present after a device-list change). Asks for its
    // header unless a download is running on it (`stayed`: the same card as before). Returns true
    // when the header command went out: the header handler should now receive its reports.
    bool CardConnected(bool stayed, bool accessible);
    // The card is gone: a running download ends with what arrived.
    void CardGone();
    // The card's reader failed for `reason` (words for the user) while the card stays plugged
    // in: a running download ends with what arrived; otherwise the user is told.
    void CardStoppedAnswering(const std::string& reason);

    // An input report while waiting for the header.
    void HeaderReport(std::uint8_t reportId, const std::uint8_t* data, std::size_t size);
    // An input report after DOWNLOAD.
    void ReadingReport(std::uint8_t reportId, const std::uint8_t* data, std::size_t size);

    // DOWNLOAD. Throws LoggerError ("'' is not a valid integer value") before any header, and a
    // runtime_error while the header's answer is still on its way; nothing changes then. Returns
    // true when the card was asked for its readings: they should now go to ReadingReport.
    bool Download(TemperatureUnit unit);

    // The owner's timer, every kTickMs while TicksWanted(): the stall watch and the outer bound.
    void Tick();
    bool TicksWanted() const { return phase_ == DownloadPhase::Staging; }

    // Shows kept bytes again (a reopened record) exactly as if they had just arrived.
    void ShowKept(const std::vector<std::uint8_t>& header,
                  const std::vector<std::uint8_t>& readings, TemperatureUnit unit);

    DownloadPhase Phase() const { return phase_; }
    const DownloadView& View() const { return view_; }
    TemperatureUnit Unit() const { return unit_; }
    bool AwaitingHeader() const { return awaitingHeader_; }
    std::size_t ExpectedBytes() const;
    std::size_t ReceivedBytes() const { return received_.size(); }

  private:
    std::chrono::steady_clock::time_point Now() const;
    void Publish();
    // Parses what arrived and shows it; `keep`: hand the download to DownloadEnded.
    void Finish(bool complete, const std::string& reason, bool keep = true);

    DownloadState& state_;
    CellStore& grid_;
    const LocaleSettings& locale_;
    Sink& sink_;
    Clock clock_;
    DownloadView view_;
    DownloadPhase phase_ = DownloadPhase::Idle;
    TemperatureUnit unit_ = TemperatureUnit::Celsius;
    bool cardPresent_ = false;
    bool awaitingHeader_ = false;
    bool resultsShown_ = false;                // the grid, chart and statistics show a download
    std::vector<std::uint8_t> header_;         // the header report in force
    std::vector<std::uint8_t> pendingHeader_;  // another card's header, applied at DOWNLOAD
    std::vector<std::uint8_t> problemHeader_;  // the last header whose problem was shown
    std::vector<std::uint8_t> received_;       // reading bytes of this download, as they came
    std::chrono::steady_clock::time_point lastReport_{};
    std::chrono::steady_clock::time_point deadline_{};
};

}  // namespace halvik
