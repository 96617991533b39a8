// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text and number forms of the PDF writer: UTF-8 and UTF-16, code page 1252 (the byte form
// of the WinAnsiEncoding the fonts declare), numbers independent of the user's locale,
// literal-string escaping and PDF dates.

#include <cstdint>
#include <string>
#include <string_view>

#include "pdf/PdfErrors.h"
#include "pdf/PdfStreams.h"

namespace halvik {

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// The code page 1252 byte of a UTF-16 code unit, or '?' when the code page lacks it.
std::uint8_t AnsiByte(char16_t unit);

// Writes a text as single bytes of code page 1252; characters it lacks become "?".
void WriteText(std::u16string_view text, TPdfOutputStream& stream);
void WriteText(std::u16string_view text, TPdfByteBuffer& buffer);
void WriteText(std::string_view utf8, TPdfOutputStream& stream);
void WriteText(std::string_view utf8, TPdfByteBuffer& buffer);

// The number form of real objects: the shortest text with at most 15 significant digits and no
// exponent, full stop as separator; 0 for a value that is not finite.
std::string GeneralDecimal(double value);
// The two-decimal number form of page content: floor(value * 100 + 0.5) / 100, shortest, no
// exponent, full stop as separator. 797.6f gives 797.6, 0.125 gives 0.13, -0.016 gives -0.02.
std::string FormatReal(double value);
// Appends FormatReal(value) without building a string.
void AppendReal(TPdfByteBuffer& buffer, double value);
// The room FormatShortReal needs: a sign, 13 digits, the point and two decimals.
constexpr std::size_t kShortRealChars = 17;
// Writes FormatReal(value) at `out` and returns its end when the magnitude is below 10^13 (every
// coordinate, width and colour); nullptr for anything else, which needs AppendReal.
char* FormatShortReal(char* out, double value);
// Appends a signed decimal integer.
void AppendInteger(TPdfByteBuffer& buffer, std::int64_t value);

// Literal-string escaping: ( ) \ CR LF TAB BS FF get a backslash form; nothing else changes.
std::u16string EscapeText(std::u16string_view text);
std::string EscapeText(std::string_view utf8);  // the same on UTF-8 text
// True when every byte is ASCII: the text is then its own code page 1252 form.
bool IsAsciiText(std::string_view text);
// Appends the escaped form of an ASCII text (IsAsciiText) as WriteText(EscapeText(text)) would.
void AppendEscapedAscii(TPdfByteBuffer& buffer, std::string_view ascii);
// True when the text holds a UTF-16 surrogate, i.e. a character beyond the BMP.
bool IsWideText(std::u16string_view text);
bool IsWideText(std::string_view utf8);

// Date-times are day counts since 1899-12-30 00:00, the fraction being the local time of day.
// FormatPdfDate gives "D:YYYYMMDDHHmmSS" of the value rounded to the millisecond; it fails with
// EPdfInvalidValue for a value outside the years 1 to 9999. ParsePdfDate reads that form back
// and fails with EPdfInvalidValue for any other text.
std::string FormatPdfDate(double dateTime);
double ParsePdfDate(std::string_view text);
// The day count of a calendar date and time (no range check beyond what the fields allow).
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int millisecond = 0);

}  // namespace halvik
