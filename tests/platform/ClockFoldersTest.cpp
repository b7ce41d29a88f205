// The clock's local calendar form and the per-user data folders.
#include "platform/Clock.h"
#include "platform/Folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace postern {
namespace {

TEST(Clock, LocalTimeIsAValidCalendarTime)
{
    const int64_t now = NowUnixSeconds();
    EXPECT_GT(now, 1700000000); // after November 2023
    for (const int64_t t : {int64_t{0}, int64_t{951782400} /* 2000-02-29 */, now}) {
        const CivilTime local = ToLocalTime(t);
        EXPECT_GE(local.month, 1);
        EXPECT_LE(local.month, 12);
        EXPECT_GE(local.day, 1);
        EXPECT_LE(local.day, 31);
        EXPECT_LT(local.hour, 24);
        EXPECT_LT(local.minute, 60);
        EXPECT_LT(local.second, 60);
        EXPECT_LT(local.weekday, 7);
        // A day later is the next weekday, whatever the zone.
        EXPECT_EQ(ToLocalTime(t + 7 * 86400).weekday, local.weekday);
        EXPECT_EQ((ToLocalTime(t + 86400).weekday + 6) % 7, local.weekday);
    }
    // Zones lie within a day of UTC.
    const CivilTime y2k = ToLocalTime(951782400 + 12 * 3600); // 2000-02-29 12:00 UTC
    EXPECT_EQ(y2k.year, 2000);
    EXPECT_TRUE((y2k.month == 2 && y2k.day == 29) || (y2k.month == 3 && y2k.day == 1))
        << y2k.month << "-" << y2k.day;
}

TEST(Folders, AreAbsolute)
{
    EXPECT_TRUE(RoamingDataFolder().is_absolute()) << RoamingDataFolder();
    EXPECT_TRUE(LocalDataFolder().is_absolute()) << LocalDataFolder();
}

#ifndef _WIN32
// The XDG variables are this backend's; Windows asks the shell.
TEST(Folders, FollowTheXdgVariables)
{
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    const std::string savedData = oldData ? oldData : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";

    setenv("XDG_CONFIG_HOME", "/tmp/postern-config", 1);
    setenv("XDG_DATA_HOME", "/tmp/postern-data", 1);
    EXPECT_EQ(RoamingDataFolder(), std::filesystem::path("/tmp/postern-config"));
    EXPECT_EQ(LocalDataFolder(), std::filesystem::path("/tmp/postern-data"));
    // Relative values are ignored, as the base directory specification asks.
    setenv("XDG_CONFIG_HOME", "relative", 1);
    unsetenv("XDG_DATA_HOME");
    if (!home.empty() && home[0] == '/') {
        EXPECT_EQ(RoamingDataFolder(), std::filesystem::path(home) / ".config");
        EXPECT_EQ(LocalDataFolder(), std::filesystem::path(home) / ".local/share");
    }

    if (oldConfig)
        setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    if (oldData)
        setenv("XDG_DATA_HOME", savedData.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
#endif

} // namespace
} // namespace postern
