// SPDX-License-Identifier: GPL-3.0-or-later
#include "review/Profiles.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <toml++/toml.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "fileio/OutputFile.h"

namespace halvik {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxProfileFileSize = 64 * 1024;
constexpr const char* kMemoryFile = "cards.state";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string At(const std::string& fileName, const toml::source_region& where) {
    return where.begin.line > 0 ? fileName + ":" + std::to_string(where.begin.line) : fileName;
}

std::string ReadSmallFile(const fs::path& path, const char* what) {
    std::error_code error;
    if (fs::is_directory(path, error))
        throw ProfileError(std::string("The ") + what + " " + path.string() + " is a folder.");
    const std::uintmax_t size = fs::file_size(path, error);
    if (error)
        throw ProfileError(std::string("The ") + what + " " + path.string() +
                           " could not be read: " + SystemReason(error.value()));
    if (size > kMaxProfileFileSize)
        throw ProfileError(std::string("The ") + what + " " + path.string() +
                           " is too large to be a profile (over 64 KiB).");
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(size)))
        throw ProfileError(std::string("The ") + what + " " + path.string() +
                           " could not be read: " + SystemReason(errno ? errno : EIO));
    return text;
}

// A range end: a number (°C) or a text with its unit ("35.6F").
double RangeEnd(const toml::node& node, const std::string& fileName, const char* key) {
    const std::string where = At(fileName, node.source());
    if (const auto number = node.value_exact<double>()) {
        if (!(std::fabs(*number) <= kMaxThresholdCelsius))
            throw ProfileError(where + ": " + key + " is not a temperature");
        return std::round(*number * 100.0) / 100.0;
    }
    if (const auto whole = node.value_exact<int64_t>()) {
        if (std::llabs(*whole) > static_cast<long long>(kMaxThresholdCelsius))
            throw ProfileError(where + ": " + key + " is not a temperature");
        return static_cast<double>(*whole);
    }
    if (const auto text = node.value_exact<std::string>()) {
        try {
            return ParseTemperature(*text);
        } catch (const RuleError& e) {
            throw ProfileError(where + ": " + key + " '" + *text +
                               "' is not a temperature: " + e.Reason());
        }
    }
    throw ProfileError(where + ": " + key +
                       " must be a number of \u00b0C or a text such as \"46.4F\"");
}

std::string Quoted(std::string_view text) {
    std::ostringstream out;
    out << toml::value<std::string>(std::string(text));
    return out.str();
}

std::string FileStem(const std::string& name) {
    std::string stem;
    for (const char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        const bool upper = c >= 'A' && c <= 'Z';
        if (keep || upper)
            stem += upper ? static_cast<char>(c - 'A' + 'a') : c;
        else if (!stem.empty() && stem.back() != '-')
            stem += '-';
    }
    while (!stem.empty() && stem.back() == '-')
        stem.pop_back();
    return stem.empty() ? "profile" : stem.substr(0, 60);
}

// Puts `text` in a new file `target`, never over an existing one: written and synced beside it,
// then linked into place (which fails with EEXIST where a file exists).
void PublishNewFile(const fs::path& target, const std::string& text) {
    std::string temporary = (target.parent_path() / ".profile-XXXXXX").string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        throw OutputFileError(target.string(), SystemReason(errno));
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error == 0 && (fchmod(fd, 0644) != 0 || fsync(fd) != 0))
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && link(temporary.c_str(), target.c_str()) != 0)
        error = errno;
    unlink(temporary.c_str());
    if (error != 0)
        throw OutputFileError(target.string(), SystemReason(error));
}

}  // namespace

