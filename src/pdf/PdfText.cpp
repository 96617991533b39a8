// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/PdfText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace halvik {

// ---- UTF-8 / UTF-16 -------------------------------------------------------------------------

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        char32_t cp = 0;
        int extra = 0;
        char32_t minimum = 0;
        if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
            minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
            minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            extra = 3;
            minimum = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (s[j] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[j] & 0x3F);
        }
        if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            i = ok ? j : (j > i + 1 ? j : i + 1);
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i = j;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

// ---- code page 1252 ---------------------------------------------------------------------------

namespace {
// The characters of bytes 80 to 9F; 0 where the byte maps to the C1 control of its own value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};
}  // namespace

std::uint8_t AnsiByte(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return static_cast<std::uint8_t>(unit);
    if (unit <= 0x9F) {
        // A C1 control is in the code page only where the byte has no other character.
        return kCp1252High[unit - 0x80] == 0 ? static_cast<std::uint8_t>(unit) : '?';
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit)
            return static_cast<std::uint8_t>(0x80 + i);
    }
    return '?';
}

void WriteText(std::u16string_view text, TPdfByteBuffer& buffer) {
    std::uint8_t* out = buffer.Extend(text.size());
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        // A character beyond the BMP is one character: one "?".
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            ++i;
            out[n++] = '?';
            continue;
        }
        out[n++] = c < 0x80 ? static_cast<std::uint8_t>(c) : AnsiByte(c);
    }
    buffer.Resize(buffer.Size() - (text.size() - n));
}

void WriteText(std::u16string_view text, TPdfOutputStream& stream) {
    TPdfByteBuffer buffer;
    WriteText(text, buffer);
    stream.Write(buffer.Data(), buffer.Size());
}

void WriteText(std::string_view utf8, TPdfByteBuffer& buffer) {
    std::size_t i = 0;
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    if (i == utf8.size()) {
        buffer.Append(utf8);
        return;
    }
    buffer.Append(utf8.substr(0, i));
    WriteText(std::u16string_view(Utf8ToUtf16(utf8.substr(i))), buffer);
}

void WriteText(std::string_view utf8, TPdfOutputStream& stream) {
    std::size_t i = 0;
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    if (i == utf8.size()) {
        stream.Write(utf8);
        return;
    }
    TPdfByteBuffer buffer;
    WriteText(utf8, buffer);
    stream.Write(buffer.Data(), buffer.Size());
}

// ---- numbers ----------------------------------------------------------------------------------

void AppendInteger(TPdfByteBuffer& buffer, std::int64_t value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    buffer.Append(digits, static_cast<std::size_t>(result.ptr - digits));
}

std::string GeneralDecimal(double value) {
    if (!std::isfinite(value))
        return "0";
    char text[400];
    auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    std::string s(text, result.ptr);
    if (s.find('e') == std::string::npos)
        return s;
    // Very large or small magnitudes: fixed notation, trailing zeros dropped.
    result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 20);
    s.assign(text, result.ptr);
    if (s.find('.') != std::string::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    }
    if (s == "-0")
        s = "0";
    return s;
}

char* FormatShortReal(char* out, double value) {
    const double scaled = std::floor(value * 100.0 + 0.5);
    if (!(std::fabs(scaled) < 1e15))  // also NaN
        return nullptr;
    std::int64_t v = static_cast<std::int64_t>(scaled);
    char* p = out;
    if (v < 0) {
        *p++ = '-';
        v = -v;
    }
    std::int64_t whole = v / 100;
    int cents = static_cast<int>(v % 100);
    p = std::to_chars(p, out + kShortRealChars, whole).ptr;
    if (cents != 0) {
        *p++ = '.';
        *p++ = static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            *p++ = static_cast<char>('0' + cents % 10);
    }
    return p;
}

void AppendReal(TPdfByteBuffer& buffer, double value) {
    char text[kShortRealChars];
    if (const char* end = FormatShortReal(text, value)) {
        buffer.Append(text, static_cast<std::size_t>(end - text));
        return;
    }
    const double scaled = std::floor(value * 100.0 + 0.5);
    // PDF has no infinity or NaN.
    buffer.Append(std::isfinite(scaled) ? GeneralDecimal(scaled / 100.0) : "0");
}

std::string FormatReal(double value) {
    TPdfByteBuffer buffer;
    AppendReal(buffer, value);
    return std::string(buffer.View());
}

