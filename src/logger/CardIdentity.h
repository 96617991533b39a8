// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace halvik {

// The logger card's USB HID identity: how the window picks the card among the HID devices, and
// what the simulated cards (in memory and through uhid) present.
inline constexpr std::uint16_t kCardVendorId = 0x3543;
inline constexpr std::uint16_t kCardProductId = 0x3543;

}  // namespace halvik
