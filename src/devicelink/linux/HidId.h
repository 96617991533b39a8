// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cctype>
#include <charconv>
#include <cstddef>
#include <string>
#include <system_error>

namespace halvik {

// A HID device's HID_ID from its uevent, "0003:00003543:00003543" -> bus, vendor, product: three
// hexadecimal numbers, each all digits and within unsigned, and nothing else. (sscanf's %x would
// take a sign, skip blanks, wrap an overlong number and ignore what follows, so a malformed id
// could pass for our card's.) On false the outputs may hold part of the id.
inline bool ParseHidId(const std::string& hidId, unsigned& bus, unsigned& vendor,
                       unsigned& product) {
    const char* at = hidId.data();
    const char* const end = hidId.data() + hidId.size();
    unsigned* const fields[] = {&bus, &vendor, &product};
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (at == end || *at != ':')
                return false;
            ++at;
        }
        if (at == end || !std::isxdigit(static_cast<unsigned char>(*at)))
            return false;
        const std::from_chars_result parsed = std::from_chars(at, end, *fields[i], 16);
        if (parsed.ec != std::errc())
            return false;
        at = parsed.ptr;
    }
    return at == end;
}

}  // namespace halvik
