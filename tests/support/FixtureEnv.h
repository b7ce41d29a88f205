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

// True when the test command started the fixture (POSTERN_FIXTURE_REQUIRED=1):
// then a missing setting means a server failed to come up, which must fail
// the tests that need it rather than skip them unnoticed.
[[nodiscard]] bool FixtureRequired();

// A host (Linux) path as this process must spell it: unchanged natively,
// on the Z: drive under Wine.
[[nodiscard]] std::filesystem::path HostPath(const std::string& unixPath);

// A file of the tests' source tree ("compose/rtf-fixtures/plain.rtf"), as
// this process must spell it.
[[nodiscard]] std::filesystem::path TestSourcePath(const std::string& relative);

} // namespace postern::test

// Leaves the current test when a fixture setting is missing: a skip on a
// developer's quick native run, a failure when the test command started the
// fixture. Usable in test bodies and SetUp().
#define POSTERN_MISSING_SETTING(what)                                                 \
    do {                                                                            \
        if (postern::test::FixtureRequired())                                       \
            FAIL() << what << " missing although the test command started the fixture"; \
        GTEST_SKIP() << what << " missing (scripts/fixture start)";                 \
    } while (0)

#define POSTERN_REQUIRE_FIXTURE()                                                   \
    do {                                                                            \
        if (!postern::test::FixtureRunning())                                       \
            POSTERN_MISSING_SETTING("POSTERN_FIXTURE_DIR");                         \
    } while (0)

// One of the fixture's ports (source names the server behind it).
#define POSTERN_REQUIRE_PORT(name, source)                                          \
    do {                                                                            \
        if (postern::test::FixturePort(name) == 0)                                  \
            POSTERN_MISSING_SETTING(name " (" source ")");                          \
    } while (0)

// The scripted DNS server. Windows' resolver asks only port 53, so there the
// real-query tests run in a network namespace of their own (scripts/test)
// and skip in the main run whatever the fixture.
#ifdef _WIN32
#define POSTERN_REQUIRE_DNS_PEER()                                                  \
    do {                                                                            \
        POSTERN_REQUIRE_PORT("POSTERN_DNS_PORT", "tests/platform/dns_peer.py");     \
        if (postern::test::FixturePort("POSTERN_DNS_PORT") != 53)                   \
            GTEST_SKIP() << "this platform's resolver only asks port 53";           \
    } while (0)
#else
#define POSTERN_REQUIRE_DNS_PEER() POSTERN_REQUIRE_PORT("POSTERN_DNS_PORT", "tests/platform/dns_peer.py")
#endif
