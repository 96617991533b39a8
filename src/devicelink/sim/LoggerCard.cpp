// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicelink/sim/LoggerCard.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace halvik {

namespace {

constexpr std::size_t kCountHigh = 19;
constexpr std::size_t kCountLow = 20;

std::string Describe(const std::string& path, const std::string& what) {
    return "Card image " + path + ": " + what;
}

}  // namespace

CardReading EncodeReading(double celsius) {
    if (!std::isfinite(celsius))
        throw CardImageError("a reading must be a finite number");
    const bool negative = std::signbit(celsius);
    const double magnitude = std::fabs(celsius);
    if (magnitude < std::ldexp(1.0, -127))
        return {0x00, 0x00};
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction × 2^exponent
    int e = exponent - 1;                                      // magnitude = (2 × fraction) × 2^e
    long mantissa = std::lround((2.0 * fraction - 1.0) * 128.0);
    if (mantissa == 128) {
        mantissa = 0;
        ++e;
    }
    const int biased = e + 127;
    if (biased < 0 || biased > 255) {
        throw CardImageError("the reading " + std::to_string(celsius) +
                             " cannot be stored by the card");
    }
    return {static_cast<uint8_t>(biased),
            static_cast<uint8_t>((negative ? 0x80 : 0x00) | static_cast<uint8_t>(mantissa))};
}

double DecodeCardReading(CardReading reading) {
    const double value = std::ldexp(1.0 + (reading[1] & 0x7F) / 128.0, int(reading[0]) - 127);
    return (reading[1] & 0x80) ? -value : value;
}

LoggerCardImage LoggerCardImage::Make(const std::array<uint8_t, 5>& pid, const CardDateTime& first,
                                      const std::vector<CardReading>& readings) {
    auto check = [](int value, int low, int high, const char* name) {
        if (value < low || value > high) {
            throw CardImageError(std::string("the first reading's ") + name + " " +
                                 std::to_string(value) + " is outside " + std::to_string(low) +
                                 " to " + std::to_string(high));
        }
    };
    check(first.year, 2000, 2255, "year");
    check(first.month, 1, 12, "month");
    check(first.day, 1, 31, "day");
    check(first.hour, 0, 23, "hour");
    check(first.minute, 0, 59, "minute");
    check(first.second, 0, 59, "second");
    if (readings.size() > 0xFFFF) {
        throw CardImageError("a card holds at most 65535 readings, not " +
                             std::to_string(readings.size()));
    }
    LoggerCardImage image;
    for (std::size_t i = 0; i < pid.size(); ++i)
        image.FHeader[i] = pid[i];
    image.FHeader[5] = static_cast<uint8_t>(first.hour);
    image.FHeader[6] = static_cast<uint8_t>(first.minute);
    image.FHeader[7] = static_cast<uint8_t>(first.second);
    image.FHeader[8] = static_cast<uint8_t>(first.day);
    image.FHeader[9] = static_cast<uint8_t>(first.month);
    image.FHeader[10] = static_cast<uint8_t>(first.year - 2000);
    image.FHeader[kCountHigh] = static_cast<uint8_t>(readings.size() >> 8);
    image.FHeader[kCountLow] = static_cast<uint8_t>(readings.size() & 0xFF);
    image.FStream.reserve(readings.size() * 2);
    for (const CardReading& reading : readings) {
        image.FStream.push_back(reading[0]);
        image.FStream.push_back(reading[1]);
    }
    return image;
}

