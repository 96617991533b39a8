// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Record.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "RecordSamples.h"

namespace halvik {
namespace {

using test::SampleRecord;
using Json = nlohmann::ordered_json;

constexpr const char* kName = "sample.halvik";

TEST(RecordText, StartsWithTheFormatNameAndIsOneLine) {
    const std::string text = RecordText(SampleRecord(3));
    EXPECT_EQ(text.rfind("{\"format\":\"halvik-record\",", 0), 0u) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1);
}

// The bytes hashed, line by line, as docs/record-format.md describes them.
TEST(RecordText, DigestIsOverTheDocumentedLines) {
    Record record = SampleRecord(1);
    record.readings = {0x83, 0x40};
    record.unit = TemperatureUnit::Fahrenheit;
    record.host = "k\u00FChlraum";
    // Header: PID, hour minute second, day month year, 8 unused bytes, count 1, 43 unused bytes.
    const std::string expected =
        "halvik-record\n1\n2026-12-10T15:59:34Z\nk\u00FChlraum\n0.1\nF\n"
        "true\n1\n0102030405"
        "080000"
        "0c011a" +
        std::string(16, '0') + "0001" + std::string(86, '0') + "\n8340\n";
    EXPECT_EQ(DigestInput(record), expected);

    const Json file = Json::parse(RecordText(record));
    EXPECT_EQ(file["sha256"], RecordDigest(record));
    std::vector<std::string> keys;
    for (const auto& [key, value] : file.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"format", "version", "downloaded_utc", "host",
                                              "program_version", "unit", "complete", "count",
                                              "header", "readings", "sha256"}));
}

// The recipe of docs/record-format.md with jq and sha256sum gives the stored digest.
TEST(RecordText, StandardToolsVerifyTheDigest) {
    if (std::system("command -v jq >/dev/null && command -v sha256sum >/dev/null") != 0)
        GTEST_SKIP() << "jq or sha256sum not installed";
    Record record = SampleRecord(5);
    record.host = "labor-k\u00FChlung";
    char path[] = "/tmp/halvik-record-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string text = RecordText(record);
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
    const std::string command =
        std::string(
            "jq -j '[.format, .version, .downloaded_utc, .host, .program_version, "
            ".unit, .complete, .count, .header, .readings] | map(tostring + \"\\n\") "
            "| add' ") +
        path + " | sha256sum";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char digest[65] = {};
    ASSERT_EQ(std::fread(digest, 1, 64, pipe), 64u);
    pclose(pipe);
    std::remove(path);
    EXPECT_EQ(std::string(digest), RecordDigest(record));
}

struct RoundTripCase {
    const char* name;
    std::function<Record()> make;
};

class RecordRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RecordRoundTrip, ReadsBackEqualAndIntact) {
    const Record record = GetParam().make();
    ASSERT_EQ(RecordProblem(record), "");
    const LoadedRecord loaded = ParseRecord(RecordText(record), kName);
    EXPECT_TRUE(loaded.intact) << loaded.problem;
    EXPECT_EQ(loaded.problem, "");
    EXPECT_EQ(loaded.record, record);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordRoundTrip,
    testing::Values(RoundTripCase{"ThreeReadings", [] { return SampleRecord(3); }},
                    RoundTripCase{"FullCard", [] { return SampleRecord(kMaxReadings); }},
                    RoundTripCase{"EmptyCard", [] { return SampleRecord(0); }},
                    RoundTripCase{"Incomplete",
                                  [] {
                                      Record r = SampleRecord(100);
                                      r.readings.resize(129);  // 64 readings and half of one
                                      r.complete = false;
                                      return r;
                                  }},
                    RoundTripCase{"FahrenheitEveryByteUnicodeHost",
                                  [] {
                                      Record r = SampleRecord(128);
                                      for (std::size_t i = 0; i < r.readings.size(); ++i)
                                          r.readings[i] = static_cast<std::uint8_t>(i);
                                      r.unit = TemperatureUnit::Fahrenheit;
                                      r.host = "k\u00FChlraum-\u6C37\"\\";
                                      r.programVersion = "1.2.3-rc1";
                                      return r;
                                  }},
                    RoundTripCase{"CountAboveCardSize",
                                  [] {
                                      Record r = SampleRecord(kMaxReadings);
                                      r.header[19] = 0xFF;  // 65,535 announced, 14,400 read
                                      return r;
                                  }},
                    RoundTripCase{"HeaderClockOutOfRange",
                                  [] {
                                      return SampleRecord(
                                          2, {.hour = 25, .day = 31, .month = 2, .count = 2});
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

// Every cut of a record's text is refused with the file's name, except dropping the final LF.
TEST(ParseRecord, TruncatedAtEveryByte) {
    const std::string text = RecordText(SampleRecord(2));
    for (std::size_t size = 0; size + 1 < text.size(); ++size) {
        try {
            ParseRecord(text.substr(0, size), kName);
            ADD_FAILURE() << "accepted a record cut to " << size << " bytes";
        } catch (const RecordError& error) {
            EXPECT_NE(std::string(error.what()).find(kName), std::string::npos) << error.what();
        }
    }
    EXPECT_TRUE(ParseRecord(text.substr(0, text.size() - 1), kName).intact);
}

// A flipped bit anywhere is either a clear error or a record marked as changed, never intact.
TEST(ParseRecord, FlippedBitAnywhere) {
    const std::string text = RecordText(SampleRecord(2));
    int changed = 0, refused = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string damaged = text;
            damaged[at] = static_cast<char>(damaged[at] ^ (1 << bit));
            try {
                const LoadedRecord loaded = ParseRecord(damaged, kName);
                EXPECT_FALSE(loaded.intact) << "byte " << at << " bit " << bit;
                EXPECT_NE(loaded.problem.find("changed after download"), std::string::npos);
                EXPECT_NE(loaded.problem.find(kName), std::string::npos);
                ++changed;
            } catch (const RecordError& error) {
                EXPECT_NE(std::string(error.what()).find(kName), std::string::npos);
                ++refused;
            }
        }
    }
    // Both outcomes happen: flips in the hex digits and texts are detected by the digest.
    EXPECT_GT(changed, 0);
    EXPECT_GT(refused, 0);
}

struct BadRecordCase {
    const char* name;
    std::function<std::string(Json&)> damage;  // changes the file's members or returns a text
    const char* reason;                        // part of the error message
};

class ParseRecordRefuses : public testing::TestWithParam<BadRecordCase> {};

TEST_P(ParseRecordRefuses, WithAClearReason) {
    Json file = Json::parse(RecordText(SampleRecord(3)));
    std::string text = GetParam().damage(file);
    if (text.empty())
        text = file.dump();
    try {
        ParseRecord(text, kName);
        ADD_FAILURE() << "accepted";
    } catch (const RecordError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(kName), std::string::npos) << message;
        EXPECT_NE(message.find(GetParam().reason), std::string::npos) << message;
        // A message quotes at most a short prefix of a bad value, whatever the file holds.
        EXPECT_LT(message.size(), 200u) << message.substr(0, 300);
    }
}

// The members' text with `member` (given as it is in the file, "\"count\":3") spelled `as`.
std::string Respelled(const Json& file, const std::string& member, const std::string& as) {
    std::string text = file.dump();
    const auto at = text.find(member);
    return at == std::string::npos ? text : text.replace(at, member.size(), as);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ParseRecordRefuses,
    testing::Values(
        BadRecordCase{"Empty", [](Json&) { return std::string(" "); }, "not complete JSON"},
        BadRecordCase{"NotJson", [](Json&) { return std::string("%PDF-1.4\n"); },
                      "not complete JSON"},
        BadRecordCase{"Array", [](Json&) { return std::string("[1,2]"); }, "not a Halvik record"},
        BadRecordCase{"OtherFormat",
                      [](Json& f) {
                          f["format"] = "other-record";
                          return std::string();
                      },
                      "not a Halvik record"},
        BadRecordCase{"UnknownVersion",
                      [](Json& f) {
                          f["version"] = 2;
                          return std::string();
                      },
                      "format version 2, and this Halvik reads version 1 only"},
        BadRecordCase{"VersionAsText",
                      [](Json& f) {
                          f["version"] = "1";
                          return std::string();
                      },
                      "not a whole number"},
        BadRecordCase{"CountDisagreesWithHeader",
                      [](Json& f) {
                          f["count"] = 4;
                          return std::string();
                      },
                      "reading count 4 disagrees with the header's count of 3"},
        BadRecordCase{"CompleteButReadingsMissing",
                      [](Json& f) {
                          f["readings"] = "8000";
                          return std::string();
                      },
                      "marked complete but holds 2 reading bytes"},
        BadRecordCase{"IncompleteButAllReadings",
                      [](Json& f) {
                          f["complete"] = false;
                          return std::string();
                      },
                      "marked incomplete but holds all 3 readings"},
        BadRecordCase{"HeaderTooShort",
                      [](Json& f) {
                          f["header"] = "0102030405";
                          return std::string();
                      },
                      "header holds 5 bytes"},
        BadRecordCase{"OddHex",
                      [](Json& f) {
                          f["readings"] = f["readings"].get<std::string>() + "0";
                          return std::string();
                      },
                      "\"readings\" field is not a sequence of bytes in lowercase hex"},
        BadRecordCase{"UppercaseHex",
                      [](Json& f) {
                          f["header"] = "0A" + f["header"].get<std::string>().substr(2);
                          return std::string();
                      },
                      "\"header\" field is not a sequence of bytes"},
        BadRecordCase{"MissingDigest",
                      [](Json& f) {
                          f.erase("sha256");
                          return std::string();
                      },
                      "\"sha256\" field is missing"},
        BadRecordCase{"HostNotText",
                      [](Json& f) {
                          f["host"] = 7;
                          return std::string();
                      },
                      "\"host\" field is not a text"},
        BadRecordCase{"HostWithNewline",
                      [](Json& f) {
                          f["host"] = "a\nb";
                          return std::string();
                      },
                      "host name holds control characters"},
        BadRecordCase{"ImpossibleDownloadTime",
                      [](Json& f) {
                          f["downloaded_utc"] = "2026-02-29T10:00:00Z";
                          return std::string();
                      },
                      "download time is not a UTC time"},
        BadRecordCase{"UnknownUnit",
                      [](Json& f) {
                          f["unit"] = "K";
                          return std::string();
                      },
                      "unit is \"K\""},
        BadRecordCase{"CompleteNotBoolean",
                      [](Json& f) {
                          f["complete"] = 1;
                          return std::string();
                      },
                      "\"complete\" field is not true or false"},
        BadRecordCase{"CountAsText",
                      [](Json& f) {
                          f["count"] = "3";
                          return std::string();
                      },
                      "reading count \"3\" is not a whole number"},
        BadRecordCase{"CountWithDecimals",
                      [](Json& f) { return Respelled(f, "\"count\":3", "\"count\":3.0"); },
                      "reading count 3.0 is not a whole number"},
        // 100,000 nested arrays: refused while parsing, not printed or freed recursively.
        BadRecordCase{"DeeplyNestedCount",
                      [](Json& f) {
                          return Respelled(
                              f, "\"count\":3",
                              "\"count\":" + std::string(100000, '[') + std::string(100000, ']'));
                      },
                      "nested more than 32 deep"},
        BadRecordCase{"DeeplyNestedUnknownMember",
                      [](Json& f) {
                          std::string nested = "1";
                          for (int i = 0; i < 50; ++i)
                              nested = "{\"a\":" + nested + "}";
                          return Respelled(f, "\"count\":3", "\"x\":" + nested + ",\"count\":3");
                      },
                      "nested more than 32 deep"},
        BadRecordCase{
            "MemberGivenTwice",
            [](Json& f) { return Respelled(f, "\"unit\":\"C\"", "\"unit\":\"F\",\"unit\":\"C\""); },
            "its \"unit\" field is given twice"},
        BadRecordCase{"DigestGivenTwice",
                      [](Json& f) {
                          const std::string digest = f["sha256"];
                          return Respelled(f, "{", "{\"sha256\":\"" + digest + "\",");
                      },
                      "its \"sha256\" field is given twice"},
        BadRecordCase{"NotUtf8",
                      [](Json&) { return std::string("{\"format\":\"halvik\xFF-record\"}"); },
                      "its text is not UTF-8 at byte 18"},
        BadRecordCase{"Utf16Surrogate",
                      [](Json&) { return std::string("{\"format\":\"\xED\xA0\x80\"}"); },
                      "its text is not UTF-8 at byte 12"},
        BadRecordCase{"HostWithC1Control",
                      [](Json& f) {
                          f["host"] = "fridge\u0085pc";
                          return std::string();
                      },
                      "host name holds control characters"},
        BadRecordCase{"VersionWithBidiOverride",
                      [](Json& f) {
                          f["program_version"] = "0.1\u202E";
                          return std::string();
                      },
                      "program version holds control characters"},
        BadRecordCase{"HugeUnit",
                      [](Json& f) {
                          f["unit"] = std::string(900000, 'K');
                          return std::string();
                      },
                      "unit is \"KKKK"},
        BadRecordCase{"TooLarge", [](Json&) { return std::string(kMaxRecordFileSize + 1, ' '); },
                      "larger than the 1048576 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ParseRecord, EmptyTextIsRefused) {
    EXPECT_THROW(
        {
            try {
                ParseRecord("", kName);
            } catch (const RecordError& error) {
                EXPECT_STREQ(error.what(),
                             "Cannot open the record sample.halvik: the file is empty.");
                throw;
            }
        },
        RecordError);
}

TEST(EscapedName, OneLineAndUnambiguous) {
    const std::pair<std::string, std::string> cases[] = {
        {"fridge.halvik", "fridge.halvik"},
        {"caf\u00e9 \u6e29\u5ea6.halvik", "caf\u00e9 \u6e29\u5ea6.halvik"},
        {"a\nb.halvik: ok", "a\\nb.halvik: ok"},
        {"tab\there\x1b[31m\x7f", "tab\\there\\x1b[31m\\x7f"},
        {"caf\xe9.halvik", "caf\\xe9.halvik"},
        {"cut\xe2\x82", "cut\\xe2\\x82"},
        {"back\\slash", "back\\\\slash"},
        {"fdp.\u202Ekcod.halvik", "fdp.\\u202ekcod.halvik"},
        {"next\u0085line", "next\\u0085line"},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(EscapedName(name), shown) << name;
}

TEST(RecordText, RefusesARecordItCouldNotReadBack) {
    Record record = SampleRecord(3);
    record.readings.resize(5);  // marked complete, 2 readings and a half
    EXPECT_THROW(RecordText(record), RecordError);
    record = SampleRecord(3);
    record.host = "bad\xFFutf8";
    EXPECT_THROW(RecordText(record), RecordError);
    record.host = LocalHostName();
    EXPECT_NO_THROW(RecordText(record));
    using namespace std::chrono;
    record.downloadedAt = sys_days(year(10000) / January / 1);
    EXPECT_THROW(RecordText(record), RecordError);
    record.downloadedAt = sys_seconds::max();
    EXPECT_THROW(RecordText(record), RecordError);
    record.downloadedAt = sys_days(year(9999) / December / 31) + 86399s;
    EXPECT_EQ(ParseRecord(RecordText(record), kName).record, record);
}

}  // namespace
}  // namespace halvik
