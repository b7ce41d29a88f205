// A write that fails halfway, the way a full disk fails it: the file size
// limit makes the write of the temporary file stop short. POSIX only; the
// Windows build has no equivalent without admin rights.
#ifndef _WIN32

#include "account/Settings.h"

#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace postern {
namespace {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN); // fail the write instead of killing us
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool Active() const { return active_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

TEST(SettingsSave, AWriteThatStopsShortLeavesTheOldFileWhole)
{
    test::ScratchFolder scratch;
    const std::filesystem::path path = scratch / "config.json";
    AppSettings old;
    old.googleClientId = "the old file";
    std::string error;
    ASSERT_TRUE(SaveSettingsTo(path, old, error)) << error;
    const std::string before = test::ReadBytes(path);

    AppSettings big;
    AccountConfig account;
    account.email = "a@x.test";
    account.imapHost = "h";
    account.displayName = std::string(64 * 1024, 'x');
    big.accounts.push_back(account);
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(SaveSettingsTo(path, big, error));
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadBytes(path), before);
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u) << "a temporary file was left behind";
}

} // namespace
} // namespace postern

#endif
