// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfClock.h"

#include <ctime>
#include <utility>

#include "pdf/PdfObjects.h"

namespace halvik {

namespace {
std::function<double()>& Clock() {
    static std::function<double()> clock;
    return clock;
}
}  // namespace

double LocalNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec, static_cast<int>(now.tv_nsec / 1000000));
}

double PdfNow() {
    const auto& clock = Clock();
    return clock ? clock() : LocalNow();
}

void SetPdfClock(std::function<double()> clock) {
    Clock() = std::move(clock);
}

ScopedPdfClock::ScopedPdfClock(double fixedNow) : FPrevious(Clock()) {
    Clock() = [fixedNow] { return fixedNow; };
}

ScopedPdfClock::ScopedPdfClock(std::function<double()> clock) : FPrevious(Clock()) {
    Clock() = std::move(clock);
}

ScopedPdfClock::~ScopedPdfClock() {
    Clock() = std::move(FPrevious);
}

}  // namespace halvik
