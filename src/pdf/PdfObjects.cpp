#include "pdf/PdfObjects.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

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

namespace {
// The shortest text with at most 15 significant digits and no exponent, independent of the
// user's locale.
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
}  // namespace

void AppendReal(TPdfByteBuffer& buffer, double value) {
    double scaled = std::floor(value * 100.0 + 0.5);
    if (!(std::fabs(scaled) < 1e15)) {  // also NaN: PDF has no such number
        buffer.Append(std::isfinite(scaled) ? GeneralDecimal(scaled / 100.0) : "0");
        return;
    }
    std::int64_t v = static_cast<std::int64_t>(scaled);
    char text[32];
    char* p = text;
    if (v < 0) {
        *p++ = '-';
        v = -v;
    }
    std::int64_t whole = v / 100;
    int cents = static_cast<int>(v % 100);
    p = std::to_chars(p, text + sizeof text, whole).ptr;
    if (cents != 0) {
        *p++ = '.';
        *p++ = static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            *p++ = static_cast<char>('0' + cents % 10);
    }
    buffer.Append(text, static_cast<std::size_t>(p - text));
}

std::string FormatReal(double value) {
    TPdfByteBuffer buffer;
    AppendReal(buffer, value);
    return std::string(buffer.View());
}

// ---- strings ----------------------------------------------------------------------------------

namespace {
template <class Char>
void AppendEscaped(std::basic_string<Char>& out, Char c) {
    switch (c) {
        case '(':
            out += {'\\', '('};
            break;
        case ')':
            out += {'\\', ')'};
            break;
        case '\\':
            out += {'\\', '\\'};
            break;
        case '\r':
            out += {'\\', 'r'};
            break;
        case '\n':
            out += {'\\', 'n'};
            break;
        case '\t':
            out += {'\\', 't'};
            break;
        case '\b':
            out += {'\\', 'b'};
            break;
        case '\f':
            out += {'\\', 'f'};
            break;
        default:
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

// ---- objects ----------------------------------------------------------------------------------

namespace {
void WriteInt(TPdfOutputStream& s, std::int64_t value) {
    char digits[24];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    s.Write(digits, static_cast<std::size_t>(result.ptr - digits));
}

constexpr char kHex[] = "0123456789ABCDEF";

// Uppercase hexadecimal with at least two digits.
void AppendHexMin2(std::string& out, unsigned value) {
    char digits[8];
    int n = 0;
    do {
        digits[n++] = kHex[value & 0xF];
        value >>= 4;
    } while (value != 0);
    if (n < 2)
        digits[n++] = '0';
    while (n > 0)
        out.push_back(digits[--n]);
}
}  // namespace

void TPdfObject::SetObjectNumber(std::int32_t Value) {
    FObjectNumber = Value;
    FObjectType = Value > 0 ? TPdfObjectType::otIndirectObject : TPdfObjectType::otDirectObject;
}

void TPdfObject::WriteToStream(TPdfOutputStream& AStream) {
    if (FObjectType == TPdfObjectType::otDirectObject) {
        WriteValue(AStream);
        return;
    }
    WriteInt(AStream, FObjectNumber);
    AStream.Write(" ", 1);
    WriteInt(AStream, FGenerationNumber);
    AStream.Write(" R");
}

void TPdfObject::WriteValueToStream(TPdfOutputStream& AStream) {
    if (FObjectType != TPdfObjectType::otIndirectObject) {
        throw EPdfInvalidOperation("internal error wrong object type");
    }
    WriteInt(AStream, FObjectNumber);
    AStream.Write(" ", 1);
    WriteInt(AStream, FGenerationNumber);
    AStream.Write(" obj\r\n");
    WriteValue(AStream);
    AStream.Write("\r\nendobj\r\n");
}

void TPdfObject::WriteValue(TPdfOutputStream&) {}

void TPdfNull::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write("null");
}

void TPdfBoolean::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write(FValue ? std::string_view("true") : std::string_view("false"));
}

void TPdfNumber::WriteValue(TPdfOutputStream& AStream) {
    WriteInt(AStream, FValue);
}

void TPdfReal::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write(GeneralDecimal(FValue));
}

