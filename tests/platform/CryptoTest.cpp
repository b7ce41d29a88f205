#include "platform/Crypto.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        out.push_back(digits[(static_cast<unsigned char>(c) >> 4) & 0xF]);
        out.push_back(digits[static_cast<unsigned char>(c) & 0xF]);
    }
    return out;
}

TEST(Crypto, Sha256KnownVectors)
{
    // FIPS 180-2 examples.
    const struct {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Hex(Sha256(c.input)), c.digest) << c.input.size();
}

TEST(Crypto, RandomBytesHaveTheLengthAndDiffer)
{
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{16}, std::size_t{48},
                                    std::size_t{4096}}) {
        std::string bytes = "stale";
        ASSERT_TRUE(RandomBytes(count, bytes));
        EXPECT_EQ(bytes.size(), count);
    }
    std::string first;
    std::string second;
    ASSERT_TRUE(RandomBytes(32, first));
    ASSERT_TRUE(RandomBytes(32, second));
    EXPECT_NE(first, second);
    EXPECT_NE(first, std::string(32, '\0'));
}

} // namespace
} // namespace postern
