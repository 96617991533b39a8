// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "devicelink/HidPlatform.h"
#include "devicelink/MainThread.h"
#include "download/CardLink.h"
#include "download/DownloadFlow.h"

namespace halvik {

// A logger card and its download without a window, for halvik-cli, the benchmarks and tests: the
// card link and its DownloadFlow, with a loop of its own standing in
// for the window's event loop. The thread that creates the session is its main thread; it drives
// everything through the calls below, which pump the reader hand-over, the device notifications
// and the flow's ticks.
class CardSession : private DownloadFlow::Sink {
  public:
    using Card = CardLink::Card;

    // What the owner wants to hear of; every hook may be empty.
    struct Hooks {
        std::function<void(const DownloadView&)> view;
        std::function<void(const std::string&)> problem;
    };

    // `clock` is the flow's clock (its stall watch and outer bound); tests may give their own.
    // With CardLink::Choice::FirstCard the session takes the first card as the window does, and
    // Connect is not needed.
    CardSession(IHidPlatform& platform, const LocaleSettings& locale,
                DownloadFlow::Clock clock = {},
                CardLink::Choice choice = CardLink::Choice::NamedCard);
    ~CardSession() override;
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    Hooks hooks;

    // The logger cards present now, in the platform's order.
    std::vector<Card> Cards() const { return link_.Cards(); }
    // As CardLink::Connect: the card at `path`, or the only one; throws naming the reason.
    void Connect(const std::string& path = {});
    // Gives the card back.
    void Disconnect() { link_.Disconnect(); }
    // Pumps until the card's header was applied; false when it did not come in `timeout`.
    bool WaitForHeader(std::chrono::milliseconds timeout);
    // DOWNLOAD, then pumps until the download ended. False when no download ran (an empty card,
    // or a command the card did not take: hooks.problem heard why). Throws as DownloadFlow does.
    bool DownloadAll(TemperatureUnit unit);
    // DOWNLOAD alone: true when the card was asked for its readings; Pump() then runs the
    // download on (it ends by itself: complete, stalled, card gone).
    bool StartDownload(TemperatureUnit unit);
    // Runs handed-over calls, device notifications and the flow's ticks for `duration`.
    void Pump(std::chrono::milliseconds duration);

    DownloadFlow& flow() { return flow_; }
    DownloadState& state() { return state_; }
    CellStore& grid() { return grid_; }
    // The download that ended last (empty until one did).
    const DownloadEnd& lastEnd() const { return lastEnd_; }
    bool hasEnded() const { return ended_; }

  private:
    bool SendCommand(std::uint8_t command, std::string& reason) override;
    void ShowHeader(const HeaderResult& header) override;
    void ShowReadings(const ParseResult&) override {}
    void ShowView(const DownloadView& view) override;
    void ShowProblem(const std::string& message) override;
    void DownloadEnded(const DownloadEnd& end) override;
    void PumpOnce(int waitMs);

    MainThreadQueue mainThread_;
    DownloadState state_;
    CellStore grid_;
    DownloadFlow flow_;
    CardLink link_;
    bool headerSeen_ = false;
    bool ended_ = false;
    DownloadEnd lastEnd_;
    std::chrono::steady_clock::time_point nextTick_{};
};

}  // namespace halvik
