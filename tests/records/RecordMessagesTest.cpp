// SPDX-License-Identifier: GPL-3.0-or-later
// What the window says about records, and the CSV name it proposes.

#include "records/RecordMessages.h"

#include <gtest/gtest.h>

namespace halvik {
namespace {

TEST(RecordMessages, StatusTextsAndTitle) {
    const std::string name = "0102030405_20260112T0800Z_1440.halvik";
    EXPECT_EQ(KeptMessage(name, false), "Kept as " + name);
    EXPECT_EQ(KeptMessage(name, true), "Already kept as " + name);
    EXPECT_EQ(NotKeptMessage("no space left on device"), "Not kept: no space left on device");
    EXPECT_EQ(ShowingMessage(name, true), "Showing " + name);
    EXPECT_EQ(ShowingMessage(name, false),
              "Changed after download: " + name +
                  " does not match its digest; shown read-only, do not trust it");
    EXPECT_EQ(RecordTitle("", true, "Program"), "Program");
    EXPECT_EQ(RecordTitle("", false, "Program"), "Program");
    EXPECT_EQ(RecordTitle(name, true, "Program"), name + " \u2014 Program");
    EXPECT_EQ(RecordTitle(name, false, "Program"),
              name + " (changed after download) \u2014 Program");
}

TEST(RecordMessages, CsvNameIsTheRecordsNameUpToItsLastDot) {
    struct Case {
        const char* record;
        const char* csv;
    };
    const Case cases[] = {
        {"0102030405_20260112T0800Z_1440.halvik", "0102030405_20260112T0800Z_1440.csv"},
        {"0102030405_20260112T0800Z_1440-2.halvik", "0102030405_20260112T0800Z_1440-2.csv"},
        {"copy.of.a.record.halvik", "copy.of.a.record.csv"},
        {"no-suffix", "no-suffix.csv"},
        {"caf\xC3\xA9.halvik", "caf\xC3\xA9.csv"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvFileNameFor(c.record), c.csv) << c.record;
}

}  // namespace
}  // namespace halvik
