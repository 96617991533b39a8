// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/Record.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>

#include "logger/Conversions.h"
#include "logger/Header.h"

namespace halvik {

namespace {

constexpr std::string_view kFormatName = "halvik-record";
constexpr char kHexDigits[] = "0123456789abcdef";

std::string HexText(const std::vector<std::uint8_t>& bytes) {
    std::string text(2 * bytes.size(), '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = kHexDigits[bytes[i] >> 4];
        text[2 * i + 1] = kHexDigits[bytes[i] & 0x0F];
    }
    return text;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Lowercase hex only, so that one byte string has exactly one text (the digest is over the text).
bool ParseHex(std::string_view text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 2 != 0)
        return false;
    bytes.resize(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return true;
}

std::string Digits(int value, int width) {
    std::string text(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10)
        text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    return text;
}

// "YYYY-MM-DDTHH:MM:SSZ" exactly, a real date and time.
bool ParseUtcText(std::string_view text, std::chrono::sys_seconds& time) {
    using namespace std::chrono;
    constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kPattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i])
            return false;
    }
    auto number = [text](std::size_t at, std::size_t width) {
        int value = 0;
        for (std::size_t i = at; i < at + width; ++i)
            value = value * 10 + (text[i] - '0');
        return value;
    };
    const year_month_day date{year(number(0, 4)), month(unsigned(number(5, 2))),
                              day(unsigned(number(8, 2)))};
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!date.ok() || hour > 23 || minute > 59 || second > 59)
        return false;
    time = sys_days(date) + hours(hour) + minutes(minute) + seconds(second);
    return true;
}

// Calls `each(code point, offset)` for every UTF-8 character of `text` up to the first byte
// that does not belong to a well-formed one (overlong forms, surrogates and values above
// U+10FFFF are not), and returns that byte's offset: text.size() when all of it is UTF-8.
template <typename Each>
std::size_t ScanUtf8(std::string_view text, Each each) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t c = 0, lowest = 0;
        if (lead < 0x80)
            length = 1, c = lead;
        else if (lead >= 0xC2 && lead <= 0xDF)
            length = 2, c = lead & 0x1F, lowest = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, c = lead & 0x0F, lowest = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, c = lead & 0x07, lowest = 0x10000;
        else
            return i;
        if (text.size() - i < length)
            return i;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return i;
            c = c << 6 | (next & 0x3F);
        }
        if (c < lowest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return i;
        each(c, i);
        i += length;
    }
    return i;
}

// Control characters (C0, DEL, C1) and the marks that reorder text on screen: a host name or
// version holding them could pass for another when shown.
bool IsHiddenCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TextProblem(const std::string& text, const char* what) {
    bool hidden = false;
    const std::size_t bad = ScanUtf8(
        text, [&hidden](char32_t c, std::size_t) { hidden = hidden || IsHiddenCharacter(c); });
    if (bad != text.size())
        return std::string("The ") + what + " is not UTF-8 text.";
    if (hidden)
        return std::string("The ") + what + " holds control characters or text direction marks.";
    return {};
}

const char* UnitLetter(TemperatureUnit unit) {
    return unit == TemperatureUnit::Celsius ? "C" : "F";
}

// The members of the file in their order, without "sha256". The digest input is their values
// in this order, one per line.
nlohmann::ordered_json Members(const Record& record) {
    nlohmann::ordered_json members;
    members["format"] = kFormatName;
    members["version"] = kRecordFormatVersion;
    members["downloaded_utc"] = UtcTimeText(record.downloadedAt);
    members["host"] = record.host;
    members["program_version"] = record.programVersion;
    members["unit"] = UnitLetter(record.unit);
    members["complete"] = record.complete;
    members["count"] = RecordReadingCount(record);
    members["header"] = HexText(record.header);
    members["readings"] = HexText(record.readings);
    return members;
}

std::string DigestOfMembers(const nlohmann::ordered_json& members) {
    std::string input;
    for (const auto& member : members) {
        if (member.is_string())
            input += member.get_ref<const std::string&>();
        else
            input += member.dump();
        input += '\n';
    }
    return input;
}

std::string Sha256Hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        throw RecordError("SHA-256 is not available from the system's crypto library.");
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHexDigits[digest[i] >> 4];
        text += kHexDigits[digest[i] & 0x0F];
    }
    return text;
}

// Deeper than any record needs (its members are single values; unknown members may hold more).
constexpr int kMaxNesting = 32;
constexpr std::size_t kQuotedLength = 40;

// A value as a message quotes it: JSON in ASCII, at most a short prefix of it.
std::string Quoted(const nlohmann::json& value) {
    std::string text = value.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
    if (text.size() > kQuotedLength) {
        text.resize(kQuotedLength);
        text += "...";
    }
    return text;
}

// Why a file's text is not a usable record: "Cannot open the record <name>: <reason>".
[[noreturn]] void Refuse(std::string_view fileName, const std::string& reason) {
    throw RecordError("Cannot open the record " + std::string(fileName) + ": " + reason);
}

