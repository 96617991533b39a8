// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "cli/TimeBaseOption.h"

namespace halvik::cli {

// `halvik-cli records`: the records folder through its index.
struct RecordsOptions {
    std::string pid, since, until;
    bool alarm = false, ok = false, incomplete = false, changed = false;
    bool json = false, verify = false, reindex = false;
    TimeBaseOption tz;
};

// Adds the `records` subcommand and its options to `app`.
CLI::App* AddRecordsCommand(CLI::App& app, RecordsOptions& options);

// Lists, verifies or reindexes the records folder. Exit status: 0 done, 1 (--verify) a record
// changed after its download or that cannot be read. Throws UsageError for a date that is not
// one, LibraryError when the folder cannot be read.
int RunRecords(const RecordsOptions& options);

}  // namespace halvik::cli
