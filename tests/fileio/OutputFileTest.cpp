// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileio/OutputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace halvik {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class OutputFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-fileio-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    // Only what the case made, with no temporary file left beside it.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path dir_;
};

// What each kind of existing output path becomes after "new" is written to "out".
TEST_F(OutputFileTest, EachKindOfPath) {
    struct Case {
        std::string name;
        std::function<void(const fs::path&)> make;  // prepares `dir`
        std::string error;                          // what() contains this; empty: written
        std::function<void(const fs::path&)> check;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"new file",
         [](const fs::path&) {},
         "",
         [](const fs::path& d) { EXPECT_EQ(ReadAll(d / "out"), "new"); },
         {"out"}},
        {"private file keeps its mode",
         [](const fs::path& d) {
             Put(d / "out", "old");
             fs::permissions(d / "out", fs::perms::owner_read | fs::perms::owner_write);
         },
         "",
         [](const fs::path& d) {
             EXPECT_EQ(ReadAll(d / "out"), "new");
             EXPECT_EQ(fs::status(d / "out").permissions(),
                       fs::perms::owner_read | fs::perms::owner_write);
         },
         {"out"}},
        {"symlink followed to its target",
         [](const fs::path& d) {
             fs::create_directory(d / "sub");
             Put(d / "sub/target", "old");
             fs::create_symlink("sub/target", d / "out");
         },
         "",
         [](const fs::path& d) {
             EXPECT_TRUE(fs::is_symlink(d / "out"));
             EXPECT_EQ(ReadAll(d / "sub/target"), "new");
         },
         {"out", "sub"}},
        {"dangling symlink creates its target",
         [](const fs::path& d) { fs::create_symlink("made", d / "out"); },
         "",
         [](const fs::path& d) {
             EXPECT_TRUE(fs::is_symlink(d / "out"));
             EXPECT_EQ(ReadAll(d / "made"), "new");
         },
         {"made", "out"}},
        {"symlink loop refused",
         [](const fs::path& d) { fs::create_symlink("out", d / "out"); },
         "could not be written: Too many levels of symbolic links.",
         nullptr,
         {"out"}},
        {"folder refused",
         [](const fs::path& d) { fs::create_directory(d / "out"); },
         "could not be written: Is a directory.",
         nullptr,
         {"out"}},
        {"hard-linked file left whole",
         [](const fs::path& d) {
             Put(d / "out", "old");
             fs::create_hard_link(d / "out", d / "other");
         },
         "hard links",
         [](const fs::path& d) {
             EXPECT_EQ(ReadAll(d / "out"), "old");
             EXPECT_EQ(fs::hard_link_count(d / "out"), 2u);
         },
         {"other", "out"}},
        {"missing folder", [](const fs::path&) {}, "No such file or directory.", nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir_);
        fs::create_directory(dir_);
        c.make(dir_);
        const fs::path out = c.name == "missing folder" ? dir_ / "no/out" : dir_ / "out";
        if (c.error.empty()) {
            EXPECT_NO_THROW(WriteOutputFile(out.string(), "new"));
        } else {
            try {
                WriteOutputFile(out.string(), "new");
                ADD_FAILURE() << "written";
            } catch (const OutputFileError& error) {
                EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos)
                    << error.what();
                EXPECT_EQ(std::string(error.what()).rfind("The file " + out.string(), 0), 0u);
            }
        }
        if (c.check)
            c.check(dir_);
        EXPECT_EQ(Names(), c.names);
    }
}

// A writer given up on (an exception while the report was drawn) leaves the old file alone.
TEST_F(OutputFileTest, UncommittedLeavesTheOldFile) {
    Put(dir_ / "out", "old");
    {
        OutputFile file((dir_ / "out").string());
        file.Write("half");
    }
    EXPECT_EQ(ReadAll(dir_ / "out"), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"out"});
}

// A FIFO's reader gets the bytes; the FIFO stays a FIFO.
TEST_F(OutputFileTest, FifoIsWrittenDirectly) {
    const fs::path fifo = dir_ / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = ReadAll(fifo); });
    {
        OutputFile file(fifo.string());
        EXPECT_TRUE(file.Direct());
        file.Write("through the pipe");
        file.Commit();
    }
    reader.join();
    EXPECT_EQ(got, "through the pipe");
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// Devices (/dev/full, /dev/stdout) are tried through halvik-cli inside a private mount
// namespace, where a wrong rename could not replace the machine's own.
TEST_F(OutputFileTest, NoNameIsRefused) {
    EXPECT_THROW(WriteOutputFile("", "x"), OutputFileError);
}

}  // namespace
}  // namespace halvik
