// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Environment variables set (or unset) for a scope and restored, in reverse order, after it.

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace halvik::testing {

class ScopedEnvironment {
  public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const char* name, std::optional<std::string> value) {
        Set(name, std::move(value));
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            Apply(it->first, it->second);
    }

    // Sets `name` to `value`, or unsets it for std::nullopt.
    void Set(const char* name, std::optional<std::string> value) {
        const char* old = ::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        Apply(name, value);
    }

  private:
    static void Apply(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace halvik::testing
