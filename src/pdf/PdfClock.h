// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace halvik {

// "Now" for the PDF writer and the report components: a day count since 1899-12-30 00:00 in
// local time. The program reads the local clock; tests fix the value.
double PdfNow();
// The local clock itself, to the millisecond.
double LocalNow();

// Replaces the clock for the whole process; an empty function restores the local clock.
void SetPdfClock(std::function<double()> clock);

// Fixes "now" for the life of the object (tests).
class ScopedPdfClock {
  public:
    explicit ScopedPdfClock(double fixedNow);
    explicit ScopedPdfClock(std::function<double()> clock);
    ~ScopedPdfClock();
    ScopedPdfClock(const ScopedPdfClock&) = delete;
    ScopedPdfClock& operator=(const ScopedPdfClock&) = delete;

  private:
    std::function<double()> FPrevious;
};

}  // namespace halvik
