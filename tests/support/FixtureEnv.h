// Access to the real-server fixture started by `scripts/fixture start`: its
// settings arrive as environment variables (Wine passes them through to the
// Windows test executables).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace postern::test {

// The variable's value, or empty when unset.
[[nodiscard]] std::string FixtureValue(const char* name);

// The variable as a port number, or 0 when unset or not a number.
[[nodiscard]] uint32_t FixturePort(const char* name);

// True when the fixture's variables are present.
[[nodiscard]] bool FixtureRunning();

// A host (Linux) path as this process must spell it: unchanged natively,
// on the Z: drive under Wine.
[[nodiscard]] std::filesystem::path HostPath(const std::string& unixPath);

// A file of the tests' source tree ("compose/rtf-fixtures/plain.rtf"), as
// this process must spell it.
[[nodiscard]] std::filesystem::path TestSourcePath(const std::string& relative);

} // namespace postern::test

// Skips the current test when the fixture is not running (a developer's
// quick native run); CI always starts it.
#define POSTERN_REQUIRE_FIXTURE()                                                   \
    do {                                                                            \
        if (!postern::test::FixtureRunning())                                       \
            GTEST_SKIP() << "fixture not running (scripts/fixture start)";          \
    } while (0)