void TPdfString::WriteValue(TPdfOutputStream& AStream) {
    if (!IsWideText(FValue)) {
        TPdfByteBuffer out;
        out.AppendByte('(');
        WriteText(std::u16string_view(EscapeText(FValue)), out);
        out.AppendByte(')');
        AStream.Write(out.Data(), out.Size());
        return;
    }
    std::string out = "<";
    for (char16_t c : FValue)
        AppendHexMin2(out, c);
    out.push_back('>');
    AStream.Write(out);
}

void TPdfText::WriteValue(TPdfOutputStream& AStream) {
    if (!IsWideText(FValue)) {
        TPdfString::WriteValue(AStream);
        return;
    }
    // Byte order mark, then the language escape for "en".
    std::string out = "<FEFF001B656E001B";
    for (char16_t c : FValue) {
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kHex[(c >> shift) & 0xF]);
    }
    out.push_back('>');
    AStream.Write(out);
}

namespace {
// Characters a name spells as #xx: delimiters, "#", and everything outside 21 to 7E.
constexpr bool NeedsNameEscape(char16_t c) {
    if (c < 0x21 || c > 0x7E)
        return true;
    switch (c) {
        case '#':
        case '%':
        case '(':
        case ')':
        case '/':
        case '<':
        case '>':
        case '[':
        case ']':
        case '{':
        case '}':
            return true;
        default:
            return false;
    }
}
}  // namespace

