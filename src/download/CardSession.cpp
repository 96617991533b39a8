// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/CardSession.h"

#include <algorithm>

#include <poll.h>

#include <stdexcept>

#include "logger/CardIdentity.h"
#include "logger/Command.h"

namespace halvik {

namespace {

bool IsLoggerCard(THidDevice& device) {
    return device.Attributes().VendorID == kCardVendorId &&
           device.Attributes().ProductID == kCardProductId;
}

}  // namespace

bool WriteCommand(THidDevice* card, pic18Report& report, std::uint8_t command,
                  std::uint32_t& length, std::uint32_t& written, std::string& reason) {
    written = 0;
    if (card == nullptr) {
        reason = "the card is not connected";
        return false;
    }
    report.LEDBits = command;
    length = card->Caps().OutputReportByteLength;
    const std::vector<uint8_t> bytes = CommandBytes(report, length);
    if (card->WriteFile(bytes.data(), static_cast<std::uint32_t>(bytes.size()), written))
        return true;
    if (!card->IsPluggedIn())
        reason = "the card was unplugged";
    else if (!card->HasReadWriteAccess())
        reason = "this user may not write to the card (see the udev rule in the README)";
    else if (length == 0)
        reason = "the card's report descriptor gives no output report";
    else
        reason = "the system refused the write";
    return false;
}

CardSession::CardSession(IHidPlatform& platform, const LocaleSettings& locale,
                         DownloadFlow::Clock clock)
    : flow_(state_, grid_, locale, *this, std::move(clock)) {
    controller_ = std::make_unique<THidDeviceController>(platform, mainThread_);
    controller_->SetOnDeviceChange([this](THidDeviceController*) { DeviceChanged(); });
    mainThread_.RunPending();  // the controller's first rebuild
}

CardSession::~CardSession() {
    Disconnect();
    controller_.reset();
}

std::vector<CardSession::Card> CardSession::Cards() {
    std::vector<Card> cards;
    for (int32_t i = 0; i < controller_->ListCount(); ++i) {
        THidDevice* device = controller_->ListItem(i);
        if (device != nullptr && device->IsPluggedIn() && IsLoggerCard(*device))
            cards.push_back({device->PnPInfo().DevicePath(), device->HasReadWriteAccess()});
    }
    return cards;
}

void CardSession::Connect(const std::string& path) {
    Disconnect();
    const std::vector<Card> cards = Cards();
    // A named node that is no card's (a typo, /etc/passwd) is said as such, before whether any
    // card is plugged in.
    if (!path.empty() && std::none_of(cards.begin(), cards.end(),
                                      [&path](const Card& card) { return card.path == path; }))
        throw std::runtime_error(path + ": not a logger card" +
                                 (cards.empty() ? "; no logger card is plugged in" : ""));
    if (cards.empty())
        throw std::runtime_error("no logger card is plugged in");
    if (path.empty() && cards.size() > 1) {
        std::string message = "several logger cards are plugged in; name one with --card:";
        for (const Card& card : cards)
            message += "\n  " + card.path;
        throw std::runtime_error(message);
    }
    for (int32_t i = 0; i < controller_->ListCount() && card_ == nullptr; ++i) {
        THidDevice* device = controller_->ListItem(i);
        if (device == nullptr || !device->IsPluggedIn() || !IsLoggerCard(*device))
            continue;
        if (path.empty() || device->PnPInfo().DevicePath() == path)
            controller_->CheckOutByIndex(card_, i);
    }
    if (card_ == nullptr)
        throw std::runtime_error(path + ": no logger card there");
    if (!card_->HasReadWriteAccess()) {
        const std::string where = card_->PnPInfo().DevicePath();
        Disconnect();
        throw std::runtime_error(where + ": " + DownloadFlow::kNoCardAccessMessage);
    }
    reading_ = false;
    headerSeen_ = false;
    card_->SetOnData([this](THidDevice*, uint8_t reportId, const uint8_t* data, uint16_t size) {
        if (reading_) {
            flow_.ReadingReport(reportId, data, size);
        } else {
            flow_.HeaderReport(reportId, data, size);
            headerSeen_ = !flow_.AwaitingHeader() && !state_.RecordCountText.empty();
        }
    });
    flow_.CardConnected(false, true);
}

void CardSession::Disconnect() {
    if (card_ == nullptr)
        return;
    card_->SetOnData({});
    controller_->CheckIn(card_);
    card_ = nullptr;
}

void CardSession::DeviceChanged() {
    if (card_ != nullptr && !card_->IsPluggedIn()) {
        card_->SetOnData({});
        THidDevice* gone = card_;
        card_ = nullptr;
        delete gone;
        flow_.CardGone();
    }
}

void CardSession::PumpOnce(int waitMs) {
    mainThread_.RunPendingFor(waitMs);
    const int fd = controller_->NotificationFd();
    if (fd >= 0) {
        pollfd watch{fd, POLLIN, 0};
        while (::poll(&watch, 1, 0) > 0 && (watch.revents & POLLIN) != 0)
            controller_->HandleNotification();
    }
    const auto now = std::chrono::steady_clock::now();
    if (flow_.TicksWanted() && now >= nextTick_) {
        nextTick_ = now + std::chrono::milliseconds(DownloadFlow::kTickMs);
        flow_.Tick();
    }
}

void CardSession::Pump(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline)
        PumpOnce(2);
}

bool CardSession::WaitForHeader(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!headerSeen_ && card_ != nullptr && std::chrono::steady_clock::now() < deadline)
        PumpOnce(2);
    return headerSeen_;
}

bool CardSession::StartDownload(TemperatureUnit unit) {
    ended_ = false;
    if (!flow_.Download(unit))
        return false;
    reading_ = flow_.TicksWanted();
    nextTick_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(DownloadFlow::kTickMs);
    return true;
}

bool CardSession::DownloadAll(TemperatureUnit unit) {
    if (!StartDownload(unit))
        return false;
    while (flow_.TicksWanted())
        PumpOnce(1);
    return ended_;
}

// ---- What the flow asks for ----

bool CardSession::SendCommand(std::uint8_t command, std::string& reason) {
    pic18Report report;
    std::uint32_t length = 0, written = 0;
    return WriteCommand(card_, report, command, length, written, reason);
}

void CardSession::ShowHeader(const HeaderResult&) {}

void CardSession::ShowReadings(const ParseResult& result) {
    lastParse_ = result;
}

void CardSession::ShowView(const DownloadView& view) {
    if (hooks.view)
        hooks.view(view);
}

void CardSession::ShowProblem(const std::string& message) {
    if (hooks.problem)
        hooks.problem(message);
}

void CardSession::DownloadEnded(const DownloadEnd& end) {
    lastEnd_ = end;
    ended_ = true;
    reading_ = false;  // what the card sends now is an answer to the next command
}

}  // namespace halvik
