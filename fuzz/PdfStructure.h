// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A reader's view of a saved PDF file, small enough to run on every fuzz input: the file frame,
// the cross-reference section against the objects, each stream's /Length against its bytes,
// and every literal string of the content streams read to its closing parenthesis.

#include <cctype>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>

namespace halvik::fuzz {

// Reads a literal string's body (between the outer parentheses) as a PDF reader does: escapes
// resolved, an end of line in the text read as one LF, a backslash before an end of line
// dropped with it. False when the body would end the string early or leaves it open.
template <class Char>
bool UnescapeLiteral(std::basic_string_view<Char> body, std::basic_string<Char>& out) {
    out.clear();
    int depth = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const Char c = body[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth < 0)
                return false;
        } else if (c == '\r') {
            out.push_back('\n');
            if (i + 1 < body.size() && body[i + 1] == '\n')
                ++i;
            continue;
        } else if (c == '\\') {
            if (++i == body.size())
                return false;
            const Char e = body[i];
            switch (e) {
                case 'n':
                    out.push_back('\n');
                    continue;
                case 'r':
                    out.push_back('\r');
                    continue;
                case 't':
                    out.push_back('\t');
                    continue;
                case 'b':
                    out.push_back('\b');
                    continue;
                case 'f':
                    out.push_back('\f');
                    continue;
                case '\r':
                    if (i + 1 < body.size() && body[i + 1] == '\n')
                        ++i;
                    continue;
                case '\n':
                    continue;
                default:
                    break;
            }
            if (e >= '0' && e <= '7') {
                unsigned value = 0;
                std::size_t k = 0;
                while (k < 3 && i < body.size() && body[i] >= '0' && body[i] <= '7') {
                    value = value * 8 + static_cast<unsigned>(body[i] - '0');
                    ++i, ++k;
                }
                --i;
                out.push_back(static_cast<Char>(value & 0xFF));
                continue;
            }
            out.push_back(e);  // \( \) \\ and an unknown escape: the character itself
            continue;
        }
        out.push_back(c);
    }
    return depth == 0;
}

inline bool UnescapeLiteral(const std::u16string& body, std::u16string& out) {
    return UnescapeLiteral(std::u16string_view(body), out);
}

namespace detail {

inline bool Fail(std::string& problem, std::string text) {
    problem = std::move(text);
    return false;
}

// The unsigned decimal number at `at`, or -1.
inline long long NumberAt(std::string_view file, std::size_t at) {
    if (at >= file.size() || file[at] < '0' || file[at] > '9')
        return -1;
    long long value = 0;
    while (at < file.size() && file[at] >= '0' && file[at] <= '9' && value < (1LL << 40))
        value = value * 10 + (file[at++] - '0');
    return value;
}

inline std::size_t SkipEol(std::string_view file, std::size_t at) {
    if (at < file.size() && file[at] == '\r')
        ++at;
    if (at < file.size() && file[at] == '\n')
        ++at;
    return at;
}

// Every literal string in a content stream closes, and hex strings hold hex digits only.
inline bool CheckContent(std::string_view content, std::string& problem) {
    std::size_t i = 0;
    while (i < content.size()) {
        const char c = content[i];
        if (c == '(') {
            int depth = 1;
            std::size_t j = i + 1;
            for (; j < content.size() && depth > 0; ++j) {
                if (content[j] == '\\')
                    ++j;
                else if (content[j] == '(')
                    ++depth;
                else if (content[j] == ')')
                    --depth;
            }
            if (depth != 0)
                return Fail(problem, "a literal string in a content stream is never closed");
            std::string body;
            if (!UnescapeLiteral(content.substr(i + 1, j - i - 2), body))
                return Fail(problem, "a literal string in a content stream does not read back");
            i = j;
        } else if (c == ')') {
            return Fail(problem, "a ')' outside a string in a content stream");
        } else if (c == '<' && i + 1 < content.size() && content[i + 1] != '<') {
            const std::size_t end = content.find('>', i);
            if (end == std::string_view::npos)
                return Fail(problem, "a hex string in a content stream is never closed");
            for (std::size_t k = i + 1; k < end; ++k) {
                if (!std::isxdigit(static_cast<unsigned char>(content[k])) &&
                    !std::isspace(static_cast<unsigned char>(content[k])))
                    return Fail(problem, "a hex string holds a character that is not hex");
            }
            i = end + 1;
        } else {
            ++i;
        }
    }
    return true;
}

// The object at `offset` ("N 0 obj ... endobj"): a stream's /Length matches its bytes, and
// content streams (streams that are not images) pass CheckContent. Texts in a stream may hold
// "endobj", so the object's end is looked for after the stream.
inline bool CheckObject(std::string_view file, std::size_t offset, std::string& problem) {
    const std::size_t endobj = file.find("endobj", offset);
    if (endobj == std::string_view::npos)
        return Fail(problem, "no endobj");
    const std::size_t keyword = file.find("stream", offset);
    if (keyword == std::string_view::npos || keyword > endobj)
        return true;
    const std::string_view dictionary = file.substr(offset, keyword - offset);
    const std::size_t lengthKey = dictionary.find("/Length ");
    if (lengthKey == std::string_view::npos)
        return Fail(problem, "a stream without a direct /Length");
    const long long length = NumberAt(dictionary, lengthKey + 8);
    if (length < 0)
        return Fail(problem, "a stream whose /Length is not a number");
    const std::size_t data = SkipEol(file, keyword + 6);
    if (data == keyword + 6)
        return Fail(problem, "'stream' is not followed by an end of line");
    if (data + static_cast<std::size_t>(length) > file.size())
        return Fail(problem, "a stream's /Length runs past the file");
    const std::size_t after = SkipEol(file, data + static_cast<std::size_t>(length));
    if (file.substr(after, 9) != "endstream")
        return Fail(problem, "a stream's /Length does not end at 'endstream'");
    if (file.substr(SkipEol(file, after + 9), 6) != "endobj")
        return Fail(problem, "'endstream' is not followed by 'endobj'");
    if (dictionary.find("/Image") == std::string_view::npos)
        return CheckContent(file.substr(data, static_cast<std::size_t>(length)), problem);
    return true;
}

}  // namespace detail