// The presets. Each follows a published practice; the numbers are the ones in common use:
// - vaccine-refrigerator: the alarm settings of 30-day electronic temperature recorders for
//   vaccine refrigerators in international immunisation programmes (freeze alarm at -0.5 °C for
//   60 minutes, heat alarm above +8 °C for 10 hours), range 2-8 °C.
// - shipping-indicator: the same programmes' electronic shipping indicators (+45 °C for
//   1 hour, +30 °C for 10 hours in total, -0.5 °C for 1 hour), range 2-8 °C for the vaccines
//   they travel with.
// - refrigerated-2-8: the labelled storage of refrigerated medicines, 2-8 °C, where any reading
//   outside is an excursion to act on.
// - frozen-food: quick-frozen foodstuffs kept at -18 °C or colder, with brief rises of at most
//   3 °C tolerated in distribution (alarm above -15 °C).
// - controlled-room: pharmacopoeial controlled room temperature, 20-25 °C, excursions between
//   15 and 30 °C allowed, spikes up to 40 °C for no more than 24 hours, mean kinetic temperature
//   not above 25 °C.
const std::vector<NamedProfile>& PresetProfiles() {
    static const std::vector<NamedProfile> presets = [] {
        struct Row {
            const char* name;
            std::optional<double> low, high;
            std::vector<const char*> rules;
            const char* source;
        };
        const Row rows[] = {
            {"vaccine-refrigerator",
             2.0,
             8.0,
             {"<=-0.5 for 60min", ">8 for 10h"},
             "30-day vaccine refrigerator recorder alarms"},
            {"shipping-indicator",
             2.0,
             8.0,
             {">=45 for 1h", ">=30 total 10h", "<=-0.5 for 1h"},
             "vaccine shipping indicator alarms"},
            {"refrigerated-2-8",
             2.0,
             8.0,
             {"<2", ">8"},
             "refrigerated medicines, any excursion an alarm"},
            {"frozen-food",
             std::nullopt,
             -18.0,
             {">-15"},
             "quick-frozen food, -18 \u00b0C with brief rises of 3 \u00b0C"},
            {"controlled-room",
             20.0,
             25.0,
             {"<15", ">30 total 24h", ">40", "mkt>25"},
             "controlled room temperature 20-25 \u00b0C"},
        };
        std::vector<NamedProfile> list;
        for (const Row& row : rows) {
            NamedProfile named;
            named.profile.name = row.name;
            named.profile.low = row.low;
            named.profile.high = row.high;
            for (const char* rule : row.rules)
                named.profile.rules.push_back(ParseRule(rule));
            named.preset = true;
            named.source = row.source;
            list.push_back(std::move(named));
        }
        return list;
    }();
    return presets;
}

fs::path ProfileFolderPath() {
    const std::string configHome = Environment("XDG_CONFIG_HOME");
    if (!configHome.empty() && configHome.front() == '/')
        return fs::path(configHome) / "halvik" / "profiles";
    std::string home = Environment("HOME");
    if (home.empty())
        home = ".";
    return fs::path(home) / ".config" / "halvik" / "profiles";
}

LimitProfile ParseProfileText(std::string_view text, const std::string& fileName,
                              const std::string& fallbackName) {
    toml::table table;
    try {
        table = toml::parse(text, fileName);
    } catch (const toml::parse_error& e) {
        throw ProfileError(At(fileName, e.source()) + ": " + std::string(e.description()));
    }
    LimitProfile profile;
    profile.name = fallbackName;
    for (auto&& [key, node] : table) {
        const std::string where = At(fileName, key.source());
        if (key == "name") {
            const auto name = node.value_exact<std::string>();
            if (!name)
                throw ProfileError(where + ": name must be a text");
            profile.name = *name;
        } else if (key == "low") {
            profile.low = RangeEnd(node, fileName, "low");
        } else if (key == "high") {
            profile.high = RangeEnd(node, fileName, "high");
        } else if (key == "rules") {
            const toml::array* rules = node.as_array();
            if (!rules)
                throw ProfileError(where +
                                   ": rules must be a list of texts, such as [\">8 for 30min\"]");
            for (const toml::node& rule : *rules) {
                const auto ruleText = rule.value_exact<std::string>();
                if (!ruleText)
                    throw ProfileError(At(fileName, rule.source()) + ": a rule must be a text");
                try {
                    profile.rules.push_back(ParseRule(*ruleText));
                } catch (const RuleError& e) {
                    throw ProfileError(At(fileName, rule.source()) + ": " + e.what());
                }
            }
        } else if (key != "description") {
            throw ProfileError(where + ": unknown key '" + std::string(key.str()) +
                               "' (name, low, high, rules, description)");
        }
    }
    if (const std::string problem = ProfileProblem(profile); !problem.empty())
        throw ProfileError(fileName + ": " + problem);
    return profile;
}

std::string ProfileText(const LimitProfile& profile) {
    std::string text = "name = " + Quoted(profile.name) + "\n";
    text +=
        "# Temperatures in \u00b0C (or a text with F: \"46.4F\"); leave an end out for an open "
        "range.\n";
    if (profile.low)
        text += "low = " + ThresholdText(*profile.low) + "\n";
    if (profile.high)
        text += "high = " + ThresholdText(*profile.high) + "\n";
    text += "rules = [";
    for (std::size_t i = 0; i < profile.rules.size(); ++i)
        text += (i ? ", " : "") + Quoted(RuleText(profile.rules[i]));
    return text + "]\n";
}

LimitProfile LoadProfileFile(const fs::path& path) {
    const std::string text = ReadSmallFile(path, "profile file");
    return ParseProfileText(text, path.string(), path.stem().string());
}

