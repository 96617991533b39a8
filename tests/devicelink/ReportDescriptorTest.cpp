// SPDX-License-Identifier: GPL-3.0-or-later
// Report lengths from report descriptors of real devices, and descriptors that are cut off or
// make no sense.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "devicelink/linux/ReportDescriptor.h"

namespace halvik {
namespace {

std::vector<uint8_t> LoadHex(const std::string& name) {
    std::ifstream in(std::string(HALVIK_DESCRIPTOR_FIXTURES) + "/" + name);
    EXPECT_TRUE(in) << name;
    std::vector<uint8_t> bytes;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string word;
        while (words >> word)
            bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

struct Fixture {
    const char* file;
    std::size_t size;
    uint16_t input, output, feature;
    bool numbered;
    uint16_t usagePage, usage;
};

class RealDescriptors : public ::testing::TestWithParam<Fixture> {};

TEST_P(RealDescriptors, LengthsCountTheReportIdByte) {
    const Fixture f = GetParam();
    const std::vector<uint8_t> bytes = LoadHex(f.file);
    ASSERT_EQ(bytes.size(), f.size);
    const ReportDescriptorSummary s = ParseReportDescriptor(bytes);
    ASSERT_TRUE(s.valid);
    EXPECT_EQ(s.inputLength, f.input);
    EXPECT_EQ(s.outputLength, f.output);
    EXPECT_EQ(s.featureLength, f.feature);
    EXPECT_EQ(s.numbered, f.numbered);
    EXPECT_EQ(s.usagePage, f.usagePage);
    EXPECT_EQ(s.usage, f.usage);
    const THidCaps caps = CapsFromReportDescriptor(s);
    EXPECT_EQ(caps.InputReportByteLength, f.input);
    EXPECT_EQ(caps.OutputReportByteLength, f.output);
    EXPECT_EQ(caps.FeatureReportByteLength, f.feature);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, RealDescriptors,
    ::testing::Values(Fixture{"keyboard.hex", 63, 9, 2, 0, false, 0x01, 0x06},
                      Fixture{"mouse.hex", 50, 4, 0, 0, false, 0x01, 0x02},
                      Fixture{"vendor64.hex", 34, 65, 65, 0, false, 0xFF00, 0x01},
                      // The longest input report is the keyboard's 8 bytes, plus its ID byte.
                      Fixture{"keyboard-numbered.hex", 119, 9, 2, 0, true, 0x01, 0x06},
                      Fixture{"vendor-numbered.hex", 39, 64, 64, 9, true, 0xFF00, 0x01}));

TEST(ReportDescriptor, EveryCutOffVersionOfARealDescriptorGivesLengthsZero) {
    for (const char* file : {"keyboard.hex", "mouse.hex", "vendor64.hex", "keyboard-numbered.hex",
                             "vendor-numbered.hex"}) {
        const std::vector<uint8_t> full = LoadHex(file);
        for (std::size_t n = 0; n < full.size(); ++n) {
            // A copy of exactly n bytes, so that a read past the end is caught by the sanitizer.
            const std::vector<uint8_t> cut(full.begin(), full.begin() + n);
            const ReportDescriptorSummary s = ParseReportDescriptor(cut.data(), cut.size());
            // Cutting between the keyboard-numbered's collections leaves whole collections.
            if (s.valid) {
                EXPECT_EQ(std::string(file), "keyboard-numbered.hex") << n;
                continue;
            }
            EXPECT_EQ(s.inputLength, 0) << file << " cut to " << n;
            EXPECT_EQ(s.outputLength, 0) << file << " cut to " << n;
            EXPECT_EQ(s.featureLength, 0) << file << " cut to " << n;
        }
    }
    EXPECT_FALSE(ParseReportDescriptor(nullptr, 0).valid);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"report ID 0", {0xA1, 0x01, 0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0}},
        {"pop without push", {0xA1, 0x01, 0xB4, 0xC0}},
        {"end collection without collection", {0xC0}},
        {"reserved item type", {0xA1, 0x01, 0x0C, 0xC0}},
        {"reserved main item", {0xA1, 0x01, 0x00, 0xC0}},
        {"report far too long",
         {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02,
          0xC0}},
        {"long item running past the end", {0xA1, 0x01, 0xFE, 0x10, 0x00, 0x01}},
    };
    for (const Case& c : cases) {
        const ReportDescriptorSummary s = ParseReportDescriptor(c.bytes);
        EXPECT_FALSE(s.valid) << c.name;
        EXPECT_EQ(s.inputLength, 0) << c.name;
    }
    std::vector<uint8_t> deepPush = {0xA1, 0x01};
    deepPush.insert(deepPush.end(), 40, 0xA4);
    deepPush.push_back(0xC0);
    EXPECT_FALSE(ParseReportDescriptor(deepPush).valid);
}

TEST(ReportDescriptor, GlobalsCarryOverAndPushPopRestoreThemWithTheReportId) {
    const std::vector<uint8_t> bytes = {
        0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,        // vendor page, application collection
        0x75, 0x08, 0x96, 0x00, 0x01,                    // size 8, count 256 (a two-byte count)
        0x85, 0x01, 0x81, 0x02,                          // report 1: 256 bytes in
        0xA4,                                            // push (ID 1, size 8, count 256)
        0x85, 0x02, 0x95, 0x04, 0x81, 0x02,              // report 2: 4 bytes in
        0xB4,                                            // pop: back to ID 1, count 256
        0x91, 0x02,                                      // report 1: 256 bytes out
        0xFE, 0x02, 0x10, 0xAA, 0xBB,                    // a long item, skipped
        0x09, 0x05, 0x75, 0x04, 0x95, 0x01, 0xB1, 0x02,  // feature: 4 bits, rounded up
        0xC0};
    const ReportDescriptorSummary s = ParseReportDescriptor(bytes);
    ASSERT_TRUE(s.valid);
    EXPECT_TRUE(s.numbered);
    EXPECT_EQ(s.inputLength, 257);
    EXPECT_EQ(s.outputLength, 257);
    EXPECT_EQ(s.featureLength, 2);
    EXPECT_EQ(s.usagePage, 0xFF00);
}

TEST(ReportDescriptor, RandomBytesNeverCrashTheParser) {
    std::mt19937 random(20240601);
    for (int round = 0; round < 20000; ++round) {
        std::vector<uint8_t> bytes(random() % 80);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());
        const ReportDescriptorSummary s = ParseReportDescriptor(bytes.data(), bytes.size());
        if (!s.valid) {
            ASSERT_EQ(s.inputLength + s.outputLength + s.featureLength, 0);
        }
    }
}

}  // namespace
}  // namespace halvik
