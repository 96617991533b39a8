// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string_view>

#include "cli/Output.h"
#include "records/RecordStore.h"

namespace halvik::cli {

namespace {

// The long names of the options of `app` that take a value (not those of its commands: one
// command's flag may share its name with another's option).
void ValueOptions(const CLI::App& app, std::set<std::string>& names) {
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_items_expected_min() == 0 || option->get_positional())
            continue;
        for (const std::string& name : option->get_lnames())
            names.insert("--" + name);
    }
}

void CheckValue(const std::string& option, std::string_view value, bool atEnd) {
    if (atEnd)
        throw UsageError(option + " needs a value");
    // --tz says itself, for an empty value, where the zones' names are listed.
    if (value.empty() && option != "--tz")
        throw UsageError(option + ": the value is empty");
    if (value.substr(0, 2) == "--")
        throw UsageError(option + " needs a value, not the option " + std::string(value));
    if (option == "--limits" && value.find(',') != std::string_view::npos)
        throw UsageError("--limits: write the decimal separator as \".\" (LOW:HIGH, 2.5:8)");
}

}  // namespace

void CheckCommandLine(const CLI::App& app, int argc, const char* const* argv) {
    std::set<std::string> options;
    ValueOptions(app, options);
    if (argc > 1 && argv[1][0] != '-') {
        const std::string command = argv[1];
        const auto commands = app.get_subcommands({});
        const auto found =
            std::find_if(commands.begin(), commands.end(),
                         [&command](const CLI::App* c) { return c->get_name() == command; });
        if (found == commands.end()) {
            std::string names;
            for (const CLI::App* c : commands)
                names += (names.empty() ? "" : ", ") + c->get_name();
            throw UsageError("unknown command " + EscapedName(command) + " (commands: " + names +
                             ")");
        }
        ValueOptions(**found, options);
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--")
            break;
        if (const auto equals = word.find('='); word.substr(0, 2) == "--" && equals != word.npos) {
            const std::string option(word.substr(0, equals));
            if (options.count(option) != 0)
                CheckValue(option, word.substr(equals + 1), false);
        } else if (options.count(std::string(word)) != 0) {
            CheckValue(std::string(word), i + 1 < argc ? argv[i + 1] : "", i + 1 >= argc);
            ++i;
        }
    }
}

int ParseErrorStatus(const CLI::App& app, const CLI::ParseError& error) {
    if (error.get_exit_code() == 0)
        return app.exit(error);
    Problem(error.what());
    std::fputs("Run with --help for more information.\n", stderr);
    return 2;
}

void CheckOutputNames(const std::string& input, const std::vector<OutputName>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputName& output = outputs[i];
        if (output.path.empty() || output.path == "-")
            continue;
        if (!input.empty() && SameFile(output.path, input))
            throw UsageError(output.option + " names the record " + EscapedName(input) +
                             " itself; a record is never overwritten");
        if (IsRecordFile(output.path))
            throw UsageError(output.option + " names the record " + EscapedName(output.path) +
                             "; a record is never overwritten");
        for (std::size_t k = 0; k < i; ++k)
            if (!outputs[k].path.empty() && outputs[k].path != "-" &&
                SameFile(outputs[k].path, output.path))
                throw UsageError(outputs[k].option + " and " + output.option +
                                 " name the same file " + EscapedName(output.path));
    }
}

}  // namespace halvik::cli