ProfileList ListProfiles(const fs::path& folder) {
    ProfileList list;
    list.profiles = PresetProfiles();
    std::error_code error;
    if (!fs::exists(folder, error))
        return list;
    std::vector<fs::path> files;
    fs::directory_iterator it(folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error))
        if (it->path().extension() == ".toml")
            files.push_back(it->path());
    if (error) {
        list.problems.push_back("The profile folder " + folder.string() +
                                " could not be read: " + SystemReason(error.value()));
        return list;
    }
    std::sort(files.begin(), files.end());
    std::vector<NamedProfile> users;
    for (const fs::path& file : files) {
        try {
            NamedProfile named;
            named.profile = LoadProfileFile(file);
            named.file = file;
            const auto same = [&](const NamedProfile& other) {
                return other.profile.name == named.profile.name;
            };
            const auto preset = std::find_if(list.profiles.begin(), list.profiles.end(), same);
            const auto user = std::find_if(users.begin(), users.end(), same);
            if (preset != list.profiles.end())
                throw ProfileError(file.string() + ": the name '" + named.profile.name +
                                   "' is a preset's");
            if (user != users.end())
                throw ProfileError(file.string() + ": the name '" + named.profile.name +
                                   "' is already the profile of " + user->file.string());
            users.push_back(std::move(named));
        } catch (const ProfileError& e) {
            list.problems.push_back(e.what());
        }
    }
    std::sort(users.begin(), users.end(), [](const NamedProfile& a, const NamedProfile& b) {
        return a.profile.name < b.profile.name;
    });
    list.profiles.insert(list.profiles.end(), users.begin(), users.end());
    return list;
}

NamedProfile ResolveProfile(std::string_view nameOrFile, const fs::path& folder) {
    const std::string argument(nameOrFile);
    const ProfileList list = ListProfiles(folder);
    for (const NamedProfile& named : list.profiles)
        if (named.profile.name == argument)
            return named;
    if (argument.find('/') != std::string::npos || argument.ends_with(".toml")) {
        NamedProfile named;
        named.profile = LoadProfileFile(argument);
        named.file = argument;
        return named;
    }
    std::string message = "no profile is named '" + argument + "' (halvik-cli profiles lists them)";
    for (const std::string& problem : list.problems)
        message += "\n" + problem;
    throw ProfileError(message);
}

fs::path SaveProfile(const fs::path& folder, const LimitProfile& profile,
                     const std::optional<fs::path>& replacing) {
    if (const std::string problem = ProfileProblem(profile); !problem.empty())
        throw ProfileError("The profile cannot be saved: " + problem);
    for (const NamedProfile& named : ListProfiles(folder).profiles) {
        if (named.profile.name != profile.name)
            continue;
        if (named.preset)
            throw ProfileError("The name '" + profile.name + "' is a preset's; choose another.");
        if (!replacing || fs::weakly_canonical(*replacing) != fs::weakly_canonical(named.file))
            throw ProfileError("The name '" + profile.name + "' is already the profile of " +
                               named.file.string() + ".");
    }
    const std::string text = ProfileText(profile);
    try {
        if (replacing) {
            WriteOutputFile(replacing->string(), text);
            return *replacing;
        }
        std::error_code error;
        fs::create_directories(folder, error);
        if (error)
            throw OutputFileError(folder.string(), SystemReason(error.value()));
        const std::string stem = FileStem(profile.name);
        for (int n = 1;; ++n) {
            const fs::path target =
                folder / (n == 1 ? stem + ".toml" : stem + "-" + std::to_string(n) + ".toml");
            try {
                PublishNewFile(target, text);
                return target;
            } catch (const OutputFileError& e) {
                if (!fs::exists(target) || n >= 100)
                    throw;
            }
        }
    } catch (const OutputFileError& e) {
        throw ProfileError(e.what());
    }
}

namespace {

std::string Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

}  // namespace

DraftCheck CheckProfileDraft(const ProfileDraft& draft, const std::vector<NamedProfile>& others,
                             const fs::path& editing) {
    DraftCheck check;
    LimitProfile profile;
    profile.name = Trimmed(draft.name);
    if (const std::string problem = ProfileProblem(LimitProfile{profile.name, {}, {}, {}});
        !problem.empty()) {
        check.problem = problem;
        return check;
    }
    for (const NamedProfile& other : others) {
        if (other.profile.name != profile.name)
            continue;
        if (other.preset) {
            check.problem = "'" + profile.name +
                            "' is a preset's name: presets cannot be changed; give your "
                            "profile a name of its own";
            return check;
        }
        std::error_code error;
        if (editing.empty() || !fs::equivalent(editing, other.file, error)) {
            check.problem = "'" + profile.name + "' is already the name of the profile in " +
                            other.file.string();
            return check;
        }
    }
    const auto end = [&check](const std::string& written, const char* which,
                              std::optional<double>& into) {
        const std::string text = Trimmed(written);
        if (text.empty())
            return true;
        try {
            into = ParseTemperature(text);
            return true;
        } catch (const RuleError& e) {
            check.problem = std::string("the range's ") + which + " end '" + text +
                            "' is not a temperature: " + e.Reason();
            return false;
        }
    };
    if (!end(draft.low, "low", profile.low) || !end(draft.high, "high", profile.high))
        return check;
    std::istringstream lines(draft.rules);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (Trimmed(line).empty())
            continue;
        try {
            profile.rules.push_back(ParseRule(line));
        } catch (const RuleError& e) {
            check.problem = "line " + std::to_string(number) + ": " + e.what();
            check.rulesLine = number;
            check.rulesPosition = e.Position();
            return check;
        }
    }
    if (const std::string problem = ProfileProblem(profile); !problem.empty()) {
        check.problem = problem;
        return check;
    }
    check.profile = std::move(profile);
    return check;
}

