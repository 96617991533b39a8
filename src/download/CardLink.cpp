// SPDX-License-Identifier: GPL-3.0-or-later
#include "download/CardLink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "logger/CardIdentity.h"

namespace halvik {

namespace {

bool IsLoggerCard(const THidDevice& device) {
    return device.Attributes().VendorID == kCardVendorId &&
           device.Attributes().ProductID == kCardProductId;
}

// Errors of a card that has gone: the platform's change notice follows, and the download ends
// as unplugged then.
bool CardGoneError(std::uint32_t error) {
    return error == ENODEV || error == ENOENT || error == ENXIO || error == EIO ||
           error == ESHUTDOWN;
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

std::string ReadErrorText(std::uint32_t error) {
    // strerrordesc_np gives the English text whatever the locale; strerror would follow it.
    const char* text = error <= 4095 ? strerrordesc_np(static_cast<int>(error)) : nullptr;
    return text != nullptr ? std::string(text) : "read error " + std::to_string(error);
}

// ---- The held card ----

bool HeldCard::checkOut(THidDeviceController& controller, std::int32_t index) {
    reset();
    controller_ = &controller;
    return controller.CheckOutByIndex(card_, index);
}

void HeldCard::reset() {
    if (card_ == nullptr)
        return;
    card_->SetOnData({});
    card_->SetOnDataError({});
    controller_->CheckIn(card_);  // clears card_; an unplugged card is destroyed
}

// ---- The link ----

CardLink::CardLink(IHidPlatform& platform, IMainThread& mainThread, DownloadFlow& flow,
                   Choice choice)
    : flow_(flow), choice_(choice) {
    controller_ = std::make_unique<THidDeviceController>(platform, mainThread);
    controller_->SetOnDeviceChange([this](THidDeviceController*) { DeviceChanged(); });
}

CardLink::~CardLink() {
    Close();
    controller_.reset();
}

void CardLink::HandleNotification() {
    if (!closed_)
        controller_->HandleNotification();
}

std::vector<CardLink::Card> CardLink::Cards() const {
    std::vector<Card> cards;
    for (std::int32_t i = 0; i < controller_->ListCount(); ++i) {
        const THidDevice* device = controller_->ListItem(i);
        if (device != nullptr && device->IsPluggedIn() && IsLoggerCard(*device))
            cards.push_back({device->PnPInfo().DevicePath(), device->HasReadWriteAccess()});
    }
    return cards;
}

void CardLink::Connect(const std::string& path) {
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
    for (std::int32_t i = 0; i < controller_->ListCount() && !card_; ++i) {
        const THidDevice* device = controller_->ListItem(i);
        if (device == nullptr || !device->IsPluggedIn() || !IsLoggerCard(*device))
            continue;
        if (path.empty() || device->PnPInfo().DevicePath() == path)
            card_.checkOut(*controller_, i);
    }
    if (!card_)
        throw std::runtime_error(path + ": no logger card there");
    if (!card_->HasReadWriteAccess()) {
        const std::string where = card_->PnPInfo().DevicePath();
        Disconnect();
        throw std::runtime_error(where + ": " + DownloadFlow::kNoCardAccessMessage);
    }
    CardChanged(false);
}

void CardLink::Disconnect() {
    card_.reset();
    readings_ = false;
}

void CardLink::Close() {
    closed_ = true;
    Disconnect();
}

void CardLink::DeviceChanged() {
    if (closed_)
        return;
    const bool held = static_cast<bool>(card_);
    const bool stayed = held && card_->IsPluggedIn();
    if (held && !stayed)
        card_.reset();
    if (!card_ && choice_ == Choice::FirstCard) {
        for (std::int32_t i = 0; i < controller_->ListCount() && !card_; ++i) {
            const THidDevice* device = controller_->ListItem(i);
            if (device != nullptr && device->IsPluggedIn() && IsLoggerCard(*device))
                card_.checkOut(*controller_, i);
        }
    }
    // A named card that went is not replaced: the owner names the next one.
    if (card_ || held || choice_ == Choice::FirstCard)
        CardChanged(stayed);
    if (changed)
        changed();
}

void CardLink::CardChanged(bool stayed) {
    if (!card_) {
        readings_ = false;
        flow_.CardGone();
        return;
    }
    // Without the udev rule the card's node belongs to root: the card is listed, but commands
    // and readings cannot pass; the flow says so instead of waiting for a header.
    if (flow_.CardConnected(stayed, card_->HasReadWriteAccess())) {
        readings_ = false;
        Listen();
    }
}

void CardLink::Listen() {
    card_->SetOnDataError([this](THidDevice*, std::uint32_t error) { ReadFailed(error); });
    // Setting the handler (again) starts the reader when it is not running.
    card_->SetOnData([this](THidDevice*, uint8_t reportId, const uint8_t* data, uint16_t size) {
        if (readings_)
            flow_.ReadingReport(reportId, data, size);
        else
            flow_.HeaderReport(reportId, data, size);
    });
}

void CardLink::ReadFailed(std::uint32_t error) {
    if (closed_ || !card_ || CardGoneError(error))
        return;
    // A reader that fails once fails again at once: it stops until the card is asked for
    // something anew (DOWNLOAD again, or the card plugged in again).
    card_->SetOnData({});
    readings_ = false;
    flow_.CardStoppedAnswering(ReadErrorText(error));
}

bool CardLink::Download(TemperatureUnit unit) {
    if (!flow_.Download(unit))
        return false;
    readings_ = true;
    if (card_)
        Listen();
    return true;
}

bool CardLink::SendCommand(std::uint8_t command, std::string& reason) {
    pic18Report report;
    std::uint32_t length = 0, written = 0;
    return WriteCommand(card_.get(), report, command, length, written, reason);
}

}  // namespace halvik
