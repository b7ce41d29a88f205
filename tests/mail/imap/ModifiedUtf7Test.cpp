// Modified UTF-7 mailbox names: decoding for display, encoding for commands,
// and the malformed names a server might send.
#include "mail/ModifiedUtf7.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace postern::test {
namespace {

const struct {
    std::string encoded;
    std::u16string decoded;
    std::string utf8;
} kValid[] = {
    {"", u"", ""},
    {"INBOX", u"INBOX", "INBOX"},
    {"&-", u"&", "&"},
    {"Tom &- Jerry", u"Tom & Jerry", "Tom & Jerry"},
    {"Entw&APw-rfe", u"Entwürfe", "Entwürfe"},
    {"Gel&APY-schte Elemente", u"Gelöschte Elemente", "Gelöschte Elemente"},
    {"&ZeVnLIqe-", u"日本語", "日本語"},
    {"~peter/mail/&U,BTFw-/&ZeVnLIqe-", u"~peter/mail/台北/日本語", "~peter/mail/台北/日本語"},
    {"&2D3eAA-", u"\U0001F600", "\U0001F600"},
    {"a&AOkA6QDp-b", u"aéééb", "aéééb"},
    {"&BBIERQQ+BDQETwRJBDgENQ-", u"Входящие", "Входящие"},
};

TEST(ModifiedUtf7, DecodesAndEncodes)
{
    for (const auto& c : kValid) {
        std::u16string decoded;
        std::string error;
        EXPECT_TRUE(DecodeModifiedUtf7(c.encoded, decoded, error)) << c.encoded << ": " << error;
        EXPECT_TRUE(decoded == c.decoded) << c.encoded;
        EXPECT_TRUE(MailboxDisplayName(c.encoded) == c.decoded) << c.encoded;
        std::string encoded;
        EXPECT_TRUE(EncodeModifiedUtf7(c.utf8, encoded, error)) << c.utf8 << ": " << error;
        EXPECT_EQ(encoded, c.encoded);
    }
}

TEST(ModifiedUtf7, RejectsMalformedNames)
{
    const struct {
        std::string encoded;
        std::string error;
    } cases[] = {
        {"&", "unterminated modified UTF-7 sequence at byte 0"},
        {"ab&AOk", "unterminated modified UTF-7 sequence at byte 2"},
        {"&AO!-", "invalid character in modified UTF-7 at byte 3"},
        {"&AO/-", "invalid character in modified UTF-7 at byte 3"},
        {"&AO-", "incomplete modified UTF-7 sequence at byte 1"},
        {"&AOl-", "incomplete modified UTF-7 sequence at byte 1"},
        {"&AOkA-", "incomplete modified UTF-7 sequence at byte 1"},
        {"&2D0-", "unpaired surrogate in modified UTF-7 mailbox name"},
        {"&3gA-", "unpaired surrogate in modified UTF-7 mailbox name"},
        {"Entwürfe", "byte outside printable ASCII in mailbox name at byte 4"},
        {"tab\there", "byte outside printable ASCII in mailbox name at byte 3"},
    };
    for (const auto& c : cases) {
        std::u16string decoded;
        std::string error;
        EXPECT_FALSE(DecodeModifiedUtf7(c.encoded, decoded, error)) << c.encoded;
        EXPECT_EQ(error, c.error) << c.encoded;
    }
    // Shown as UTF-8 when a server sends raw UTF-8 names.
    EXPECT_TRUE(MailboxDisplayName("Entwürfe") == u"Entwürfe");
}

TEST(ModifiedUtf7, RejectsIllFormedUtf8)
{
    const std::string cases[] = {"\xC3", "a\xC3(", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"};
    for (const std::string& c : cases) {
        std::string encoded;
        std::string error;
        EXPECT_FALSE(EncodeModifiedUtf7(c, encoded, error)) << c;
        EXPECT_THAT(error, testing::StartsWith("invalid UTF-8 in mailbox name at byte "));
    }
}

} // namespace
} // namespace postern::test
