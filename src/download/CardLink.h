// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// The words for a read error of the card's reader (an errno-style code), never in the user's
// language: they end up in kept records.
std::string ReadErrorText(std::uint32_t error);

// A checked-out card. Letting go of it (reset, or the holder's end) stops its reader and gives it
// back to its controller, which destroys it when it was unplugged; nobody deletes it by hand.
class HeldCard {
  public:
    HeldCard() = default;
    ~HeldCard() { reset(); }
    HeldCard(const HeldCard&) = delete;
    HeldCard& operator=(const HeldCard&) = delete;

    // Checks out the listed device at `index`, after letting go of the one held; true when it is
    // held now.
    bool checkOut(THidDeviceController& controller, std::int32_t index);
    void reset();

    THidDevice* get() const { return card_; }
    THidDevice* operator->() const { return card_; }
    explicit operator bool() const { return card_ != nullptr; }

  private:
    THidDeviceController* controller_ = nullptr;
    THidDevice* card_ = nullptr;
};

// The link between the logger card and a DownloadFlow, the same in the window and in halvik-cli:
// it owns the device controller and the checked-out card, sends the card's reports to the flow's
// header or reading handler, tells the flow when the card comes, stays or goes, and when its
// reader fails. The owner turns its event loop into calls on it: the change notification fd
// when readable, and Tick() every DownloadFlow::kTickMs while TicksWanted(). Everything runs on
// the thread of `mainThread`; the platform, the hand-over and the flow must outlive the link.
class CardLink {
  public:
    enum class Choice {
        // The first logger card listed is taken as it comes, and the next one when it goes
        // (the window).
        FirstCard,
        // Only the card the owner names with Connect (halvik-cli, where several may be plugged).
        NamedCard,
    };

    // A logger card present on the machine.
    struct Card {
        std::string path;  // device node (/dev/hidrawN) or the in-memory platform's path
        bool accessible = false;
    };

    // The controller queues its first device-list rebuild on `mainThread`: the card comes when
    // the owner first runs the hand-over's calls.
    CardLink(IHidPlatform& platform, IMainThread& mainThread, DownloadFlow& flow, Choice choice);
    ~CardLink();
    CardLink(const CardLink&) = delete;
    CardLink& operator=(const CardLink&) = delete;

    // Called after each device-list change was handled (may be empty).
    std::function<void()> changed;

    // The platform's change notification: -1 when there is none to watch.
    int NotificationFd() const { return controller_->NotificationFd(); }
    void HandleNotification();

    // The logger cards present now, in the platform's order.
    std::vector<Card> Cards() const;
    // Checks out the card at `path`, or the only card when `path` is empty, and asks for its
    // header. Throws std::runtime_error naming the reason: no card, several cards and none named
    // (the message lists them), no card at that path, or a card this user may not open.
    void Connect(const std::string& path = {});
    // Gives the card back.
    void Disconnect();
    // Gives the card back and leaves every later device-list change alone (the owner is going).
    void Close();
    // Tells the flow about the card held now (or that there is none) as if it had just come.
    void Announce() { CardChanged(false); }
    bool HasCard() const { return static_cast<bool>(card_); }

    // DOWNLOAD: the flow's Download, then the card's reports go to the reading handler. Throws as
    // DownloadFlow::Download does.
    bool Download(TemperatureUnit unit);
    void Tick() { flow_.Tick(); }
    bool TicksWanted() const { return flow_.TicksWanted(); }

    // The flow's Sink::SendCommand: writes `command` to the card held.
    bool SendCommand(std::uint8_t command, std::string& reason);

  private:
    void DeviceChanged();
    void CardChanged(bool stayed);
    void Listen();
    void ReadFailed(std::uint32_t error);

    DownloadFlow& flow_;
    const Choice choice_;
    std::unique_ptr<THidDeviceController> controller_;
    HeldCard card_;
    // Reports go to the reading handler: from DOWNLOAD until the card is next asked for its
    // header, so the tail of a stream never passes for a header.
    bool readings_ = false;
    bool closed_ = false;
};

}  // namespace halvik
