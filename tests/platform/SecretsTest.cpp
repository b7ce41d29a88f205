// ProtectBytes / UnprotectBytes: what goes in comes out, and nothing else
// opens. On POSIX the key file lives in a temporary XDG_CONFIG_HOME so the
// test never touches the user's key; DPAPI (Windows) keeps no file.
#include "platform/Secrets.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#ifndef _WIN32
#include "platform/Folders.h"
#endif

namespace postern {
namespace {

class Secrets : public testing::Test {
protected:
#ifndef _WIN32
    void SetUp() override
    {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld = old != nullptr;
        if (old)
            oldValue = old;
        setenv("XDG_CONFIG_HOME", folder.Path().string().c_str(), 1);
    }
    void TearDown() override
    {
        if (hadOld)
            setenv("XDG_CONFIG_HOME", oldValue.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    std::filesystem::path KeyFile() const
    {
        return RoamingDataFolder() / "Halvorsoft" / "Postern" / "protect.key";
    }
    bool hadOld = false;
    std::string oldValue;
#endif
    test::TempFolder folder;
};

TEST_F(Secrets, RoundTrips)
{
    std::string large(1024 * 1024, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>((i * 7919) % 256);
    const std::string cases[] = {"secret", "p\xC3\xA4ssw\xC3\xB6rd \xE2\x82\xAC \xF0\x9F\x94\x91", "",
                                 std::string("nul\0inside", 10), large};
    for (const std::string& plain : cases) {
        std::string blob;
        ASSERT_TRUE(ProtectBytes(plain, blob)) << plain.size();
        if (!plain.empty()) {
            EXPECT_EQ(blob.find(plain), std::string::npos) << "plain text visible in the blob";
        }
        std::string back = "stale";
        ASSERT_TRUE(UnprotectBytes(blob, back)) << plain.size();
        EXPECT_EQ(back, plain);
    }
}

TEST_F(Secrets, DamagedOrForeignBlobsDoNotOpen)
{
    const std::string secret = "refresh-token-value";
    std::string blob;
    ASSERT_TRUE(ProtectBytes(secret, blob));
    std::string plain;

    // A changed bit anywhere must never yield a different secret. Wine's
    // DPAPI leaves some header bytes outside its integrity check, so there
    // a flip may still open to the original; the sealed part never does.
    std::size_t opened = 0;
    for (std::size_t i = 0; i < blob.size(); ++i) {
        std::string tampered = blob;
        tampered[i] = static_cast<char>(tampered[i] ^ 0x01);
        plain.clear();
        if (UnprotectBytes(tampered, plain)) {
            ++opened;
            EXPECT_EQ(plain, secret) << "byte " << i;
        }
    }
    std::string lastByte = blob;
    lastByte.back() = static_cast<char>(lastByte.back() ^ 0x80);
    EXPECT_FALSE(UnprotectBytes(lastByte, plain));
#ifndef _WIN32
    EXPECT_EQ(opened, 0u); // AES-GCM here covers every byte, the magic included
#endif

    for (const std::size_t keep : {std::size_t{0}, std::size_t{4}, blob.size() / 2, blob.size() - 1})
        EXPECT_FALSE(UnprotectBytes(blob.substr(0, keep), plain)) << keep;
    EXPECT_FALSE(UnprotectBytes("garbage that was never a protected blob at all", plain));
    EXPECT_FALSE(UnprotectBytes(std::string(64, '\0'), plain));
}

#ifndef _WIN32
// The key file is this backend's own; the DPAPI blob has no such file.
TEST_F(Secrets, KeyFileIsPrivateAndRequiredToStayPrivate)
{
    std::string blob;
    ASSERT_TRUE(ProtectBytes("x", blob));
    namespace fs = std::filesystem;
    const fs::perms mode = fs::status(KeyFile()).permissions();
    EXPECT_EQ(mode & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(fs::file_size(KeyFile()), 32u);

    // A key others can read is refused rather than trusted.
    fs::permissions(KeyFile(), fs::perms::group_read, fs::perm_options::add);
    std::string plain;
    EXPECT_FALSE(UnprotectBytes(blob, plain));
    EXPECT_FALSE(ProtectBytes("y", blob));
    fs::permissions(KeyFile(), fs::perms::group_read, fs::perm_options::remove);
    EXPECT_TRUE(UnprotectBytes(blob, plain));
    EXPECT_EQ(plain, "x");

    // Under a new key the old blob no longer opens.
    fs::remove(KeyFile());
    EXPECT_FALSE(UnprotectBytes(blob, plain));
}
#endif

} // namespace
} // namespace postern