// ---- strings ----------------------------------------------------------------------------------

namespace {
// What follows the backslash in a literal string's escape of `c`, or 0 when `c` stands as it is.
char EscapeLetter(char16_t c) {
    switch (c) {
        case '(':
        case ')':
        case '\\':
            return static_cast<char>(c);
        case '\r':
            return 'r';
        case '\n':
            return 'n';
        case '\t':
            return 't';
        case '\b':
            return 'b';
        case '\f':
            return 'f';
        default:
            return 0;
    }
}

template <class Char>
void AppendEscaped(std::basic_string<Char>& out, Char c) {
    if (const char letter = EscapeLetter(static_cast<std::make_unsigned_t<Char>>(c))) {
        out.push_back('\\');
        out.push_back(letter);
    } else {
        out.push_back(c);
    }
}
}  // namespace

std::u16string EscapeText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() + 8);
    for (char16_t c : text)
        AppendEscaped(out, c);
    return out;
}

std::string EscapeText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 8);
    for (char c : utf8)
        AppendEscaped(out, c);  // UTF-8 continuation bytes never match
    return out;
}

bool IsAsciiText(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

void AppendEscapedAscii(TPdfByteBuffer& buffer, std::string_view ascii) {
    const std::size_t before = buffer.Size();
    std::uint8_t* const start = buffer.Extend(2 * ascii.size());  // every byte escaped at most
    std::uint8_t* p = start;
    for (char c : ascii) {
        if (const char letter = EscapeLetter(static_cast<unsigned char>(c))) {
            *p++ = '\\';
            *p++ = static_cast<std::uint8_t>(letter);
        } else {
            *p++ = static_cast<std::uint8_t>(c);
        }
    }
    buffer.Resize(before + static_cast<std::size_t>(p - start));
}

bool IsWideText(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0xD800 && c <= 0xDFFF)
            return true;
    }
    return false;
}

bool IsWideText(std::string_view utf8) {
    // Four-byte sequences are the characters beyond the BMP.
    for (char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xF8) == 0xF0)
            return true;
    }
    return false;
}

// ---- dates ------------------------------------------------------------------------------------

namespace {
constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kUnixEpochDay = 25569;  // 1970-01-01 as a day count
constexpr std::int64_t kFirstDay = -693593;    // 0001-01-01
constexpr std::int64_t kLastDay = 2958465;     // 9999-12-31

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yoe = year - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}
}  // namespace

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond) {
    const double date = static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochDay);
    const double time =
        (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) / kMsPerDay;
    return date < 0 ? date - time : date + time;
}

std::string FormatPdfDate(double dateTime) {
    const double scaled = std::nearbyint(dateTime * static_cast<double>(kMsPerDay));
    if (!std::isfinite(scaled) || std::fabs(scaled) > 9.0e17) {
        throw EPdfInvalidValue("FormatPdfDate --invalid date.");
    }
    const auto total = static_cast<std::int64_t>(scaled);
    const std::int64_t days = total / kMsPerDay;
    std::int64_t ms = (total < 0 ? -total : total) % kMsPerDay;
    if (days < kFirstDay || days > kLastDay)
        throw EPdfInvalidValue("FormatPdfDate --invalid date.");
    int year, month, day;
    CivilFromDays(days - kUnixEpochDay, year, month, day);
    const int hour = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    const int minute = static_cast<int>(ms / 60000);
    ms %= 60000;
    const int second = static_cast<int>(ms / 1000);
    char text[32];
    std::snprintf(text, sizeof text, "D:%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return text;
}

double ParsePdfDate(std::string_view text) {
    auto field = [&](std::size_t pos, std::size_t len) {
        int value = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (text[i] < '0' || text[i] > '9')
                throw EPdfInvalidValue("ParsePdfDate --invalid date.");
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (text.size() < 16 || text.substr(0, 2) != "D:") {
        throw EPdfInvalidValue("ParsePdfDate --invalid date.");
    }
    const int year = field(2, 4), month = field(6, 2), day = field(8, 2);
    const int hour = field(10, 2), minute = field(12, 2), second = field(14, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        throw EPdfInvalidValue("ParsePdfDate --invalid date.");
    }
    return EncodeDateTime(year, month, day, hour, minute, second);
}

}  // namespace halvik
