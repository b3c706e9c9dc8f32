#pragma once
// Environment variables a test sets for a while (POSIX).

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace korvane::test {

// Clears the variables named, sets the values given, and puts back what was
// there when it goes.
class ScopedEnv {
  public:
    ScopedEnv(std::initializer_list<const char*> cleared,
              std::initializer_list<std::pair<const char*, const char*>> values = {}) {
        for (const char* name : cleared) {
            const char* was = std::getenv(name);
            saved_.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
            ::unsetenv(name);
        }
        for (const auto& [name, value] : values) {
            Set(name, value);
        }
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            value ? (void)::setenv(name, value->c_str(), 1) : (void)::unsetenv(name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // Only for variables named as cleared: they are the ones put back.
    static void Set(const char* name, const std::string& value) {
        ::setenv(name, value.c_str(), 1);
    }

  private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

} // namespace korvane::test
