#include "app/DemoCard.h"

#include <cmath>
#include <cstdint>

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
    constexpr int kExcursionStart = 2 * 240 + 60;  // third day, 14:00
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
            t += 6.3 * (since + 1) / 11.0;
        } else if (since >= 11 && since < 27) {
            t += 6.3 * (27 - since) / 16.0;
        }
        t += 0.12 * noise.next();
        values.push_back(std::round(t * 32) / 32);
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

}  // namespace halvik
