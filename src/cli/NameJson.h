// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace halvik::cli {

// A file name in the JSON outputs. File names are bytes and JSON text is Unicode, so:
// `key` holds the name as text, each byte that is not part of well-formed UTF-8 written as
// U+FFFD, which every JSON reader accepts; when that lost anything, `key` + "_bytes" follows
// with all of the name's bytes as lowercase hex ("2f746d702f636166e9"), from which a script gets
// the exact name back. A name that is UTF-8 has no "_bytes" member.
void PutFileName(nlohmann::ordered_json& object, const std::string& key, const std::string& name);

}  // namespace halvik::cli
