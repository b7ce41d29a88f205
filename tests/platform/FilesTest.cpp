// ReadWholeFile and WriteFileAtomically: a write either fully replaces the
// file or leaves the old one exactly as it was, with no temporary left over.
#include "platform/Files.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace postern {
namespace {

namespace fs = std::filesystem;

std::size_t EntryCount(const fs::path& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

std::string Read(const fs::path& path)
{
    std::string bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
}

TEST(Files, WriteCreatesAndReplaces)
{
    test::TempFolder folder;
    const fs::path file = folder.Path() / "settings.json";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(file, "first", error)) << error;
    EXPECT_EQ(Read(file), "first");
    const std::string binary("\0\r\n\x1A\xFF", 5);
    ASSERT_TRUE(WriteFileAtomically(file, binary, error)) << error;
    EXPECT_EQ(Read(file), binary);
    ASSERT_TRUE(WriteFileAtomically(file, "", error)) << error;
    EXPECT_EQ(Read(file), "");
    EXPECT_EQ(EntryCount(folder.Path()), 1u) << "temporary file left behind";
}

TEST(Files, FailedWriteKeepsTheOldState)
{
    test::TempFolder folder;
    std::string error;

    // The target is a folder: nothing may replace it.
    const fs::path directory = folder.Path() / "taken";
    fs::create_directory(directory);
    EXPECT_FALSE(WriteFileAtomically(directory, "data", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(directory));

    // The folder does not exist.
    error.clear();
    EXPECT_FALSE(WriteFileAtomically(folder.Path() / "missing" / "file.txt", "data", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(EntryCount(folder.Path()), 1u);
}

TEST(Files, UnwritableFolderKeepsTheOldFile)
{
    test::TempFolder folder;
    const fs::path locked = folder.Path() / "locked";
    fs::create_directory(locked);
    const fs::path file = locked / "settings.json";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(file, "old", error)) << error;
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    // Root and Windows ignore the missing write permission of a folder.
    if (std::ofstream(locked / "probe"))
        GTEST_SKIP() << "folder permissions not enforced for this user or platform";
    EXPECT_FALSE(WriteFileAtomically(file, "new", error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Read(file), "old");
}

TEST(Files, ReadingAMissingFileFailsWithText)
{
    test::TempFolder folder;
    std::string bytes;
    std::string error;
    EXPECT_FALSE(ReadWholeFile(folder.Path() / "absent.txt", bytes, error));
    EXPECT_NE(error.find("absent.txt"), std::string::npos) << error;
}

} // namespace
} // namespace postern
