// SPDX-License-Identifier: GPL-3.0-or-later
// halvik-cli run as a process for the CLI tests: its exit status and what it wrote to standard
// output and standard error, caught in files in the test's own folder.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace halvik::cli_test {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Runs halvik-cli with `args` (a shell word list; the tests' paths hold no blanks). `prefix`
// goes before the program: environment settings ("HALVIK_TZ=Asia/Tokyo") or "cd DIR &&". A hang
// becomes a failure (status 124) instead of a stuck test run.
inline Outcome RunCli(const std::filesystem::path& dir, const std::string& args,
                      const std::string& prefix = "") {
    const std::filesystem::path out = dir / "stdout", err = dir / "stderr";
    const std::string command = prefix + " timeout 120 " + std::string(HALVIK_CLI) + " " + args +
                                " >" + out.string() + " 2>" + err.string() + " </dev/null";
    const int raw = std::system(command.c_str());
    Outcome run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
}

}  // namespace halvik::cli_test
