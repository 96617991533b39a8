// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Command.h"

#include <gtest/gtest.h>

namespace halvik {
namespace {

TEST(CommandBytes, PaddedWithZerosToTheOutputReportLength) {
    for (std::uint8_t command : {kCommandSendHeader, kCommandSendReadings}) {
        std::vector<std::uint8_t> bytes = CommandBytes(command, 65);
        ASSERT_EQ(bytes.size(), 65u);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[1], command);
        for (std::size_t i = 2; i < bytes.size(); ++i)
            EXPECT_EQ(bytes[i], 0) << i;
    }
    EXPECT_EQ(kCommandSendHeader, 22);
    EXPECT_EQ(kCommandSendReadings, 11);
}

TEST(CommandBytes, ShortOutputReportTakesTheFirstRecordBytes) {
    pic18Report report;
    report.LEDBits = 22;
    report.kontrol = 7;  // never set by the program; shows where the record ends
    EXPECT_EQ(CommandBytes(report, 8), (std::vector<std::uint8_t>{0, 22, 0, 0, 0, 0, 0, 7}));
    EXPECT_EQ(CommandBytes(report, 9), (std::vector<std::uint8_t>{0, 22, 0, 0, 0, 0, 0, 7, 0}));
    EXPECT_EQ(CommandBytes(report, 2), (std::vector<std::uint8_t>{0, 22}));
    EXPECT_TRUE(CommandBytes(report, 0).empty());
}

}  // namespace
}  // namespace halvik
