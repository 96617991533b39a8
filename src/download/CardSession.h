// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devicelink/HidDevice.h"
#include "devicelink/HidDeviceController.h"
#include "devicelink/HidPlatform.h"
#include "devicelink/MainThread.h"
#include "download/DownloadFlow.h"
#include "logger/Command.h"

namespace halvik {

// Writes `command` to `card` as its output report (report.LEDBits set, padded or cut to the
// card's output report length, which goes to `length`; the bytes written to `written`). False,
// with the reason in words for the user, when the card did not take it or there is no card.
bool WriteCommand(THidDevice* card, pic18Report& report, std::uint8_t command,
                  std::uint32_t& length, std::uint32_t& written, std::string& reason);

// A logger card and its download without a window, for halvik-cli, the benchmarks and tests:
// the device controller over a platform, one card checked out and its reports handed to a
// DownloadFlow. The thread that creates the session is its main thread; it drives everything
// through the calls below, which pump the reader hand-over and the device notifications.
class CardSession : private DownloadFlow::Sink {
  public:
    // A logger card present on the machine.
    struct Card {
        std::string path;  // device node (/dev/hidrawN) or the in-memory platform's path
        bool accessible = false;
    };

    // What the owner wants to hear of; every hook may be empty.
    struct Hooks {
        std::function<void(const DownloadView&)> view;
        std::function<void(const std::string&)> problem;
    };

    // `clock` is the flow's clock (its stall watch and outer bound); tests may give their own.
    CardSession(IHidPlatform& platform, const LocaleSettings& locale,
                DownloadFlow::Clock clock = {});
    ~CardSession() override;
    CardSession(const CardSession&) = delete;
    CardSession& operator=(const CardSession&) = delete;

    Hooks hooks;

    // The logger cards present now, in the platform's order.
    std::vector<Card> Cards();

    // Checks out the card at `path`, or the only card when `path` is empty, and asks for its
    // header. Throws std::runtime_error naming the reason: no card, several cards and none named
    // (the message lists them), no card at that path, or a card this user may not open.
    void Connect(const std::string& path = {});
    // Gives the card back.
    void Disconnect();
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
    const ParseResult& lastParse() const { return lastParse_; }
    bool hasEnded() const { return ended_; }

  private:
    bool SendCommand(std::uint8_t command, std::string& reason) override;
    void ShowHeader(const HeaderResult& header) override;
    void ShowReadings(const ParseResult& result) override;
    void ShowView(const DownloadView& view) override;
    void ShowProblem(const std::string& message) override;
    void DownloadEnded(const DownloadEnd& end) override;
    void PumpOnce(int waitMs);
    void DeviceChanged();

    MainThreadQueue mainThread_;
    DownloadState state_;
    CellStore grid_;
    DownloadFlow flow_;
    std::unique_ptr<THidDeviceController> controller_;
    THidDevice* card_ = nullptr;
    bool reading_ = false;  // reports go to the reading handler (after DOWNLOAD)
    bool headerSeen_ = false;
    bool ended_ = false;
    DownloadEnd lastEnd_;
    ParseResult lastParse_;
    std::chrono::steady_clock::time_point nextTick_{};
};

}  // namespace halvik
