#include "mail/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace std::string_view_literals;

namespace postern {
namespace {

// RFC 4648, section 10, plus bytes that use the last two alphabet letters.
const struct {
    std::string_view bytes;
    std::string_view text;
} kVectors[] = {
    {""sv, ""sv},
    {"f"sv, "Zg=="sv},
    {"fo"sv, "Zm8="sv},
    {"foo"sv, "Zm9v"sv},
    {"foob"sv, "Zm9vYg=="sv},
    {"fooba"sv, "Zm9vYmE="sv},
    {"foobar"sv, "Zm9vYmFy"sv},
    {"\xFB\xFF\xBF"sv, "+/+/"sv},
    {"\0\0\0"sv, "AAAA"sv},
};

TEST(Base64, RfcVectorsBothWays)
{
    for (const auto& v : kVectors) {
        EXPECT_EQ(Base64Encode(v.bytes), v.text);
        EXPECT_EQ(Base64Decode(v.text), v.bytes) << v.text;
    }
}

TEST(Base64, DecodingIsLenientAboutLayoutOnly)
{
    const struct {
        std::string_view text;
        std::string_view bytes;
    } cases[] = {
        {"Zm9v\r\nYmFy"sv, "foobar"sv},
        {" Zm 9v\tYg== "sv, "foob"sv},
        {"Zm9vYg"sv, "foob"sv},  // padding missing
        {"Zm9vYmE"sv, "fooba"sv},
        // Everything below is undecodable and gives nothing at all.
        {"Zm9v!mFy"sv, ""sv},
        {"Zm9v-_"sv, ""sv},      // URL-safe alphabet is not this one
        {"Zg==Zg=="sv, ""sv},    // data after padding
        {"Zm9vY"sv, ""sv},       // a lone sixth of a byte
        {"\xC3\xA9"sv, ""sv},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Base64Decode(c.text), c.bytes) << c.text;
}

TEST(Base64, EveryByteValueRoundTrips)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<char>(i));
    for (std::size_t length = 0; length <= all.size(); length += 37) {
        const std::string_view bytes(all.data(), length);
        const std::string text = Base64Encode(bytes);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(Base64Decode(text), bytes);
    }
}

} // namespace
} // namespace postern