LoggerCardImage LoggerCardImage::FromBytes(const std::vector<uint8_t>& bytes,
                                           bool requireCountMatch) {
    if (bytes.size() < kHeaderSize) {
        throw CardImageError("the file is " + std::to_string(bytes.size()) +
                             (bytes.size() == 1 ? " byte" : " bytes") +
                             " long; a card image starts with the 64 header bytes");
    }
    const std::size_t streamSize = bytes.size() - kHeaderSize;
    if (streamSize % 2 != 0) {
        throw CardImageError("the reading stream after the header has " +
                             std::to_string(streamSize) +
                             " bytes, an odd number; every reading takes two bytes");
    }
    LoggerCardImage image;
    std::copy(bytes.begin(), bytes.begin() + kHeaderSize, image.FHeader.begin());
    image.FStream.assign(bytes.begin() + kHeaderSize, bytes.end());
    if (requireCountMatch && image.AnnouncedCount() != image.ReadingCount()) {
        throw CardImageError("the header announces " + std::to_string(image.AnnouncedCount()) +
                             " readings but the file holds " +
                             std::to_string(image.ReadingCount()));
    }
    return image;
}

LoggerCardImage LoggerCardImage::Load(const std::string& path, bool requireCountMatch) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw CardImageError(Describe(path, "is a folder; give the card image file inside it"));
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CardImageError(
            Describe(path, std::string("cannot be opened: ") + std::strerror(errno)));
    std::vector<uint8_t> bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        // The stream library reports a failed read (a device, a vanished file) in its own words.
        throw CardImageError(
            Describe(path, std::string("cannot be read: ") + std::strerror(errno)));
    }
    if (in.bad())
        throw CardImageError(Describe(path, "cannot be read"));
    try {
        return FromBytes(bytes, requireCountMatch);
    } catch (const CardImageError& e) {
        throw CardImageError(Describe(path, e.what()));
    }
}

std::vector<uint8_t> LoggerCardImage::Bytes() const {
    std::vector<uint8_t> bytes(FHeader.begin(), FHeader.end());
    bytes.insert(bytes.end(), FStream.begin(), FStream.end());
    return bytes;
}

void LoggerCardImage::Save(const std::string& path) const {
    const std::vector<uint8_t> bytes = Bytes();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw CardImageError(
            Describe(path, std::string("cannot be written: ") + std::strerror(errno)));
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw CardImageError(Describe(path, "could not be written completely"));
}

uint32_t LoggerCardImage::AnnouncedCount() const {
    return static_cast<uint32_t>(FHeader[kCountHigh]) * 256u + FHeader[kCountLow];
}

// The model

std::vector<uint8_t> LoggerCardModel::HeaderReport() const {
    return std::vector<uint8_t>(FImage.Header().begin(), FImage.Header().end());
}

std::vector<std::vector<uint8_t>> LoggerCardModel::ReadingReports() const {
    std::vector<std::vector<uint8_t>> reports;
    const std::vector<uint8_t>& stream = FImage.Stream();
    for (std::size_t offset = 0; offset < stream.size(); offset += LoggerCardImage::kReportSize) {
        std::vector<uint8_t> report(LoggerCardImage::kReportSize, 0);
        const std::size_t n = std::min(LoggerCardImage::kReportSize, stream.size() - offset);
        std::copy(stream.begin() + offset, stream.begin() + offset + n, report.begin());
        reports.push_back(std::move(report));
    }
    return reports;
}

std::vector<std::vector<uint8_t>> LoggerCardModel::Answer(const uint8_t* command,
                                                          std::size_t size) const {
    if (size == 0)
        return {};
    switch (command[0]) {
        case kCommandHeader:
            return {HeaderReport()};
        case kCommandReadings:
            return ReadingReports();
        default:
            return {};
    }
}

// The card on the in-memory platform

struct SimLoggerCard::Shared {
    std::mutex m;
    std::deque<std::vector<uint8_t>> outbox;
    std::vector<uint8_t> commands;
    uint32_t deviceId = 0;
    std::size_t readingReportLimit = SIZE_MAX;
    std::condition_variable stopped;
    bool stop = false;
};

SimLoggerCard::SimLoggerCard(SimHidPlatform& platform, LoggerCardImage image, Pace pace)
    : FPlatform(platform), FModel(std::move(image)), FPace(pace), S(std::make_shared<Shared>()) {
    if (FPace == Pace::UsbFullSpeed)
        StartSender();
}

