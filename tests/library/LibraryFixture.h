// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "RecordSamples.h"
#include "library/RecordsIndex.h"
#include "records/RecordStore.h"

namespace halvik::test {

namespace fs = std::filesystem;

inline std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A records folder and an index file in a temporary folder of the test's own.
class LibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/halvik-library-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        folder_ = dir_ / "records";
        index_ = dir_ / "cache" / "records-index.sqlite";
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A record of `count` readings from card `pid`, first reading on 12 January 2026 at `hour`.
    static Record Sample(int count, std::uint8_t pid = 1, int hour = 8, int day = 12) {
        return CardSample(count, pid, day, hour);
    }

    std::string Keep(const Record& record) {
        return KeepRecord(record, folder_).path.filename().string();
    }

    // Every file of the records folder with its bytes.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(folder_))
            files[entry.path().filename().string()] = FileText(entry.path());
        return files;
    }

    std::vector<std::string> Names(const RecordFilter& filter = {}) const {
        RecordsIndex index(index_, folder_);
        std::vector<std::string> names;
        for (const RecordFacts& facts : index.List(filter))
            names.push_back(facts.name);
        return names;
    }

    fs::path dir_, folder_, index_;
};

}  // namespace halvik::test