const nlohmann::json& Member(const nlohmann::json& object, const char* name,
                             std::string_view fileName) {
    auto found = object.find(name);
    if (found == object.end())
        Refuse(fileName, std::string("its \"") + name + "\" field is missing.");
    return *found;
}

std::string StringMember(const nlohmann::json& object, const char* name,
                         std::string_view fileName) {
    const nlohmann::json& value = Member(object, name, fileName);
    if (!value.is_string())
        Refuse(fileName, std::string("its \"") + name + "\" field is not a text.");
    return value.get<std::string>();
}

std::vector<std::uint8_t> HexMember(const nlohmann::json& object, const char* name,
                                    std::string_view fileName) {
    std::vector<std::uint8_t> bytes;
    if (!ParseHex(StringMember(object, name, fileName), bytes))
        Refuse(fileName, std::string("its \"") + name +
                             "\" field is not a sequence of bytes in lowercase hex.");
    return bytes;
}

}  // namespace

int RecordReadingCount(const Record& record) {
    DownloadState state;
    ReadHeader(state, record.header.data(), record.header.size());
    return state.RecordCount;
}

std::optional<std::chrono::sys_seconds> RecordFirstReading(const Record& record) {
    using namespace std::chrono;
    DownloadState state;
    if (!ReadHeader(state, record.header.data(), record.header.size()).accepted)
        return std::nullopt;
    const int hour = TextToInt(state.HeaderHourText), minute = TextToInt(state.HeaderMinuteText);
    const year_month_day date{year(TextToInt(state.StartYearText)),
                              month(unsigned(TextToInt(state.HeaderMonthText))),
                              day(unsigned(TextToInt(state.HeaderDayText)))};
    if (!date.ok() || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    return sys_days(date) + hours(hour) + minutes(minute);
}

int RecordReadingsReceived(const Record& record) {
    const auto pairs = static_cast<long long>(record.readings.size() / 2);
    return static_cast<int>(std::min<long long>(pairs, RecordReadingCount(record)));
}

std::string RecordProblem(const Record& record) {
    if (record.header.size() < kHeaderDataLength || record.header.size() > kMaxRecordHeaderBytes)
        return "The header holds " + std::to_string(record.header.size()) + " bytes; a record " +
               "needs " + std::to_string(kHeaderDataLength) + " to " +
               std::to_string(kMaxRecordHeaderBytes) + ".";
    if (record.readings.size() > kMaxRecordReadingBytes)
        return "The readings take " + std::to_string(record.readings.size()) +
               " bytes, more than the " + std::to_string(kMaxRecordReadingBytes) +
               " a record may hold.";
    const int count = RecordReadingCount(record);
    const std::size_t needed = 2 * static_cast<std::size_t>(count);
    if (record.complete && record.readings.size() < needed)
        return "The download is marked complete but holds " +
               std::to_string(record.readings.size()) + " reading bytes; its " +
               std::to_string(count) + " readings need " + std::to_string(needed) + ".";
    if (!record.complete && record.readings.size() >= needed)
        return "The download is marked incomplete but holds all " + std::to_string(count) +
               " readings.";
    using std::chrono::sys_days, std::chrono::year, std::chrono::January;
    if (record.downloadedAt < sys_days(year(0) / January / 1) ||
        record.downloadedAt >= sys_days(year(10000) / January / 1))
        return "The download time lies outside the years 0 to 9999.";
    if (std::string problem = TextProblem(record.host, "host name"); !problem.empty())
        return problem;
    return TextProblem(record.programVersion, "program version");
}

std::string LocalHostName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0')
        return "localhost";
    std::string name(buffer);
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F)  // host names are ASCII; anything else is replaced
            c = '?';
    }
    return name;
}

std::string UtcTimeText(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    const sys_days day = floor<days>(time);
    const year_month_day date(day);
    const hh_mm_ss<seconds> clock(time - day);
    return Digits(int(date.year()), 4) + "-" + Digits(int(unsigned(date.month())), 2) + "-" +
           Digits(int(unsigned(date.day())), 2) + "T" + Digits(int(clock.hours().count()), 2) +
           ":" + Digits(int(clock.minutes().count()), 2) + ":" +
           Digits(int(clock.seconds().count()), 2) + "Z";
}

std::string DigestInput(const Record& record) {
    return DigestOfMembers(Members(record));
}

std::string RecordDigest(const Record& record) {
    return Sha256Hex(DigestInput(record));
}

std::string RecordText(const Record& record) {
    if (std::string problem = RecordProblem(record); !problem.empty())
        throw RecordError("The download cannot be kept as a record: " + problem);
    nlohmann::ordered_json members = Members(record);
    const std::string digest = Sha256Hex(DigestOfMembers(members));
    members["sha256"] = digest;
    std::string text = members.dump();
    text += '\n';
    return text;
}

bool IsUtf8(std::string_view text) {
    return ScanUtf8(text, [](char32_t, std::size_t) {}) == text.size();
}