void TPdfName::WriteValue(TPdfOutputStream& AStream) {
    bool plain = true;
    for (char c : FValue) {
        if (NeedsNameEscape(static_cast<unsigned char>(c)))
            plain = false;
    }
    if (plain) {
        char small[64];
        if (FValue.size() < sizeof small) {
            small[0] = '/';
            std::memcpy(small + 1, FValue.data(), FValue.size());
            AStream.Write(small, FValue.size() + 1);
            return;
        }
    }
    std::string out = "/";
    for (char16_t c : Utf8ToUtf16(FValue)) {
        if (NeedsNameEscape(c)) {
            out.push_back('#');
            AppendHexMin2(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    AStream.Write(out);
}

TPdfVirtualObject::TPdfVirtualObject() {
    throw EPdfError("virtualObject must be create by CreateVirtual method.");
}

TPdfVirtualObject::TPdfVirtualObject(Tag, std::int32_t AObjectId) {
    FObjectNumber = AObjectId;
    FObjectType = TPdfObjectType::otVirtualObject;
}

std::unique_ptr<TPdfVirtualObject> TPdfVirtualObject::CreateVirtual(std::int32_t AObjectId) {
    return std::unique_ptr<TPdfVirtualObject>(new TPdfVirtualObject(Tag{}, AObjectId));
}

void TPdfVirtualObject::WriteValue(TPdfOutputStream&) {}

// ---- array ------------------------------------------------------------------------------------

void TPdfArray::MakeNumberObjects() const {
    if (FNumbers.empty())
        return;
    FArray.reserve(FArray.size() + FNumbers.size());
    for (std::int32_t v : FNumbers)
        FArray.push_back(std::make_unique<TPdfNumber>(v));
    FNumbers.clear();
}

void TPdfArray::AddNumbers(const std::int32_t* values, std::size_t count) {
    FNumbers.insert(FNumbers.end(), values, values + count);
}

void TPdfArray::AddItem(std::unique_ptr<TPdfObject> AItem) {
    // A uniquely owned item cannot be in the list already, so there is nothing to look for.
    if (!AItem)
        throw EPdfInvalidValue("internal error. wrong object.");
    MakeNumberObjects();
    if (!AItem->IsDirect()) {
        FArray.push_back(TPdfVirtualObject::CreateVirtual(AItem->ObjectNumber()));
        return;
    }
    FArray.push_back(std::move(AItem));
}

void TPdfArray::AddItem(TPdfObject* AItem) {
    if (AItem == nullptr || AItem->IsDirect()) {
        throw EPdfInvalidValue("internal error. wrong object.");
    }
    MakeNumberObjects();
    FArray.push_back(TPdfVirtualObject::CreateVirtual(AItem->ObjectNumber()));
}

TPdfObject* TPdfArray::Items(int Index) const {
    if (Index < 0 || Index >= ItemCount())
        return nullptr;
    if (static_cast<std::size_t>(Index) >= FArray.size())
        MakeNumberObjects();
    TPdfObject* item = FArray[Index].get();
    if (item->ObjectType() != TPdfObjectType::otVirtualObject)
        return item;
    return FObjectMgr ? FObjectMgr->GetObject(item->ObjectNumber()) : nullptr;
}

bool TPdfArray::NumberAt(int Index, std::int32_t& AValue) const {
    if (Index < 0 || Index >= ItemCount())
        return false;
    if (static_cast<std::size_t>(Index) >= FArray.size()) {
        AValue = FNumbers[Index - FArray.size()];
        return true;
    }
    TPdfNumber* number = PdfCast<TPdfNumber>(FArray[Index].get());
    if (number == nullptr)
        return false;
    AValue = number->Value();
    return true;
}

TPdfName* TPdfArray::FindName(std::string_view AName) const {
    for (const auto& item : FArray) {
        auto* name = PdfCast<TPdfName>(item.get());
        if (name != nullptr && name->Value() == AName)
            return name;
    }
    return nullptr;
}

bool TPdfArray::RemoveName(std::string_view AName) {
    for (auto it = FArray.begin(); it != FArray.end(); ++it) {
        auto* name = PdfCast<TPdfName>(it->get());
        if (name != nullptr && name->Value() == AName) {
            FArray.erase(it);
            return true;
        }
    }
    return false;
}

void TPdfArray::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write("[", 1);
    for (const auto& item : FArray) {
        item->WriteToStream(AStream);
        AStream.Write(" ", 1);
    }
    for (std::int32_t v : FNumbers) {
        WriteInt(AStream, v);
        AStream.Write(" ", 1);
    }
    AStream.Write("]", 1);
}

// ---- dictionary -------------------------------------------------------------------------------

TPdfDictionaryElement::TPdfDictionaryElement(std::string AKey, std::unique_ptr<TPdfObject> AValue,
                                             bool AIsInternal)
    : FKey(std::move(AKey)), FValue(std::move(AValue)), FIsInternal(AIsInternal) {
    if (!FValue)
        throw EPdfInvalidValue("internal error. wrong object.");
}

void TPdfDictionary::Put(std::string_view AKey, std::unique_ptr<TPdfObject> AValue,
                         bool AIsInternal) {
    if (!AValue)
        throw EPdfInvalidValue("internal error. wrong object.");
    if (!AValue->IsDirect()) {
        AValue = TPdfVirtualObject::CreateVirtual(AValue->ObjectNumber());
    }
    RemoveItem(AKey);
    FArray.push_back(
        std::make_unique<TPdfDictionaryElement>(std::string(AKey), std::move(AValue), AIsInternal));
}

void TPdfDictionary::AddItem(std::string_view AKey, std::unique_ptr<TPdfObject> AValue) {
    Put(AKey, std::move(AValue), false);
}

void TPdfDictionary::AddItem(std::string_view AKey, TPdfObject* AIndirectValue) {
    if (AIndirectValue == nullptr || AIndirectValue->IsDirect()) {
        throw EPdfInvalidValue("internal error. wrong object.");
    }
    Put(AKey, TPdfVirtualObject::CreateVirtual(AIndirectValue->ObjectNumber()), false);
}

void TPdfDictionary::AddNumberItem(std::string_view AKey, std::int32_t AValue) {
    Put(AKey, std::make_unique<TPdfNumber>(AValue), false);
}

void TPdfDictionary::AddNameItem(std::string_view AKey, std::string AValue) {
    Put(AKey, std::make_unique<TPdfName>(std::move(AValue)), false);
}

void TPdfDictionary::AddInternalItem(std::string_view AKey, std::unique_ptr<TPdfObject> AValue) {
    Put(AKey, std::move(AValue), true);
}

void TPdfDictionary::RemoveItem(std::string_view AKey) {
    for (auto it = FArray.begin(); it != FArray.end(); ++it) {
        if ((*it)->Key().Value() == AKey) {
            FArray.erase(it);
            return;
        }
    }
}

TPdfObject* TPdfDictionary::Resolve(TPdfObject* AValue) const {
    if (AValue == nullptr || AValue->ObjectType() != TPdfObjectType::otVirtualObject)
        return AValue;
    return FObjectMgr ? FObjectMgr->GetObject(AValue->ObjectNumber()) : nullptr;
}

TPdfObject* TPdfDictionary::ValueByName(std::string_view AKey) const {
    for (const auto& element : FArray) {
        if (element->Key().Value() == AKey)
            return Resolve(element->Value());
    }
    return nullptr;
}

#define HALVIK_TYPED_LOOKUP(Method, Type)                       \
    Type* TPdfDictionary::Method(std::string_view AKey) const { \
        return PdfCast<Type>(ValueByName(AKey));                \
    }
HALVIK_TYPED_LOOKUP(PdfNumberByName, TPdfNumber)
HALVIK_TYPED_LOOKUP(PdfTextByName, TPdfText)
HALVIK_TYPED_LOOKUP(PdfRealByName, TPdfReal)
HALVIK_TYPED_LOOKUP(PdfStringByName, TPdfString)
HALVIK_TYPED_LOOKUP(PdfNameByName, TPdfName)
HALVIK_TYPED_LOOKUP(PdfDictionaryByName, TPdfDictionary)
HALVIK_TYPED_LOOKUP(PdfArrayByName, TPdfArray)
HALVIK_TYPED_LOOKUP(PdfBooleanByName, TPdfBoolean)
#undef HALVIK_TYPED_LOOKUP

void TPdfDictionary::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write("<<\r\n");
    for (const auto& element : FArray) {
        if (element->IsInternal())
            continue;
        const_cast<TPdfName&>(element->Key()).WriteValue(AStream);
        AStream.Write(" ", 1);
        element->Value()->WriteToStream(AStream);
        AStream.Write("\r\n");
    }
    AStream.Write(">>");
}

// ---- streams ----------------------------------------------------------------------------------

TPdfStream::TPdfStream(TPdfObjectMgr* AObjectMgr) : FAttributes(AObjectMgr) {
    FAttributes.AddItem("Length", std::make_unique<TPdfNumber>(0));
    FAttributes.AddItem("Filter", std::make_unique<TPdfArray>(AObjectMgr));
}

void TPdfStream::Materialize() const {
    if (!FSource)
        return;
    FStream.Clear();
    FStream.AppendSource(*FSource);
    FSource.reset();
}

TPdfByteBuffer& TPdfStream::Stream() {
    Materialize();
    return FStream;
}

const TPdfByteBuffer& TPdfStream::Stream() const {
    Materialize();
    return FStream;
}

void TPdfStream::SetSource(std::unique_ptr<TPdfStreamSource> ASource) {
    FStream.Clear();
    FSource = std::move(ASource);
}

void TPdfStream::WriteValue(TPdfOutputStream& AStream) {
    // Nothing is ever compressed: a FlateDecode filter would misdescribe the bytes.
    if (TPdfArray* filter = FAttributes.PdfArrayByName("Filter")) {
        filter->RemoveName("FlateDecode");
    }
    const std::size_t size = DataSize();
    if (size > 0x7FFFFFFF)
        throw EPdfInvalidOperation("SaveToStream --the document is too large.");
    if (TPdfNumber* length = FAttributes.PdfNumberByName("Length")) {
        length->SetValue(static_cast<std::int32_t>(size));
    } else {
        FAttributes.AddNumberItem("Length", static_cast<std::int32_t>(size));
    }
    FAttributes.WriteValue(AStream);
    AStream.Write("\r\nstream\r\n");
    if (FSource) {
        AStream.WriteSource(*FSource);
    } else {
        AStream.Write(FStream.Data(), FStream.Size());
    }
    AStream.Write("\nendstream");
}

void TPdfBinary::WriteValue(TPdfOutputStream& AStream) {
    AStream.Write(FStream.Data(), FStream.Size());
}

// ---- constructors -----------------------------------------------------------------------------

std::unique_ptr<TPdfBoolean> CreateBoolean(bool AValue) {
    return std::make_unique<TPdfBoolean>(AValue);
}
std::unique_ptr<TPdfNumber> CreateNumber(std::int32_t AValue) {
    return std::make_unique<TPdfNumber>(AValue);
}
std::unique_ptr<TPdfReal> CreateReal(double AValue) {
    return std::make_unique<TPdfReal>(AValue);
}
std::unique_ptr<TPdfString> CreateString(std::string_view AValue) {
    return std::make_unique<TPdfString>(AValue);
}
std::unique_ptr<TPdfText> CreateText(std::string_view AValue) {
    return std::make_unique<TPdfText>(AValue);
}
std::unique_ptr<TPdfName> CreateName(std::string_view AValue) {
    return std::make_unique<TPdfName>(std::string(AValue));
}
std::unique_ptr<TPdfArray> CreateArray(TPdfObjectMgr* AObjectMgr) {
    return std::make_unique<TPdfArray>(AObjectMgr);
}
std::unique_ptr<TPdfArray> CreateNumArray(TPdfObjectMgr* AObjectMgr,
                                          std::initializer_list<std::int32_t> values) {
    auto array = std::make_unique<TPdfArray>(AObjectMgr);
    array->AddNumbers(values.begin(), values.size());
    return array;
}
std::unique_ptr<TPdfDictionary> CreateDictionary(TPdfObjectMgr* AObjectMgr) {
    return std::make_unique<TPdfDictionary>(AObjectMgr);
}
std::unique_ptr<TPdfStream> CreateStream(TPdfObjectMgr* AObjectMgr) {
    return std::make_unique<TPdfStream>(AObjectMgr);
}

// ---- cross-reference table, header, trailer ---------------------------------------------------

TPdfXrefEntry::TPdfXrefEntry(std::string AEntryType, std::int32_t AGenerationNumber,
                             std::unique_ptr<TPdfObject> AValue)
    : FEntryType(std::move(AEntryType)),
      FGenerationNumber(AGenerationNumber),
      FValue(std::move(AValue)) {}

std::string TPdfXrefEntry::AsString() const {
    // "oooooooooo ggggg t" CR LF, built by hand: this runs once per object on every save.
    std::string line = "0000000000 00000 n\r\n";
    std::uint32_t offset = FByteOffset < 0 ? 0u : static_cast<std::uint32_t>(FByteOffset);
    for (int i = 9; i >= 0; --i, offset /= 10)
        line[i] = static_cast<char>('0' + offset % 10);
    std::uint32_t generation =
        FGenerationNumber < 0 ? 0u : static_cast<std::uint32_t>(FGenerationNumber);
    for (int i = 15; i >= 11; --i, generation /= 10) {
        line[i] = static_cast<char>('0' + generation % 10);
    }
    line[17] = FEntryType.empty() ? 'n' : FEntryType[0];
    return line;
}

TPdfXref::TPdfXref() {
    FXrefEntries.push_back(std::make_unique<TPdfXrefEntry>("f", 65535, nullptr));
}

void TPdfXref::AddObject(std::unique_ptr<TPdfObject> AObject) {
    if (!AObject || !AObject->IsDirect()) {
        throw EPdfInvalidOperation("AddObject --wrong object type.");
    }
    const auto number = static_cast<std::int32_t>(FXrefEntries.size());
    const std::int32_t generation = AObject->GenerationNumber();
    AObject->SetObjectNumber(number);
    FXrefEntries.push_back(std::make_unique<TPdfXrefEntry>("n", generation, std::move(AObject)));
}

TPdfObject* TPdfXref::GetObject(std::int32_t ObjectID) const {
    if (ObjectID < 0 || ObjectID >= ItemCount())
        return nullptr;
    return FXrefEntries[ObjectID]->Value();
}

void TPdfXref::WriteToStream(TPdfOutputStream& AStream) {
    std::string section = "xref\r\n0 " + std::to_string(FXrefEntries.size()) + "\r\n";
    section.reserve(section.size() + FXrefEntries.size() * 20);
    for (const auto& entry : FXrefEntries)
        section += entry->AsString();
    AStream.Write(section);
}

void TPdfHeader::WriteToStream(TPdfOutputStream& AStream) {
    AStream.Write("%PDF-1.2 \r\n");
}

TPdfTrailer::TPdfTrailer(TPdfObjectMgr* AObjectMgr) : FAttributes(AObjectMgr) {
    FAttributes.AddNumberItem("Size", 0);
}

void TPdfTrailer::WriteToStream(TPdfOutputStream& AStream) {
    AStream.Write("trailer\r\n");
    FAttributes.WriteValue(AStream);
    AStream.Write("\r\nstartxref\r\n");
    WriteInt(AStream, FXrefAddress);
    AStream.Write("\r\n%%EOF\r\n");
}

}  // namespace halvik
