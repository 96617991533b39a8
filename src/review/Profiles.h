// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "review/Review.h"

namespace halvik {

// Limit profiles as the user keeps them: one TOML file per profile in the profile folder,
//
//     name = "Vaccine fridge"
//     low = 2.0            # °C; "35.6F" for °F; leave out for an open end
//     high = 8.0
//     rules = [">8 for 30min", "<=-0.5 for 60min"]
//
// beside the read-only presets built into the program.

// A profile file or profile that cannot be used. what() names the file, the line where known,
// and the reason: "/home/a/.config/halvik/profiles/x.toml:3: rule '>8 fo', at 4: ...".
class ProfileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct NamedProfile {
    LimitProfile profile;
    bool preset = false;
    std::filesystem::path file;  // the user's file; empty for a preset
    std::string source;          // a preset's source, in a few words
};

// The presets, in the order they are offered.
const std::vector<NamedProfile>& PresetProfiles();

// $XDG_CONFIG_HOME/halvik/profiles (an absolute $XDG_CONFIG_HOME only), else
// $HOME/.config/halvik/profiles. Only works out the path.
std::filesystem::path ProfileFolderPath();

// Reads a profile from a file's text. The name is the `name` key, or `fallbackName` when there
// is none. Unknown keys, wrong types, rules that do not parse and profiles ProfileProblem refuses
// throw ProfileError naming `fileName` and the line.
LimitProfile ParseProfileText(std::string_view text, const std::string& fileName,
                              const std::string& fallbackName);
// The file's text for a profile: what ParseProfileText reads back as the same profile.
std::string ProfileText(const LimitProfile& profile);
// Reads the profile file at `path` (at most 64 KiB). Throws ProfileError.
LimitProfile LoadProfileFile(const std::filesystem::path& path);

// Every profile on offer: the presets, then the user's `*.toml` files in `folder` by name.
// A file that cannot be read, or whose name another profile already has, is left out and said
// in `problems` (one line each, naming the file); so is a folder that cannot be read (a
// missing folder is no problem: the user has no profiles yet).
struct ProfileList {
    std::vector<NamedProfile> profiles;
    std::vector<std::string> problems;
};
ProfileList ListProfiles(const std::filesystem::path& folder);

// The profile a --profile argument names: a profile of ListProfiles(folder) by name, or else,
// when the argument holds a '/' or ends in ".toml", the profile file it names.
// Throws ProfileError for an unknown name, a file that cannot be read, or a name two profiles
// share.
NamedProfile ResolveProfile(std::string_view nameOrFile, const std::filesystem::path& folder);

// Writes `profile` as a new file in `folder` (created when missing), named after the profile,
// never over an existing file; or, with `replacing`, over that file (the one the profile was
// read from). Returns the file. Throws ProfileError when the profile is not usable, its name
// is a preset's or another file's, or the file cannot be written.
std::filesystem::path SaveProfile(const std::filesystem::path& folder, const LimitProfile& profile,
                                  const std::optional<std::filesystem::path>& replacing = {});

// A profile as the editor's fields hold it while the user types: the name, the range ends as
// temperatures are written ("2", "-0.5", "35.6F"; empty for an open end) and the rules, one a
// line (blank lines are skipped).
struct ProfileDraft {
    std::string name, low, high, rules;
    bool operator==(const ProfileDraft&) const = default;
};

// What a draft makes: the profile, or the first reason it cannot be saved, as a sentence for the
// user. A rule that does not read names its line and the position in it ("line 2: rule '>8 fo',
// at 4: ..."), and `rulesLine` (1-based) and `rulesPosition` (1-based, in that line) point at it;
// both are 0 when the problem lies elsewhere.
struct DraftCheck {
    std::optional<LimitProfile> profile;
    std::string problem;
    int rulesLine = 0;
    std::size_t rulesPosition = 0;
};

// Checks a draft against the profiles on offer (`others`, as ListProfiles gives them): its name
// may be no preset's and no other file's; `editing` is the file being edited (empty for a new
// profile), whose own name the profile may keep.
DraftCheck CheckProfileDraft(const ProfileDraft& draft, const std::vector<NamedProfile>& others,
                             const std::filesystem::path& editing = {});

// The draft that shows an existing profile: its range ends and one RuleText a line.
ProfileDraft DraftOf(const LimitProfile& profile);

// Removes a user's profile file. Throws ProfileError for a preset, and for a file that no longer
// holds that profile (changed or replaced since it was read) or cannot be removed.
void DeleteProfile(const NamedProfile& profile);

// The card memory: which profile a card (by its PID text, "01 02 03 04 05") was last reviewed
// with, kept in `folder`/cards.state. A missing or unreadable memory remembers nothing.
std::optional<std::string> RememberedProfile(const std::filesystem::path& folder,
                                             std::string_view pid);
// Remembers `name` for `pid`, or forgets the card when `name` is empty. Throws ProfileError when
// the memory cannot be written.
void RememberProfile(const std::filesystem::path& folder, std::string_view pid,
                     std::string_view name);
// Every card remembered with profile `from` is remembered with `to` instead (a profile renamed),
// or forgotten when `to` is empty (a profile deleted). Throws ProfileError when the memory
// cannot be written.
void RenameRememberedProfile(const std::filesystem::path& folder, std::string_view from,
                             std::string_view to);

}  // namespace halvik
