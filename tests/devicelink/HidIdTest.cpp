// SPDX-License-Identifier: GPL-3.0-or-later
// A HID device's id from its uevent: the kernel's form is taken, anything else is no id (a
// malformed one must never read as the card's vendor and product).
#include <gtest/gtest.h>

#include <string>

#include "devicelink/linux/HidId.h"

namespace halvik {
namespace {

TEST(HidId, TheKernelsFormIsReadAndNothingElse) {
    struct Case {
        std::string id;
        bool ok;
        unsigned bus, vendor, product;
    };
    const Case cases[] = {
        {"0003:00003543:00003543", true, 3, 0x3543, 0x3543},
        {"0003:0000046D:0000C52B", true, 3, 0x46d, 0xc52b},
        {"3:3543:3543", true, 3, 0x3543, 0x3543},
        {"0003:FFFFFFFF:00000000", true, 3, 0xffffffffu, 0},
        {"", false, 0, 0, 0},
        {"0003:00003543", false, 0, 0, 0},
        {"0003:00003543:", false, 0, 0, 0},
        {"0003:00003543:00003543:0001", false, 0, 0, 0},  // trailing field
        {"0003:00003543:00003543 ", false, 0, 0, 0},      // trailing blank
        {"0003:00003543:3543x", false, 0, 0, 0},          // trailing junk
        {"0003: 3543:3543", false, 0, 0, 0},              // sscanf skips the blank
        {"0003:-3543:3543", false, 0, 0, 0},              // sscanf takes the sign
        {"0003:+3543:3543", false, 0, 0, 0},
        {"0003:0x3543:3543", false, 0, 0, 0},         // a prefix is no digit
        {"0003:1000000003543:3543", false, 0, 0, 0},  // sscanf wraps to 0x3543
        {"0003::3543", false, 0, 0, 0},
        {"0003;3543;3543", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        unsigned bus = 0, vendor = 0, product = 0;
        EXPECT_EQ(ParseHidId(c.id, bus, vendor, product), c.ok) << '"' << c.id << '"';
        if (c.ok) {
            EXPECT_EQ(bus, c.bus) << c.id;
            EXPECT_EQ(vendor, c.vendor) << c.id;
            EXPECT_EQ(product, c.product) << c.id;
        }
    }
}

}  // namespace
}  // namespace halvik
