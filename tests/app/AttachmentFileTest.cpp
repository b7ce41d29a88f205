// Saving attachments: the name offered for hostile names from the mail, and
// the write to exactly the chosen path.
#include "app/AttachmentFile.h"

#include "support/TempFolder.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

using test::TempFolder;

std::string Utf8(std::u16string_view text)
{
    // Enough for readable failure messages; every unit outside ASCII shows
    // as \uXXXX.
    std::string out;
    for (char16_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out;
}

TEST(AttachmentFile, OfferedNamesAreSafeForWindows)
{
    struct Case {
        std::u16string in;
        std::u16string out;
    };
    const std::vector<Case> cases = {
        {u"report.pdf", u"report.pdf"},
        {u"", u"attachment.bin"},
        {u"Grüße 日本語.docx", u"Grüße 日本語.docx"},
        {u"emoji \U0001F600.png", u"emoji \U0001F600.png"},
        // Only the last path component, with either separator.
        {u"../../etc/passwd", u"passwd"},
        {u"..\\..\\Windows\\System32\\evil.dll", u"evil.dll"},
        {u"C:\\Users\\x\\Desktop\\a.txt", u"a.txt"},
        {u"folder/", u"attachment.bin"},
        {u"..", u"attachment.bin"},
        {u".", u"attachment.bin"},
        {u"dir/..", u"attachment.bin"},
        // Forbidden and control characters.
        {u"a<b>c:d\"e|f?g*h.txt", u"a_b_c_d_e_f_g_h.txt"},
        {u"C:evil.txt", u"C_evil.txt"},
        {u"line\r\nbreak\t.txt", u"line__break_.txt"},
        {std::u16string(u"nul\0byte.txt", 12), u"nul_byte.txt"},
        {u"del\x7F.txt", u"del_.txt"},
        {u"file.txt:stream", u"file.txt_stream"},
        // Bidirectional controls that disguise the extension.
        {u"invoice\u202Efdp.exe", u"invoice_fdp.exe"},
        {u"a\u2066b\u2069\u200F.txt", u"a_b__.txt"},
        // Trailing dots and spaces, leading spaces.
        {u"name.txt. . ", u"name.txt"},
        {u"   spaced.txt", u"spaced.txt"},
        {u"...", u"attachment.bin"},
        {u" . ", u"attachment.bin"},
        {u".hidden", u".hidden"},
        // Device names, with extensions and in any case.
        {u"CON", u"_CON"},
        {u"con.txt", u"_con.txt"},
        {u"Con .txt", u"_Con .txt"},
        {u"nul.tar.gz", u"_nul.tar.gz"},
        {u"aux", u"_aux"},
        {u"PRN.", u"_PRN"},
        {u"com1", u"_com1"},
        {u"COM9.log", u"_COM9.log"},
        {u"LPT5", u"_LPT5"},
        {u"lpt\u00B9.txt", u"_lpt\u00B9.txt"},
        {u"conin$", u"_conin$"},
        {u"CONOUT$.txt", u"_CONOUT$.txt"},
        {u"COM10", u"COM10"},
        {u"console.txt", u"console.txt"},
        {u"icon.png", u"icon.png"},
        {u"x/con", u"_con"},
        // Unpaired surrogates.
        {u"bad\xD800.txt", u"bad_.txt"},
        {u"bad\xDC00x", u"bad_x"},
        {u"end\xD83D", u"end_"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8(SafeAttachmentFileName(c.in)), Utf8(c.out)) << "input " << Utf8(c.in);
}

TEST(AttachmentFile, LongNamesAreCutBeforeTheExtension)
{
    const std::u16string longStem(300, u'a');
    std::u16string name = SafeAttachmentFileName(longStem + u".pdf");
    EXPECT_EQ(name.size(), kMaxAttachmentNameLength);
    EXPECT_EQ(name.substr(name.size() - 4), u".pdf");
    EXPECT_EQ(name.substr(0, 196), std::u16string(196, u'a'));

    // No extension: cut, and trailing dots or spaces that the cut exposes go.
    name = SafeAttachmentFileName(std::u16string(199, u'b') + u" " + std::u16string(50, u'c'));
    EXPECT_EQ(name, std::u16string(199, u'b'));

    // An overlong "extension" is not kept whole.
    name = SafeAttachmentFileName(u"x." + std::u16string(250, u'e'));
    EXPECT_EQ(name.size(), kMaxAttachmentNameLength);

    // A cut never splits a surrogate pair: with ".txt" kept, 196 units are
    // left for "z" and the emoji, and the 196th is the high half of one.
    std::u16string emoji = u"z";
    for (int i = 0; i < 150; ++i)
        emoji += u"\U0001F600";
    name = SafeAttachmentFileName(emoji + u".txt");
    ASSERT_LE(name.size(), kMaxAttachmentNameLength);
    EXPECT_EQ(name.substr(name.size() - 4), u".txt");
    const std::u16string stem = name.substr(0, name.size() - 4);
    EXPECT_EQ(stem.size(), 1u + 2 * 97); // "z" and 97 whole pairs
    EXPECT_FALSE(stem.back() >= 0xD800 && stem.back() <= 0xDBFF);

    // A device name that only the cut reveals is still defused.
    EXPECT_EQ(SafeAttachmentFileName(u"CON" + std::u16string(300, u' ') + u"x"), u"_CON");
    name = SafeAttachmentFileName(u"nul" + std::u16string(250, u' ') + u".txt");
    EXPECT_EQ(name.front(), u'_');
    EXPECT_LE(name.size(), kMaxAttachmentNameLength);

    // Exactly at the limit stays as it is.
    const std::u16string exact = std::u16string(196, u'q') + u".txt";
    EXPECT_EQ(SafeAttachmentFileName(exact), exact);
}

TEST(AttachmentFile, WritesExactlyTheBytesToExactlyThePath)
{
    TempFolder folder;
    const std::filesystem::path file =
        folder.Path() / std::filesystem::path(SafeAttachmentFileName(u"Grüße \U0001F600.bin"));
    const std::string bytes("binary\0\r\n\n\r\x1A\xFF end", 18);
    std::string error;
    ASSERT_TRUE(WriteAttachmentFile(file, bytes, error)) << error;
    EXPECT_EQ(test::ReadBytes(file), bytes);

    // Overwriting truncates.
    ASSERT_TRUE(WriteAttachmentFile(file, "short", error)) << error;
    EXPECT_EQ(test::ReadBytes(file), "short");

    // An empty attachment makes an empty file.
    ASSERT_TRUE(WriteAttachmentFile(file, "", error)) << error;
    EXPECT_EQ(test::ReadBytes(file), "");

    // Nothing else appeared in the folder: no temporary files.
    int count = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder.Path())) {
        (void)item;
        ++count;
    }
    EXPECT_EQ(count, 1);
}

TEST(AttachmentFile, UnwritablePathsFailWithAReason)
{
    TempFolder folder;
    std::string error;
    EXPECT_FALSE(WriteAttachmentFile(folder.Path() / "missing" / "a.txt", "x", error));
    EXPECT_NE(error.find("attachment not saved"), std::string::npos) << error;
    error.clear();
    std::filesystem::create_directory(folder.Path() / "dir");
    EXPECT_FALSE(WriteAttachmentFile(folder.Path() / "dir", "x", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "dir"));
}

} // namespace
} // namespace postern
