#include "support/FixtureEnv.h"

#include <cstdlib>

namespace postern::test {

std::string FixtureValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

uint32_t FixturePort(const char* name)
{
    const std::string text = FixtureValue(name);
    if (text.empty() || text.size() > 5)
        return 0;
    uint32_t port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    return port <= 65535 ? port : 0;
}

bool FixtureRunning()
{
    return !FixtureValue("POSTERN_FIXTURE_DIR").empty();
}

bool FixtureRequired()
{
    return FixtureValue("POSTERN_FIXTURE_REQUIRED") == "1";
}

std::filesystem::path HostPath(const std::string& unixPath)
{
#ifdef _WIN32
    // Wine maps the Linux root to drive Z:.
    if (!unixPath.empty() && unixPath[0] == '/')
        return std::filesystem::path("Z:" + unixPath).make_preferred();
#endif
    return std::filesystem::path(unixPath);
}

std::filesystem::path TestSourcePath(const std::string& relative)
{
    return HostPath(std::string(POSTERN_TESTS_SOURCE_DIR) + "/" + relative);
}

} // namespace postern::test
