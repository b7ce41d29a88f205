#include "account/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <string_view>

using namespace std::string_view_literals;

namespace postern {
namespace {

TEST(JsonSerialize, NumbersPrintIntegralInFullAndOthersWithSixDigits)
{
    const struct {
        double number;
        std::string_view text;
    } cases[] = {
        {993, "993"},
        {230, "230"},
        {0.5, "0.5"},
        {-1, "-1"},
        {0, "0"},
        {-0.0, "0"},
        {0.1, "0.1"},
        {-2.25, "-2.25"},
        {1e15, "1000000000000000"},
        {4294967295.0, "4294967295"},
        {1234567.5, "1.23457e+06"},
        {1e-7, "1e-07"},
        {1e300, "1e+300"},
        // The edges of the 64-bit conversion: -2^63 fits, 2^63 does not.
        {-9223372036854775808.0, "-9223372036854775808"},
        {9223372036854775808.0, "9.22337e+18"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JsonSerialize(JsonValue::MakeNumber(c.number)), c.text) << c.number;

    // NaN must not reach the integer conversion; its sign is the runtime's.
    const std::string nan = JsonSerialize(JsonValue::MakeNumber(std::nan("")));
    EXPECT_NE(nan.find("nan"), std::string::npos) << nan;
}

TEST(JsonSerialize, StringsEscapeOnlyWhatTheFormatRequires)
{
    const struct {
        std::string_view text;
        std::string_view json;
    } cases[] = {
        {"plain"sv, R"("plain")"sv},
        {"tab\tlf\ncr\r"sv, R"("tab\tlf\ncr\r")"sv},
        {"quote\" backslash\\"sv, R"("quote\" backslash\\")"sv},
        {"\x01"sv, R"("\u0001")"sv},
        {"\x1f\x08\x0c"sv, R"("\u001f\u0008\u000c")"sv},
        {"a\0b"sv, R"("a\u0000b")"sv},
        {"a/b"sv, R"("a/b")"sv},
        {"\x7f"sv, "\"\x7f\""sv},
        {"gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"sv, "\"gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80\""sv},
        {"\xFF\xFE"sv, "\"\xFF\xFE\""sv},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JsonSerialize(JsonValue::MakeString(std::string(c.text))), c.json);
        // Keys are written the same way.
        JsonValue object = JsonValue::MakeObject();
        object.Add(std::string(c.text), JsonValue());
        EXPECT_EQ(JsonSerialize(object), "{" + std::string(c.json) + ":null}");
    }
}

TEST(JsonSerialize, ContainersAreCompactAndKeepOrderAndDuplicates)
{
    JsonValue root = JsonValue::MakeObject();
    root.Add("z", JsonValue::MakeBool(true));
    root.Add("a", JsonValue::MakeArray());
    JsonValue list = JsonValue::MakeArray();
    list.Push(JsonValue::MakeNumber(1));
    list.Push(JsonValue());
    list.Push(JsonValue::MakeObject());
    list.Push(JsonValue::MakeString("s"));
    root.Add("list", std::move(list));
    root.Add("z", JsonValue::MakeBool(false));
    EXPECT_EQ(JsonSerialize(root), R"({"z":true,"a":[],"list":[1,null,{},"s"],"z":false})");

    JsonValue unknown;
    unknown.type = static_cast<JsonType>(42);
    EXPECT_EQ(JsonSerialize(unknown), "null");
}

} // namespace
} // namespace postern