std::string EscapedName(std::string_view name) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(name.size());
    while (!name.empty()) {
        const std::size_t good = ScanUtf8(name, [&text, name](char32_t c, std::size_t at) {
            if (c == '\\') {
                text += "\\\\";
            } else if (c == '\n') {
                text += "\\n";
            } else if (c == '\t') {
                text += "\\t";
            } else if (c < 0x80 && IsHiddenCharacter(c)) {
                text += "\\x";
                text += kHex[c >> 4];
                text += kHex[c & 0x0F];
            } else if (IsHiddenCharacter(c)) {
                text += "\\u";
                for (int shift = 12; shift >= 0; shift -= 4)
                    text += kHex[c >> shift & 0x0F];
            } else {
                const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
                text.append(name.substr(at, length));
            }
        });
        if (good == name.size())
            break;
        const auto byte = static_cast<unsigned char>(name[good]);
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
        name.remove_prefix(good + 1);
    }
    return text;
}

LoadedRecord ParseRecord(std::string_view text, std::string_view fileName) {
    if (text.empty())
        Refuse(fileName, "the file is empty.");
    if (text.size() > kMaxRecordFileSize)
        Refuse(fileName, "the file is larger than the " + std::to_string(kMaxRecordFileSize) +
                             " bytes a record can take.");
    if (const std::size_t bad = ScanUtf8(text, [](char32_t, std::size_t) {}); bad != text.size())
        Refuse(fileName, "it is not a Halvik record (its text is not UTF-8 at byte " +
                             std::to_string(bad + 1) + ").");
    // Refused while parsing, before anything is built from them: values nested deeper than any
    // record needs (printing or freeing them would recurse), and a member given twice (one
    // reader would take the first, another the last).
    std::set<std::string, std::less<>> members;
    auto check = [&members, fileName](int depth, nlohmann::json::parse_event_t event,
                                      nlohmann::json& parsed) {
        using Event = nlohmann::json::parse_event_t;
        if ((event == Event::object_start || event == Event::array_start) && depth >= kMaxNesting)
            Refuse(fileName, "it is not a Halvik record (its values are nested more than " +
                                 std::to_string(kMaxNesting) + " deep).");
        if (event == Event::key && depth == 1 && !members.insert(parsed.get<std::string>()).second)
            Refuse(fileName, "its " + Quoted(parsed) + " field is given twice.");
        return true;
    };
    nlohmann::json object;
    try {
        object = nlohmann::json::parse(text, check);
    } catch (const nlohmann::json::exception& error) {
        const auto* parseError = dynamic_cast<const nlohmann::json::parse_error*>(&error);
        Refuse(fileName, "it is not a Halvik record (its text is not complete JSON" +
                             (parseError != nullptr
                                  ? ", it breaks off at byte " + std::to_string(parseError->byte)
                                  : std::string()) +
                             ").");
    }
    if (!object.is_object() || !object.contains("format") || object["format"] != kFormatName)
        Refuse(fileName, "it is not a Halvik record (no \"format\": \"halvik-record\").");
    const nlohmann::json& version = Member(object, "version", fileName);
    if (!version.is_number_integer())
        Refuse(fileName, "its format version is not a whole number.");
    if (version != kRecordFormatVersion)
        Refuse(fileName, "it has format version " + Quoted(version) +
                             ", and this Halvik reads version " +
                             std::to_string(kRecordFormatVersion) + " only.");

    LoadedRecord loaded;
    Record& record = loaded.record;
    if (!ParseUtcText(StringMember(object, "downloaded_utc", fileName), record.downloadedAt))
        Refuse(fileName, "its download time is not a UTC time like 2026-01-12T08:00:00Z.");
    record.host = StringMember(object, "host", fileName);
    record.programVersion = StringMember(object, "program_version", fileName);
    const std::string unit = StringMember(object, "unit", fileName);
    if (unit != "C" && unit != "F")
        Refuse(fileName, "its unit is " + Quoted(unit) + ", not \"C\" or \"F\".");
    record.unit = unit == "C" ? TemperatureUnit::Celsius : TemperatureUnit::Fahrenheit;
    const nlohmann::json& complete = Member(object, "complete", fileName);
    if (!complete.is_boolean())
        Refuse(fileName, "its \"complete\" field is not true or false.");
    record.complete = complete.get<bool>();
    record.header = HexMember(object, "header", fileName);
    record.readings = HexMember(object, "readings", fileName);
    if (std::string problem = RecordProblem(record); !problem.empty())
        Refuse(fileName, problem);
    const nlohmann::json& count = Member(object, "count", fileName);
    if (!count.is_number_integer())
        Refuse(fileName, "its reading count " + Quoted(count) + " is not a whole number.");
    if (count != RecordReadingCount(record))
        Refuse(fileName, "its reading count " + Quoted(count) +
                             " disagrees with the header's count of " +
                             std::to_string(RecordReadingCount(record)) + ".");
    const std::string stored = StringMember(object, "sha256", fileName);

    loaded.intact = stored == RecordDigest(record);
    if (!loaded.intact)
        loaded.problem = "The record " + std::string(fileName) +
                         " was changed after download: its SHA-256 digest does not match its "
                         "content.";
    return loaded;
}

}  // namespace halvik
