// SPDX-License-Identifier: GPL-3.0-or-later
#include "logger/Conversions.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>

#include "logger/LoggerError.h"

namespace halvik {
namespace {

std::string MessageOf(auto&& call) {
    try {
        call();
    } catch (const LoggerError& e) {
        return e.what();
    }
    return "no error";
}

TEST(TextToInt, LeadingBlanksAndSigns) {
    const std::pair<const char*, int> cases[] = {
        {"14", 14},
        {" 14", 14},
        {"  7", 7},
        {"255", 255},
        {"-6", -6},
        {"+5", 5},
        {"0", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (auto [text, value] : cases)
        EXPECT_EQ(TextToInt(text), value) << text;
}

TEST(TextToInt, MalformedTextGivesTheConversionMessage) {
    EXPECT_EQ(MessageOf([] { TextToInt(""); }), "'' is not a valid integer value");
    EXPECT_EQ(MessageOf([] { TextToInt("   "); }), "'   ' is not a valid integer value");
    for (const char* text : {"abc", "14 ", "1 4", "-", "+", "2147483648", "-2147483649",
                             "99999999999999999999", "1.5"})
        EXPECT_EQ(MessageOf([&] { TextToInt(text); }),
                  std::string("'") + text + "' is not a valid integer value");
}

long double Nearest(const char* text) {
    long double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

TEST(TextToNumber, NearestValueWithTheLocaleSeparator) {
    EXPECT_EQ(TextToNumber("            24.3", "."), Nearest("24.3"));
    EXPECT_EQ(TextToNumber("            24,3", ","), Nearest("24.3"));
    EXPECT_EQ(TextToNumber("-11.6", "."), -Nearest("11.6"));
    EXPECT_EQ(TextToNumber("0.0", "."), 0.0L);
    EXPECT_EQ(TextToNumber("1235.0", "."), 1235.0L);
    EXPECT_EQ(TextToNumber("7", "."), 7.0L);
    EXPECT_EQ(TextToNumber("24\u066B3", "\u066B"), Nearest("24.3"));  // a two-byte separator
    EXPECT_EQ(TextToNumber("1.5E3", "."), 1500.0L);
    EXPECT_EQ(TextToNumber("24.3", ""), Nearest("24.3"));
    EXPECT_EQ(TextToNumber("123456789012345678901.5", "."), Nearest("123456789012345678901.5"));
    EXPECT_EQ(TextToNumber("0.1234567890123456789012345", "."),
              Nearest("0.1234567890123456789012345"));
}

TEST(TextToNumber, MalformedTextGivesTheConversionMessage) {
    EXPECT_EQ(MessageOf([] { TextToNumber("", "."); }), "'' is not a valid floating point value");
    EXPECT_EQ(MessageOf([] { TextToNumber("24.3", ","); }),
              "'24.3' is not a valid floating point value");
    for (const char* text : {"abc", "24.3 ", ".", "-", "1e", "24..3", "INF"})
        EXPECT_EQ(MessageOf([&] { TextToNumber(text, "."); }),
                  std::string("'") + text + "' is not a valid floating point value");
}

TEST(NumberTexts, Widths) {
    EXPECT_EQ(IntText(-5), "-5");
    EXPECT_EQ(IntText(14400), "14400");
    EXPECT_EQ(TwoDigitText(5), "05");
    EXPECT_EQ(TwoDigitText(23), "23");
    EXPECT_EQ(TwoDigitText(123), "123");
    EXPECT_EQ(ThreeWideText(7), "  7");
    EXPECT_EQ(ThreeWideText(14), " 14");
    EXPECT_EQ(ThreeWideText(255), "255");
}

}  // namespace
}  // namespace halvik
