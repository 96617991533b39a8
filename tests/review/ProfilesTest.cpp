// SPDX-License-Identifier: GPL-3.0-or-later
// Profile files, the list on offer, saving without overwriting, and the card memory, in a
// temporary folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "review/Profiles.h"

namespace halvik {
namespace {

namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "halvik-profiles-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(path_ / name) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(path_ / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    fs::path path_;
};

TEST(ProfileFile, ReadsEveryKey) {
    const LimitProfile p = ParseProfileText(
        "name = \"Vaccine fridge\"\nlow = 2\nhigh = \"46.4F\"\n"
        "rules = [\">8 for 30min\", \"mkt>25\"]\ndescription = \"shelf 3\"\n",
        "f.toml", "f");
    EXPECT_EQ(p.name, "Vaccine fridge");
    EXPECT_EQ(p.low, 2.0);
    EXPECT_EQ(p.high, 8.0);
    ASSERT_EQ(p.rules.size(), 2u);
    EXPECT_EQ(p.rules[0], ParseRule(">8 for 30min"));
    EXPECT_EQ(ParseProfileText(ProfileText(p), "g.toml", "g"), p);
    // No name: the file's; no range ends: open.
    const LimitProfile bare = ParseProfileText("rules = [\">8\"]", "bare.toml", "bare");
    EXPECT_EQ(bare.name, "bare");
    EXPECT_FALSE(bare.low || bare.high);
}

struct BadFile {
    const char* text;
    const char* message;  // a part of what() that names the file and line
};

class ProfileFileErrors : public ::testing::TestWithParam<BadFile> {};

TEST_P(ProfileFileErrors, NameTheFileLineAndReason) {
    try {
        ParseProfileText(GetParam().text, "p.toml", "p");
        FAIL() << "accepted";
    } catch (const ProfileError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFileErrors,
    ::testing::Values(
        BadFile{"name = \"x\"\nrules = [\">8 fo 30min\"]", "p.toml:2: rule '>8 fo 30min', at 4"},
        BadFile{"rules = [\">8 for 400d\"]", "p.toml:1: rule '>8 for 400d', at 8: a delay over"},
        BadFile{"rules = [\">8 for -1h\"]", "p.toml:1: rule '>8 for -1h', at 8: a delay cannot"},
        BadFile{"rules = [\">warm\"]", "p.toml:1: rule '>warm', at 2"},
        BadFile{"low = 8\nhigh = 2", "p.toml: the range's low end 8.0 \u00b0C is above"},
        BadFile{"hihg = 8", "p.toml:1: unknown key 'hihg'"},
        BadFile{"\nlow = \"warm\"", "p.toml:2: low 'warm' is not a temperature"},
        BadFile{"high = nan", "p.toml:1: high is not a temperature"},
        BadFile{"high = true", "p.toml:1: high must be a number"},
        BadFile{"rules = \">8\"", "p.toml:1: rules must be a list"},
        BadFile{"rules = [8]", "p.toml:1: a rule must be a text"},
        BadFile{"name = \"x\" =", "p.toml:1:"}, BadFile{"low = 1\nlow = 2", "p.toml:2:"},
        BadFile{"name = \"\"", "p.toml: the profile has no name"},
        BadFile{"name = \"a\\u0007b\"", "control character"}),
    [](const auto& info) { return "Bad" + std::to_string(info.index); });

TEST(ProfileList, PresetsThenUserProfilesWithProblemsSaid) {
    TempFolder folder;
    folder.Write("a.toml", "name = \"Shelf\"\nrules = [\">8\"]\n");
    folder.Write("b.toml", "name = \"Shelf\"\nrules = [\"<2\"]\n");
    folder.Write("c.toml", "name = \"frozen-food\"\n");
    folder.Write("d.toml", "rules = [\">8 fo 1h\"]\n");
    folder.Write("e.toml", "low = 1\n");
    folder.Write("notes.txt", "not a profile");
    const ProfileList list = ListProfiles(folder.path());
    ASSERT_EQ(list.profiles.size(), PresetProfiles().size() + 2);
    EXPECT_EQ(list.profiles[PresetProfiles().size()].profile.name, "Shelf");
    EXPECT_EQ(list.profiles[PresetProfiles().size()].file, folder.path() / "a.toml");
    EXPECT_EQ(list.profiles.back().profile.name, "e");
    ASSERT_EQ(list.problems.size(), 3u);
    EXPECT_NE(list.problems[0].find("b.toml: the name 'Shelf' is already the profile of"),
              std::string::npos);
    EXPECT_NE(list.problems[1].find("c.toml: the name 'frozen-food' is a preset's"),
              std::string::npos);
    EXPECT_NE(list.problems[2].find("d.toml:1: rule"), std::string::npos);

    // A missing folder is no problem; one that cannot be read is said once.
    EXPECT_TRUE(ListProfiles(folder.path() / "none").problems.empty());
    const ProfileList broken = ListProfiles(folder.path() / "notes.txt");
    EXPECT_EQ(broken.profiles.size(), PresetProfiles().size());
    ASSERT_EQ(broken.problems.size(), 1u);
    EXPECT_NE(broken.problems[0].find("could not be read"), std::string::npos);
}

TEST(ProfileList, ResolvesNamesAndFiles) {
    TempFolder folder;
    folder.Write("mine.toml", "name = \"Mine\"\nhigh = 4\n");
    EXPECT_TRUE(ResolveProfile("frozen-food", folder.path()).preset);
    EXPECT_EQ(ResolveProfile("Mine", folder.path()).profile.high, 4.0);
    const NamedProfile byFile = ResolveProfile((folder.path() / "mine.toml").string(), "/none");
    EXPECT_EQ(byFile.profile.name, "Mine");
    EXPECT_THROW(ResolveProfile("Yours", folder.path()), ProfileError);
    EXPECT_THROW(ResolveProfile((folder.path() / "gone.toml").string(), "/none"), ProfileError);
    EXPECT_THROW(ResolveProfile(folder.path().string() + "/", "/none"), ProfileError);
}

TEST(ProfileSave, NewFilesNeverOverwriteAndNamesStayUnique) {
    TempFolder folder;
    const fs::path sub = folder.path() / "profiles";
    LimitProfile p{"Shelf 3", 2.0, 8.0, {ParseRule(">8 for 30min")}};
    // Something else already has the file name the profile would take.
    fs::create_directories(sub);
    std::ofstream(sub / "shelf-3.toml") << "# kept\n";
    const fs::path saved = SaveProfile(sub, p);
    EXPECT_EQ(saved, sub / "shelf-3-2.toml");
    EXPECT_EQ(LoadProfileFile(saved), p);
    {
        std::ifstream in(sub / "shelf-3.toml");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "# kept\n");
    }
    EXPECT_THROW(SaveProfile(sub, p), ProfileError);  // the name is taken
    p.name = "frozen-food";
    EXPECT_THROW(SaveProfile(sub, p), ProfileError);  // a preset's
    p.name = "Shelf 3";
    p.high = 9.0;
    EXPECT_EQ(SaveProfile(sub, p, saved), saved);  // editing the profile's own file
    EXPECT_EQ(LoadProfileFile(saved).high, 9.0);
    p.low = 10.0;
    EXPECT_THROW(SaveProfile(sub, p, saved), ProfileError);  // not usable: nothing written
    EXPECT_EQ(LoadProfileFile(saved).high, 9.0);
}

TEST(CardMemory, RemembersForgetsAndSurvivesDamage) {
    TempFolder folder;
    const fs::path sub = folder.path() / "new";
    EXPECT_FALSE(RememberedProfile(sub, "01 02 03 04 05"));
    RememberProfile(sub, "01 02 03 04 05", "frozen-food");
    RememberProfile(sub, "0A 0B 0C 0D 0E", "Shelf \"3\"");
    EXPECT_EQ(RememberedProfile(sub, "01 02 03 04 05"), "frozen-food");
    EXPECT_EQ(RememberedProfile(sub, "0A 0B 0C 0D 0E"), "Shelf \"3\"");
    RememberProfile(sub, "01 02 03 04 05", "");
    EXPECT_FALSE(RememberedProfile(sub, "01 02 03 04 05"));
    EXPECT_EQ(RememberedProfile(sub, "0A 0B 0C 0D 0E"), "Shelf \"3\"");
    // The memory is not a profile.
    EXPECT_EQ(ListProfiles(sub).profiles.size(), PresetProfiles().size());
    std::ofstream(sub / "cards.state") << "= damaged [";
    EXPECT_FALSE(RememberedProfile(sub, "0A 0B 0C 0D 0E"));
    RememberProfile(sub, "01 02 03 04 05", "controlled-room");
    EXPECT_EQ(RememberedProfile(sub, "01 02 03 04 05"), "controlled-room");
    // A profile renamed takes its cards along; one deleted forgets them.
    RememberProfile(sub, "0A 0B 0C 0D 0E", "Shelf");
    RememberProfile(sub, "11 12 13 14 15", "Shelf");
    RenameRememberedProfile(sub, "Shelf", "Shelf 3");
    EXPECT_EQ(RememberedProfile(sub, "0A 0B 0C 0D 0E"), "Shelf 3");
    EXPECT_EQ(RememberedProfile(sub, "11 12 13 14 15"), "Shelf 3");
    EXPECT_EQ(RememberedProfile(sub, "01 02 03 04 05"), "controlled-room");
    RenameRememberedProfile(sub, "Shelf 3", "");
    EXPECT_FALSE(RememberedProfile(sub, "0A 0B 0C 0D 0E"));
    EXPECT_FALSE(RememberedProfile(sub, "11 12 13 14 15"));
    EXPECT_EQ(RememberedProfile(sub, "01 02 03 04 05"), "controlled-room");
}

// The editor's fields as the user types them: every problem is one sentence, a rule's names its
// line and position, and only a draft that reads whole makes a profile.
struct DraftCase {
    ProfileDraft draft;
    const char* problem;  // a part of the problem; "" when the draft makes a profile
    int line;
    std::size_t position;
};

void PrintTo(const DraftCase& c, std::ostream* out) {
    *out << "{" << c.draft.name << " | " << c.draft.low << " | " << c.draft.high << " | "
         << c.draft.rules << "}";
}

class ProfileDrafts : public ::testing::TestWithParam<DraftCase> {};

TEST_P(ProfileDrafts, SayTheFirstProblem) {
    TempFolder folder;
    folder.Write("shelf.toml", "name = \"Shelf\"\n");
    folder.Write("door.toml", "name = \"Door\"\n");
    const ProfileList list = ListProfiles(folder.path());
    const DraftCase& c = GetParam();
    const DraftCheck check =
        CheckProfileDraft(c.draft, list.profiles, folder.path() / "shelf.toml");
    EXPECT_NE(check.problem.find(c.problem), std::string::npos) << check.problem;
    EXPECT_EQ(check.profile.has_value(), std::string(c.problem).empty()) << check.problem;
    EXPECT_EQ(check.rulesLine, c.line);
    EXPECT_EQ(check.rulesPosition, c.position);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, ProfileDrafts,
    ::testing::Values(
        DraftCase{{"Shelf", "2", "46.4F", ">8 for 30min\n\n  mkt>25\n"}, "", 0, 0},
        DraftCase{{"  New  ", "", "", ""}, "", 0, 0},  // open range, no rules
        DraftCase{{"", "2", "8", ""}, "no name", 0, 0},
        DraftCase{{"x\ty", "", "", ""}, "control character", 0, 0},
        DraftCase{{"frozen-food", "", "", ""}, "preset's name", 0, 0},
        DraftCase{{"Door", "", "", ""}, "door.toml", 0, 0},
        DraftCase{{"Shelf", "two", "8", ""}, "low end 'two'", 0, 0},
        DraftCase{{"Shelf", "2", "8 C X", ""}, "high end", 0, 0},
        DraftCase{{"Shelf", "9", "8", ""}, "above its high end", 0, 0},
        DraftCase{{"Shelf", "2", "8", ">8\n>8 fo 30min"}, "line 2: rule '>8 fo 30min', at 4", 2, 4},
        DraftCase{{"Shelf", "", "", "\n\n=>8"}, "line 3", 3, 1},
        DraftCase{{"Shelf", "", "", ">8 for 400d"}, "line 1", 1, 8}));

TEST(ProfileDrafts, ShowAProfileAsItsOwnDraft) {
    for (const NamedProfile& preset : PresetProfiles()) {
        const DraftCheck check = CheckProfileDraft(DraftOf(preset.profile), {});
        ASSERT_TRUE(check.profile) << check.problem;
        EXPECT_EQ(*check.profile, preset.profile);
    }
}

TEST(ProfileDelete, OnlyTheUsersFileAsItWasRead) {
    TempFolder folder;
    folder.Write("shelf.toml", "name = \"Shelf\"\nhigh = 8\n");
    NamedProfile shelf = ResolveProfile("Shelf", folder.path());
    EXPECT_THROW(DeleteProfile(PresetProfiles()[0]), ProfileError);
    // Changed on disk since it was read: the newer file stays.
    folder.Write("shelf.toml", "name = \"Shelf\"\nhigh = 9\n");
    EXPECT_THROW(DeleteProfile(shelf), ProfileError);
    EXPECT_TRUE(fs::exists(folder.path() / "shelf.toml"));
    shelf = ResolveProfile("Shelf", folder.path());
    DeleteProfile(shelf);
    EXPECT_FALSE(fs::exists(folder.path() / "shelf.toml"));
    EXPECT_THROW(DeleteProfile(shelf), ProfileError);  // already gone
}

}  // namespace
}  // namespace halvik
