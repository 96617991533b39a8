// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every test case of a program that keeps records or settings gets folders of its own: before
// the case starts, HALVIK_RECORDS_DIR and the XDG config, data and cache homes point into a
// fresh temporary folder, removed with everything in it when the case ends. So no test reads
// or writes the user's records or settings, no test sees what an earlier one (or an earlier
// run) kept, and a test can expect the exact "Kept as" name of its download. A test that needs
// other folders still sets them itself; they are restored when the case ends.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "ScopedEnvironment.h"

namespace halvik::testing {

class PerTestFolders : public ::testing::EmptyTestEventListener {
  public:
    // The folder of the test case running now (empty between cases).
    static std::filesystem::path& Current() {
        static std::filesystem::path current;
        return current;
    }

    // Adds the listener; call from main() after InitGoogleTest, before RUN_ALL_TESTS.
    static void Install() {
        ::testing::UnitTest::GetInstance()->listeners().Append(new PerTestFolders);
    }

  private:
    void OnTestStart(const ::testing::TestInfo&) override {
        std::string pattern = (std::filesystem::temp_directory_path() / "halvik-test-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            // Without a folder of its own the test would write into the user's: stop here.
            std::perror("halvik tests: cannot create a temporary folder");
            std::abort();
        }
        Current() = pattern;
        environment_ = std::make_unique<ScopedEnvironment>();
        environment_->Set("HALVIK_RECORDS_DIR", (Current() / "records").string());
        environment_->Set("XDG_CONFIG_HOME", (Current() / "config").string());
        environment_->Set("XDG_DATA_HOME", (Current() / "data").string());
        environment_->Set("XDG_CACHE_HOME", (Current() / "cache").string());
    }

    void OnTestEnd(const ::testing::TestInfo&) override {
        environment_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(Current(), ignored);
        Current().clear();
    }

    std::unique_ptr<ScopedEnvironment> environment_;
};

}  // namespace halvik::testing
