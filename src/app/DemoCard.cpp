// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DemoCard.h"

#include <cmath>
#include <cstdint>

#include "app/Form3.h"

namespace halvik {

namespace {

constexpr int kReadings = 1440;
constexpr int kMinutesPerReading = 6;
constexpr int kStartMinuteOfDay = 8 * 60;  // 08:00

// A small fixed generator so the demo card is the same on every run.
class Noise {
  public:
    double next() {  // in [-1, 1)
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ULL << 52) - 1.0;
    }

  private:
    std::uint64_t state_ = 0x4a41564bULL;
};

}  // namespace

std::vector<double> DemoCardTemperatures() {
    std::vector<double> values;
    values.reserve(kReadings);
    Noise noise;
    constexpr double kPi = 3.14159265358979323846;
    // The door left open: reading index where it starts, minutes to peak, minutes to recover.
    constexpr int kExcursionStart = 2 * 240 + 50;  // third day, 13:00
    for (int i = 0; i < kReadings; ++i) {
        const int minute = kStartMinuteOfDay + i * kMinutesPerReading;
        const int minuteOfDay = minute % 1440;
        double t = 4.6;
        // Compressor cycle of about 48 minutes.
        t += 0.55 * std::sin(2 * kPi * minute / 48.0);
        // Slightly warmer in the working day (doors, deliveries).
        if (minuteOfDay >= 7 * 60 && minuteOfDay < 18 * 60) {
            t += 0.5 + 0.35 * std::sin(kPi * (minuteOfDay - 7 * 60) / (11 * 60.0));
        }
        // Defrost every eight hours, 24 minutes long.
        if (minute % (8 * 60) < 24) {
            t += 1.4;
        }
        // The excursion: up over 66 minutes, back over 96.
        const int since = i - kExcursionStart;
        if (since >= 0 && since < 11) {
            t += 5.8 * (since + 1) / 11.0;
        } else if (since >= 11 && since < 27) {
            t += 5.8 * (27 - since) / 16.0;
        }
        t += 0.12 * noise.next();
        // Sixteenths of a degree: what the card's reading format holds exactly in this range.
        values.push_back(std::round(t * 16) / 16);
    }
    return values;
}

LoggerCardImage MakeDemoCardImage() {
    std::vector<CardReading> readings;
    for (double value : DemoCardTemperatures()) {
        readings.push_back(EncodeReading(value));
    }
    CardDateTime first;
    first.year = 2026;
    first.month = 1;
    first.day = 12;
    first.hour = kStartMinuteOfDay / 60;
    first.minute = 0;
    return LoggerCardImage::Make({20, 26, 1, 12, 7}, first, readings);
}

DemoSession::DemoSession(LoggerCardImage image, DemoPace pace)
    : card_(platform_, std::move(image), pace.pace) {
    card_.SetReadingReportLimit(pace.readingReportLimit);
    card_.Plug();
    window_ = std::make_unique<TForm3>(platform_);
}

DemoSession::~DemoSession() {
    window_.reset();  // gives the card back before the platform goes
}

}  // namespace halvik
