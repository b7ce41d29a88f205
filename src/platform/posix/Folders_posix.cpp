// The XDG base folders: $XDG_CONFIG_HOME and $XDG_DATA_HOME, else their
// defaults under the home folder.
#include "platform/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace postern {

namespace {

std::filesystem::path HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    // Services and cron jobs may run without HOME.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return "/";
}

// The base directory specification ignores relative paths in these variables.
std::filesystem::path BaseFolder(const char* variable, const char* fallbackUnderHome)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    return HomeFolder() / fallbackUnderHome;
}

} // namespace

std::filesystem::path RoamingDataFolder()
{
    return BaseFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path LocalDataFolder()
{
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

} // namespace postern
