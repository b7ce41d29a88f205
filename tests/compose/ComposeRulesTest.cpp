#include "compose/ComposeRules.h"

#include <gtest/gtest.h>

namespace postern {
namespace {

TEST(ComposeRules, CompletionLooksUpTheLastAddressAndAcceptingKeepsTheOthers)
{
    const struct {
        std::u16string_view field, token, accepted;
    } cases[] = {
        {u"bo", u"bo", u"Bob <bob@x.test>, "},
        {u"  bo\t", u"bo", u"Bob <bob@x.test>, "},
        {u"alice@x.test, bo", u"bo", u"alice@x.test,Bob <bob@x.test>, "},
        {u"alice@x.test,", u"", u"alice@x.test,Bob <bob@x.test>, "},
        {u"a@x.test, \"Smith, J\" <j@x.test>, c", u"c", u"a@x.test, \"Smith, J\" <j@x.test>,Bob <bob@x.test>, "},
        {u"", u"", u"Bob <bob@x.test>, "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompletionToken(c.field), c.token);
        EXPECT_EQ(AcceptCompletion(c.field, u"Bob <bob@x.test>"), c.accepted);
    }
}

TEST(ComposeRules, ProgramsScriptsAndDiskImagesAreBlockedInAnyLetterCase)
{
    const struct {
        const char* name;
        bool blocked;
    } cases[] = {
        {"setup.exe", true},     {"SETUP.EXE", true},     {"report.pdf.js", true}, {"tool.Ps1", true},
        {"disk.iso", true},      {"x.gadget", true},      {"x.mde", true},         {"notes.txt", false},
        {"exe", false},          {"archive.exe.", false}, {"photo.jpeg", false},   {".lnk", true},
        {"data.cabinet", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsBlockedAttachmentName(c.name), c.blocked) << c.name;

    EXPECT_EQ(BlockedAttachmentsWarning({"a.txt", "b.pdf"}), u"");
    EXPECT_EQ(BlockedAttachmentsWarning({"Setup.EXE", "a.txt", "run.bat"}),
              u"\u26A0 Setup.EXE, run.bat will be blocked by Gmail/most providers \u2014 put it in a shared link or "
              u"cloud drive instead.");
    EXPECT_EQ(AttachedFilesText(1), u"Attached 1 file.");
    EXPECT_EQ(AttachedFilesText(3), u"Attached 3 files.");
    EXPECT_EQ(kMaxAttachmentBytes, 26'214'400u);
}

} // namespace
} // namespace postern