inline bool CheckPdfStructure(std::string_view file, std::string& problem) {
    using detail::Fail;
    using detail::NumberAt;
    if (file.substr(0, 7) != "%PDF-1.")
        return Fail(problem, "the file does not start with %PDF-1.");
    const std::size_t eof = file.rfind("%%EOF");
    if (eof == std::string_view::npos || detail::SkipEol(file, eof + 5) != file.size())
        return Fail(problem, "the file does not end with %%EOF");
    const std::size_t startxref = file.rfind("startxref");
    if (startxref == std::string_view::npos)
        return Fail(problem, "no startxref");
    const long long xref = NumberAt(file, detail::SkipEol(file, startxref + 9));
    if (xref < 0 || file.substr(static_cast<std::size_t>(xref), 4) != "xref")
        return Fail(problem, "startxref does not point at the cross-reference section");
    std::size_t at = detail::SkipEol(file, static_cast<std::size_t>(xref) + 4);
    if (NumberAt(file, at) != 0 || file.substr(at, 2) != "0 ")
        return Fail(problem, "the cross-reference section does not start at object 0");
    const long long count = NumberAt(file, at + 2);
    if (count < 1)
        return Fail(problem, "the cross-reference section has no entries");
    at = detail::SkipEol(file, file.find_first_of("\r\n", at));
    if (at + static_cast<std::size_t>(count) * 20 > file.size())
        return Fail(problem, "the cross-reference section is cut off");
    for (long long n = 1; n < count; ++n) {
        const std::string_view entry = file.substr(at + static_cast<std::size_t>(n) * 20, 20);
        if (entry[17] != 'n')
            continue;
        const long long offset = NumberAt(entry, 0);
        const std::string head = std::to_string(n) + " 0 obj";
        if (offset < 0 || file.substr(static_cast<std::size_t>(offset), head.size()) != head)
            return Fail(problem, "the cross-reference entry of object " + std::to_string(n) +
                                     " does not point at it");
        if (!detail::CheckObject(file, static_cast<std::size_t>(offset), problem))
            return Fail(problem, "object " + std::to_string(n) + ": " + problem);
    }
    const std::size_t trailer = file.find("trailer", at + static_cast<std::size_t>(count) * 20);
    if (trailer == std::string_view::npos)
        return Fail(problem, "no trailer after the cross-reference section");
    const std::size_t sizeKey = file.find("/Size ", trailer);
    if (sizeKey == std::string_view::npos || NumberAt(file, sizeKey + 6) != count)
        return Fail(problem, "the trailer's /Size differs from the cross-reference section");
    return true;
}

}  // namespace halvik::fuzz
