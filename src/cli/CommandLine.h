// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace halvik::cli {

// Checks what CLI11 would let through before it parses: a first word that names no command, and
// an option that takes a value given none (an empty value, the end of the line, or the next
// option, which would then be swallowed with its meaning). A --limits value with a decimal comma
// is refused with a word about the separator. Throws UsageError.
void CheckCommandLine(const CLI::App& app, int argc, const char* const* argv);

// Exit status for a parse error: help and --version (0) go out as CLI11 writes them; every other
// error is said on standard error as "halvik-cli: <what>" with a pointer to --help (2).
int ParseErrorStatus(const CLI::App& app, const CLI::ParseError& error);

// One output file an option names.
struct OutputName {
    std::string option;  // "--csv"
    std::string path;
};

// Throws UsageError when two outputs name the same file, or one names `input` (the record read)
// or any existing record file: a record is never overwritten. Outputs that are not given (empty
// paths) and standard output ("-") are skipped.
void CheckOutputNames(const std::string& input, const std::vector<OutputName>& outputs);

}  // namespace halvik::cli
