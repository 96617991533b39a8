// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace halvik {

// The distributor's web address, shown in the right-hand panel of the status bar.
inline constexpr const char* kDistributorWebAddress = "www.halvik.example";

}  // namespace halvik
