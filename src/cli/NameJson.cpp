// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/NameJson.h"

#include "records/Record.h"

namespace halvik::cli {

void PutFileName(nlohmann::ordered_json& object, const std::string& key, const std::string& name) {
    if (IsUtf8(name)) {
        object[key] = name;
        return;
    }
    // Replaced here rather than when the whole object is written, so the member is valid text
    // whichever way the object is written: the writer's own replacement, read back.
    object[key] = nlohmann::json::parse(
        nlohmann::json(name).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(name.size() * 2);
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kHex[byte >> 4];
        hex += kHex[byte & 0x0F];
    }
    object[key + "_bytes"] = hex;
}

}  // namespace halvik::cli
