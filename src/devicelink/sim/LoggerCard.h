// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "devicelink/sim/SimHidPlatform.h"
#include "logger/CardIdentity.h"

namespace halvik {

// The logger card's side of the protocol: what it stores and what it sends.
//
// Card image file: bytes 0-63 are the header report's 64 data bytes exactly as the card sends
// them after the report ID; bytes from 64 on are the reading stream, two bytes per reading,
// which the card sends after command 11 in consecutive 64-byte reports, the last one padded with
// zeros.
//
// Header bytes: 0-4 PID, 5 hour, 6 minute, 7 second, 8 day, 9 month, 10 year within the century
// (the year is 2000 + this), 11-18 unused (0), 19 and 20 the number of readings (high, low byte),
// 21-63 unused (0).
// Reading bytes: exponent (bias 127), then sign bit and the seven highest mantissa bits.

class CardImageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Date and time of the first reading, as the card keeps it.
struct CardDateTime {
    int year = 2014;  // 2000 to 2255
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

using CardReading = std::array<uint8_t, 2>;

// The two bytes the card stores for a temperature in °C: the value rounded to the nearest
// representable one (eight significant bits), halves away from zero. 0 is stored as 0x00 0x00
// (2^-127, shown as 0.0). Throws CardImageError for values the format cannot hold.
CardReading EncodeReading(double celsius);
// The value of two reading bytes in °C.
double DecodeCardReading(CardReading reading);

class LoggerCardImage {
  public:
    static constexpr std::size_t kHeaderSize = 64;
    static constexpr std::size_t kReportSize = 64;

    LoggerCardImage() = default;

    // Builds the image of a card: header bytes from the PID, the first reading's date and time
    // and the number of readings, then the readings. Throws CardImageError for a date-time field
    // outside its range or more than 65535 readings.
    static LoggerCardImage Make(const std::array<uint8_t, 5>& pid, const CardDateTime& first,
                                const std::vector<CardReading>& readings);
    // Takes the bytes of a card image file. Throws CardImageError when the file is shorter than
    // the header, its stream has an odd number of bytes, or (with `requireCountMatch`) the
    // header's reading count differs from the number of readings in the stream.
    static LoggerCardImage FromBytes(const std::vector<uint8_t>& bytes,
                                     bool requireCountMatch = true);
    // Reads a card image file; CardImageError names the file and what is wrong with it.
    static LoggerCardImage Load(const std::string& path, bool requireCountMatch = true);

    std::vector<uint8_t> Bytes() const;
    // Writes the image; CardImageError when the file cannot be written completely.
    void Save(const std::string& path) const;

    const std::array<uint8_t, kHeaderSize>& Header() const { return FHeader; }
    const std::vector<uint8_t>& Stream() const { return FStream; }
    // The reading count the header announces (high byte × 256 + low byte).
    uint32_t AnnouncedCount() const;
    std::size_t ReadingCount() const { return FStream.size() / 2; }

    // Direct access for tests that build a faulty card.
    std::array<uint8_t, kHeaderSize>& MutableHeader() { return FHeader; }
    std::vector<uint8_t>& MutableStream() { return FStream; }

  private:
    std::array<uint8_t, kHeaderSize> FHeader{};
    std::vector<uint8_t> FStream;
};

// What the card answers to commands. A command arrives as the output report's data bytes (after
// the report ID): byte 0 is the command. 22 gives the header report; 11 gives the reading stream
// as consecutive 64-byte reports (none for a card without readings); anything else gives nothing.
class LoggerCardModel {
  public:
    static constexpr uint8_t kCommandHeader = 22;
    static constexpr uint8_t kCommandReadings = 11;

    explicit LoggerCardModel(LoggerCardImage image) : FImage(std::move(image)) {}

    const LoggerCardImage& Image() const { return FImage; }
    std::vector<std::vector<uint8_t>> Answer(const uint8_t* command, std::size_t size) const;
    std::vector<uint8_t> HeaderReport() const;
    std::vector<std::vector<uint8_t>> ReadingReports() const;

  private:
    LoggerCardImage FImage;
};

// The card model served by a device of the in-memory platform (vendor and product 0x3543,
// 65-byte input and output reports, unnumbered). Its answers wait in the card's outbox and go
// out at the pace the test chooses:
//  - Pace::Manual: the test sends them with Send();
//  - Pace::AsFastAsRead: each read that finds the device's queue empty takes the next one, like
//    a card that sends while the host keeps reading;
//  - Pace::UsbFullSpeed: one report per millisecond, as a full-speed USB interrupt endpoint
//    polled every frame delivers them (a full card's 450 reports in about 0.45 s).
// A card can also be made to stop: after SetReadingReportLimit(n) it answers command 11 with its
// first n reading reports only, then sends nothing.
class SimLoggerCard {
  public:
    enum class Pace { Manual, AsFastAsRead, UsbFullSpeed };

    SimLoggerCard(SimHidPlatform& platform, LoggerCardImage image, Pace pace = Pace::AsFastAsRead);
    ~SimLoggerCard();
    SimLoggerCard(const SimLoggerCard&) = delete;
    SimLoggerCard& operator=(const SimLoggerCard&) = delete;

    // Plugs the card in (again) and returns its DeviceID; unplugs it.
    uint32_t Plug();
    void Unplug();
    uint32_t DeviceID() const;
    const LoggerCardModel& Model() const { return FModel; }

    // Moves up to `maxReports` answers from the outbox into the device's input queue; stops at the
    // first one the queue does not take. Returns the number moved.
    std::size_t Send(std::size_t maxReports = SIZE_MAX);
    // Answers command 11 with at most `reports` reading reports from now on.
    void SetReadingReportLimit(std::size_t reports);
    std::size_t Outbox() const;
    // Commands received so far, in order.
    std::vector<uint8_t> Commands() const;

  private:
    struct Shared;
    void StartSender();
    void StopSender();
    SimHidPlatform& FPlatform;
    LoggerCardModel FModel;
    Pace FPace;
    std::shared_ptr<Shared> S;
    std::thread FSender;  // Pace::UsbFullSpeed: sends one report per millisecond
};

}  // namespace halvik