void SimLoggerCard::StartSender() {
    FSender = std::thread([this] {
        auto next = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(S->m);
        while (!S->stop) {
            next += std::chrono::milliseconds(1);
            if (S->stopped.wait_until(lock, next, [this] { return S->stop; }))
                break;
            if (S->outbox.empty()) {
                next = std::chrono::steady_clock::now();
                continue;
            }
            lock.unlock();
            Send(1);
            lock.lock();
        }
    });
}

void SimLoggerCard::StopSender() {
    if (!FSender.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(S->m);
        S->stop = true;
    }
    S->stopped.notify_all();
    FSender.join();
}

void SimLoggerCard::SetReadingReportLimit(std::size_t reports) {
    std::lock_guard<std::mutex> lock(S->m);
    S->readingReportLimit = reports;
}

SimLoggerCard::~SimLoggerCard() {
    StopSender();
    const uint32_t id = DeviceID();
    if (id != 0) {
        FPlatform.SetOutputHandler(id, nullptr);
        FPlatform.SetInputSource(id, nullptr);
    }
}

uint32_t SimLoggerCard::Plug() {
    SimHidPlatform::DeviceSpec deviceSpec;
    deviceSpec.VendorID = kCardVendorId;
    deviceSpec.ProductID = kCardProductId;
    deviceSpec.InputReportByteLength = 65;
    deviceSpec.OutputReportByteLength = 65;
    deviceSpec.Product = "Temperature Logger";
    const uint32_t id = FPlatform.Plug(deviceSpec);
    {
        std::lock_guard<std::mutex> lock(S->m);
        S->deviceId = id;
        S->outbox.clear();
    }
    std::weak_ptr<Shared> weak = S;
    const LoggerCardModel* model = &FModel;
    FPlatform.SetOutputHandler(id, [weak, model](const std::vector<uint8_t>& report) {
        auto s = weak.lock();
        if (!s || report.size() < 2)
            return;
        // Byte 0 is the report ID the host wrote; the command follows.
        auto answers = model->Answer(report.data() + 1, report.size() - 1);
        std::lock_guard<std::mutex> lock(s->m);
        if (report[1] == LoggerCardModel::kCommandReadings &&
            answers.size() > s->readingReportLimit)
            answers.resize(s->readingReportLimit);
        s->commands.push_back(report[1]);
        for (auto& answer : answers)
            s->outbox.push_back(std::move(answer));
    });
    if (FPace == Pace::AsFastAsRead) {
        FPlatform.SetInputSource(id, [weak](std::vector<uint8_t>& report) {
            auto s = weak.lock();
            if (!s)
                return false;
            std::lock_guard<std::mutex> lock(s->m);
            if (s->outbox.empty())
                return false;
            report = std::move(s->outbox.front());
            s->outbox.pop_front();
            return true;
        });
    }
    return id;
}

void SimLoggerCard::Unplug() {
    const uint32_t id = DeviceID();
    if (id != 0)
        FPlatform.Unplug(id);
}

uint32_t SimLoggerCard::DeviceID() const {
    std::lock_guard<std::mutex> lock(S->m);
    return S->deviceId;
}

std::size_t SimLoggerCard::Send(std::size_t maxReports) {
    std::size_t sent = 0;
    const uint32_t id = DeviceID();
    while (sent < maxReports) {
        std::vector<uint8_t> report;
        {
            std::lock_guard<std::mutex> lock(S->m);
            if (S->outbox.empty())
                break;
            report = S->outbox.front();
        }
        if (!FPlatform.FeedInputIfRoom(id, report))
            break;
        {
            std::lock_guard<std::mutex> lock(S->m);
            if (!S->outbox.empty())
                S->outbox.pop_front();
        }
        ++sent;
    }
    return sent;
}

std::size_t SimLoggerCard::Outbox() const {
    std::lock_guard<std::mutex> lock(S->m);
    return S->outbox.size();
}

std::vector<uint8_t> SimLoggerCard::Commands() const {
    std::lock_guard<std::mutex> lock(S->m);
    return S->commands;
}

}  // namespace halvik
