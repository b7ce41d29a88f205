#include "account/SecretProtection.h"

#include "ScratchFolder.h"
#include "mail/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace std::string_view_literals;

namespace postern {
namespace {

bool IsOneLineBase64(const std::string& text)
{
    return !text.empty()
           && text.find_first_not_of(
                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=")
                  == std::string::npos;
}

TEST(SecretProtection, SecretsRoundTrip)
{
    test::ScratchFolder scratch;
    const std::string_view secrets[] = {
        "x"sv,
        "hunter2"sv,
        "p\xC3\xA4ssw\xC3\xB6rd \xF0\x9F\x98\x80"sv,
        "with\0zero"sv,
        "1//0gLongRefreshTokenLooking-Value_0123456789abcdefghijklmnopqrstuvwxyz"sv,
    };
    for (const std::string_view secret : secrets) {
        const std::string stored = ProtectSecret(secret);
        EXPECT_TRUE(IsOneLineBase64(stored)) << stored;
        // Whatever the platform does, the stored form is not the secret
        // merely re-encoded.
        EXPECT_NE(stored, Base64Encode(secret));
        if (secret.size() >= 6) { // shorter ones turn up in any Base64 text
            EXPECT_EQ(stored.find(secret), std::string::npos);
        }
        EXPECT_EQ(UnprotectSecret(stored), secret);
    }
    const std::string big(100000, 's');
    EXPECT_EQ(UnprotectSecret(ProtectSecret(big)), big);
}

TEST(SecretProtection, EmptyStaysEmpty)
{
    test::ScratchFolder scratch;
    EXPECT_EQ(ProtectSecret(""), "");
    EXPECT_EQ(UnprotectSecret(""), "");
}

TEST(SecretProtection, DamagedOrForeignValuesUnprotectToNothing)
{
    test::ScratchFolder scratch;
    const std::string stored = ProtectSecret("correct horse battery staple");
    ASSERT_FALSE(stored.empty());

    // Damage at the end of the blob, where every platform keeps its
    // integrity check (Wine's DPAPI ignores damage to much of the header).
    // Another letter of the alphabet keeps the Base64 decodable.
    const auto damaged = [&stored](std::size_t fromEnd) {
        std::string text = stored;
        const std::size_t at = text.find_last_not_of('=') - fromEnd;
        text[at] = text[at] == 'A' ? 'B' : 'A';
        return text;
    };

    const std::string cases[] = {
        damaged(1),
        damaged(8),
        damaged(16),
        stored.substr(0, stored.size() / 2 / 4 * 4), // cut short
        "!!not base64!!",
        "AAAA",
        Base64Encode("plain text, never protected"),
        stored + "AAAA",
    };
    for (const std::string& text : cases)
        EXPECT_EQ(UnprotectSecret(text), "") << text;
}

#ifndef _WIN32
// Natively a different roaming folder has a different key: this is what a
// settings file copied from another user or machine looks like.
TEST(SecretProtection, AnotherUsersSecretUnprotectsToNothing)
{
    test::ScratchFolder scratch;
    const std::string stored = ProtectSecret("hunter2");
    ASSERT_FALSE(stored.empty());
    test::ScratchFolder::RedirectRoaming(scratch / "elsewhere");
    EXPECT_EQ(UnprotectSecret(stored), "");
    test::ScratchFolder::RedirectRoaming(scratch / "roaming");
    EXPECT_EQ(UnprotectSecret(stored), "hunter2");
}
#endif

} // namespace
} // namespace postern
