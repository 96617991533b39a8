#pragma once

#include <vector>

#include "devicelink/sim/LoggerCard.h"

namespace halvik {

// The card halvik-demo holds when no card image is given: a cold store logged for six days
// (1,440 readings, one every six minutes) from 12 January 2026, 08:00. The store holds between
// 2 and 8 °C with the compressor's cycle, defrosts and the day's door openings, except for one
// excursion on the third afternoon, when a door left open takes it to about 11 °C for a while.
std::vector<double> DemoCardTemperatures();
LoggerCardImage MakeDemoCardImage();

}  // namespace halvik