ProfileDraft DraftOf(const LimitProfile& profile) {
    ProfileDraft draft;
    draft.name = profile.name;
    if (profile.low)
        draft.low = ThresholdText(*profile.low);
    if (profile.high)
        draft.high = ThresholdText(*profile.high);
    for (const AlarmRule& rule : profile.rules)
        draft.rules += RuleText(rule) + "\n";
    return draft;
}

void DeleteProfile(const NamedProfile& named) {
    if (named.preset || named.file.empty())
        throw ProfileError("The preset '" + named.profile.name + "' cannot be deleted.");
    // Only the file as it was read: a file changed or put in its place since then is the user's
    // newer work, and stays.
    LimitProfile now;
    try {
        now = LoadProfileFile(named.file);
    } catch (const ProfileError& e) {
        throw ProfileError(std::string(e.what()) + "\nThe profile '" + named.profile.name +
                           "' was not deleted.");
    }
    if (!(now == named.profile))
        throw ProfileError("The file " + named.file.string() +
                           " has changed since it was read; the profile '" + named.profile.name +
                           "' was not deleted. Reload the profiles and try again.");
    std::error_code error;
    if (!fs::remove(named.file, error) || error)
        throw ProfileError("The profile file " + named.file.string() + " could not be deleted: " +
                           SystemReason(error ? error.value() : ENOENT));
}

std::optional<std::string> RememberedProfile(const fs::path& folder, std::string_view pid) {
    try {
        const fs::path file = folder / kMemoryFile;
        std::error_code error;
        if (!fs::exists(file, error))
            return std::nullopt;
        const toml::table table = toml::parse(ReadSmallFile(file, "card memory"));
        if (const auto name = table[pid].value_exact<std::string>(); name && !name->empty())
            return *name;
    } catch (const std::exception&) {
        // A damaged memory remembers nothing; the next choice rewrites it.
    }
    return std::nullopt;
}

namespace {

std::map<std::string, std::string> ReadMemory(const fs::path& folder) {
    std::map<std::string, std::string> cards;
    try {
        const fs::path file = folder / kMemoryFile;
        std::error_code error;
        if (fs::exists(file, error)) {
            const toml::table table = toml::parse(ReadSmallFile(file, "card memory"));
            for (auto&& [key, node] : table)
                if (const auto value = node.value_exact<std::string>())
                    cards[std::string(key.str())] = *value;
        }
    } catch (const std::exception&) {
        // A damaged memory is rewritten from what is chosen now.
    }
    return cards;
}

void WriteMemory(const fs::path& folder, const std::map<std::string, std::string>& cards) {
    std::string text = "# The limit profile each card (by PID) was last reviewed with.\n";
    for (const auto& [card, profile] : cards)
        text += Quoted(card) + " = " + Quoted(profile) + "\n";
    try {
        std::error_code error;
        fs::create_directories(folder, error);
        if (error)
            throw OutputFileError(folder.string(), SystemReason(error.value()));
        WriteOutputFile((folder / kMemoryFile).string(), text);
    } catch (const OutputFileError& e) {
        throw ProfileError(e.what());
    }
}

}  // namespace

void RememberProfile(const fs::path& folder, std::string_view pid, std::string_view name) {
    std::map<std::string, std::string> cards = ReadMemory(folder);
    if (name.empty())
        cards.erase(std::string(pid));
    else
        cards[std::string(pid)] = std::string(name);
    WriteMemory(folder, cards);
}

void RenameRememberedProfile(const fs::path& folder, std::string_view from, std::string_view to) {
    std::map<std::string, std::string> cards = ReadMemory(folder);
    bool changed = false;
    for (auto it = cards.begin(); it != cards.end();) {
        if (it->second != from) {
            ++it;
            continue;
        }
        changed = true;
        if (to.empty()) {
            it = cards.erase(it);
        } else {
            it->second = std::string(to);
            ++it;
        }
    }
    if (changed)
        WriteMemory(folder, cards);
}

}  // namespace halvik
