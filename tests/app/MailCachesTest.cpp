// The body cache stays within its bounds in entries and in bytes, whatever
// a person opens, and forgets exactly what it held for an account.
#include "app/MailCaches.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

ParsedMessage BodyOf(size_t bytes)
{
    ParsedMessage message;
    message.htmlBody.assign(bytes, 'x');
    return message;
}

TEST(MailCaches, BodiesStayWithinTheirBoundsInEntriesAndBytes)
{
    MailCaches caches;
    // Many small bodies: the count bounds them.
    for (uint32_t uid = 1; uid <= 40; ++uid)
        caches.StoreBody(0, "INBOX", uid, BodyOf(1000));
    EXPECT_EQ(caches.BodyCount(), 24u);
    EXPECT_EQ(caches.BodyBytes(), 24u * 1000u);
    EXPECT_EQ(caches.FindBody(0, "INBOX", 16), nullptr);
    EXPECT_NE(caches.FindBody(0, "INBOX", 17), nullptr);

    // Large bodies: the bytes bound them, oldest first.
    for (uint32_t uid = 100; uid < 120; ++uid)
        caches.StoreBody(1, "INBOX", uid, BodyOf(0x1F0000));
    EXPECT_LE(caches.BodyBytes(), 0x1000000u);
    EXPECT_NE(caches.FindBody(1, "INBOX", 119), nullptr);
    EXPECT_EQ(caches.FindBody(1, "INBOX", 100), nullptr);

    // One body over the single-message bound is not kept at all.
    const size_t before = caches.BodyBytes();
    caches.StoreBody(1, "INBOX", 500, BodyOf(0x300000));
    EXPECT_EQ(caches.FindBody(1, "INBOX", 500), nullptr);
    EXPECT_EQ(caches.BodyBytes(), before);

    // Storing a body again replaces it without counting it twice.
    caches.StoreBody(1, "INBOX", 119, BodyOf(10));
    EXPECT_EQ(caches.FindBody(1, "INBOX", 119)->htmlBody.size(), 10u);
    caches.ForgetAccount(1);
    EXPECT_EQ(caches.BodyCount(), 0u);
    EXPECT_EQ(caches.BodyBytes(), 0u);
}

} // namespace
} // namespace postern
