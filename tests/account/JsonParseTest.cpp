#include "account/Json.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace std::string_view_literals;

namespace postern {
namespace {

bool Parse(std::string_view text, JsonValue& value, std::size_t& position, std::string& error)
{
    position = 0;
    return JsonParse(text, position, value, error);
}

// Valid input and the compact text the parsed value serializes to.
struct ValidCase {
    std::string_view input;
    std::string_view expected;
};

const ValidCase kValid[] = {
    {"null"sv, "null"sv},
    {" \t\r\n true"sv, "true"sv},
    {"false"sv, "false"sv},
    {"0"sv, "0"sv},
    {"-12"sv, "-12"sv},
    {"993"sv, "993"sv},
    {"0.5"sv, "0.5"sv},
    {"1e3"sv, "1000"sv},
    {"1.5e-7"sv, "1.5e-07"sv},
    {"123456789012"sv, "123456789012"sv},
    {"-0"sv, "0"sv},
    // What strtod accepts is a number too.
    {"+7"sv, "7"sv},
    {"0x10"sv, "16"sv},
    {"1e400"sv, "inf"sv},
    {"\"abc\""sv, "\"abc\""sv},
    {"\"\""sv, "\"\""sv},
    {R"("a\"b\\c\/d")"sv, R"("a\"b\\c/d")"sv},
    {R"("\b\f\n\r\t")"sv, R"("\u0008\u000c\n\r\t")"sv},
    {R"("\u0041")"sv, "\"A\""sv},
    {R"("\u00e9\u00E9")"sv, "\"\xC3\xA9\xC3\xA9\""sv},
    {R"("\u20ac")"sv, "\"\xE2\x82\xAC\""sv},
    {R"("\ud83d\ude00")"sv, "\"\xF0\x9F\x98\x80\""sv},
    // An escaped zero adds nothing.
    {R"("a\u0000b")"sv, "\"ab\""sv},
    // Stray surrogates become U+FFFD; a non-low unit after a high one is
    // taken as its own character.
    {R"("\ud800")"sv, "\"\xEF\xBF\xBD\""sv},
    {R"("\ude00x")"sv, "\"\xEF\xBF\xBDx\""sv},
    {R"("\ud800\u0041")"sv, "\"\xEF\xBF\xBD" "A\""sv},
    {R"("\ud800\ud800")"sv, "\"\xEF\xBF\xBD\xEF\xBF\xBD\""sv},
    // Raw bytes, control bytes and invalid UTF-8 included, are kept.
    {"\"\x01\xC3\xA9\xFF\""sv, "\"\\u0001\xC3\xA9\xFF\""sv},
    {"\"a\0b\""sv, "\"a\\u0000b\""sv},
    {"[]"sv, "[]"sv},
    {"[ ]"sv, "[]"sv},
    {"[1,2 , 3]"sv, "[1,2,3]"sv},
    {"[[[]],[{}]]"sv, "[[[]],[{}]]"sv},
    {"{}"sv, "{}"sv},
    {"{ \"a\" : 1 ,\n\"b\" : [ true , null ] }"sv, R"({"a":1,"b":[true,null]})"sv},
    {R"({"a":1,"a":2})"sv, R"({"a":1,"a":2})"sv},
    {R"({"k\u0001":"v"})"sv, R"({"k\u0001":"v"})"sv},
};

TEST(JsonParse, ValidInputParsesToTheExpectedValue)
{
    for (const ValidCase& c : kValid) {
        JsonValue value;
        std::size_t position = 0;
        std::string error;
        ASSERT_TRUE(Parse(c.input, value, position, error)) << c.input << ": " << error;
        EXPECT_EQ(JsonSerialize(value), c.expected) << c.input;
        EXPECT_EQ(position, c.input.size()) << c.input;
    }
}

const std::string_view kInvalid[] = {
    ""sv,
    "   "sv,
    "\xEF\xBB\xBF{}"sv, // a byte-order mark is not whitespace
    R"("\x41")"sv,
    R"("\a")"sv,
    "\"abc"sv,
    "\"abc\\"sv,
    "\"abc\\\""sv,
    R"("\u12")"sv,
    R"("\u12G4")"sv,
    R"("\ud800\u12G4")"sv,
    "[1,]"sv,
    "[1 2]"sv,
    "[1,,2]"sv,
    "["sv,
    "[1"sv,
    "]"sv,
    "{"sv,
    "}"sv,
    ","sv,
    R"({"a" 1})"sv,
    "{a:1}"sv,
    R"({"a":1,})"sv,
    R"({"a":1)"sv,
    R"({"a":})"sv,
    R"({"a":1 "b":2})"sv,
    "{1:2}"sv,
    "-"sv,
    "."sv,
    "tru"sv,
    "nul"sv,
    "fals"sv,
    "True"sv,
    "'a'"sv,
    "[truex]"sv, // the prefix match leaves "x" for the array to reject
};

TEST(JsonParse, InvalidInputFailsWithAReasonAndANullValue)
{
    for (const std::string_view input : kInvalid) {
        JsonValue value = JsonValue::MakeString("stale");
        std::size_t position = 0;
        std::string error;
        EXPECT_FALSE(Parse(input, value, position, error)) << input;
        EXPECT_FALSE(error.empty()) << input;
        EXPECT_EQ(value.type, JsonType::Null) << input;
        EXPECT_LE(position, input.size()) << input;
    }
}

TEST(JsonParse, ErrorTextNamesTheProblemAndTheByte)
{
    const struct {
        std::string_view input;
        std::string_view error;
    } cases[] = {
        {R"({"a":"\x"})"sv, "unknown escape in a string at byte 6"sv},
        {R"(  "open)"sv, "unclosed string at byte 2"sv},
        {R"({"a" 1})"sv, "expected ':' after a key at byte 5"sv},
        {"\xEF\xBB\xBF{}"sv, "not a JSON value at byte 0"sv},
        {"[1 2]"sv, "expected ',' or ']' in an array at byte 3"sv},
    };
    for (const auto& c : cases) {
        JsonValue value;
        std::size_t position = 0;
        std::string error;
        EXPECT_FALSE(Parse(c.input, value, position, error));
        EXPECT_EQ(error, c.error) << c.input;
    }
}

TEST(JsonParse, StopsAfterTheValueAndStartsWhereTold)
{
    const struct {
        std::string_view input;
        std::size_t start;
        std::size_t end;
        std::string_view value;
    } cases[] = {
        {"  42  rest"sv, 0, 4, "42"sv},
        {"[1] [2]"sv, 0, 3, "[1]"sv},
        {"[1] [2]"sv, 3, 7, "[2]"sv},
        {"truex"sv, 0, 4, "true"sv},
        {"nullnull"sv, 4, 8, "null"sv},
        {"{} trailing garbage {"sv, 0, 2, "{}"sv},
    };
    for (const auto& c : cases) {
        JsonValue value;
        std::size_t position = c.start;
        ASSERT_TRUE(JsonParse(c.input, position, value)) << c.input;
        EXPECT_EQ(position, c.end) << c.input;
        EXPECT_EQ(JsonSerialize(value), c.value) << c.input;
    }
    JsonValue value;
    std::size_t beyond = 8;
    EXPECT_FALSE(JsonParse("[1]"sv, beyond, value));
}

TEST(JsonParse, NestingIsLimited)
{
    const auto nested = [](const std::string& open, const std::string& close, int levels) {
        std::string text;
        for (int i = 0; i < levels; ++i)
            text += open;
        text += open == "[" ? "" : "0";
        for (int i = 0; i < levels; ++i)
            text += close;
        return text;
    };
    JsonValue value;
    std::size_t position = 0;
    std::string error;
    EXPECT_TRUE(Parse(nested("[", "]", kJsonMaxDepth), value, position, error)) << error;
    EXPECT_TRUE(Parse(nested("{\"a\":", "}", kJsonMaxDepth), value, position, error)) << error;

    EXPECT_FALSE(Parse(nested("[", "]", kJsonMaxDepth + 1), value, position, error));
    EXPECT_NE(error.find("deeper"), std::string::npos) << error;
    EXPECT_FALSE(Parse(nested("{\"a\":", "}", kJsonMaxDepth + 1), value, position, error));
    EXPECT_FALSE(Parse(std::string(1000000, '['), value, position, error));
    EXPECT_EQ(position, static_cast<std::size_t>(kJsonMaxDepth));
}

TEST(JsonParse, NumbersLongerThanTheSliceAreCutButDoNotOverrun)
{
    // Only the first bytes of an absurdly long number are read; the rest is
    // then not part of the value.
    const std::string longNumber = "1" + std::string(2000, '0');
    JsonValue value;
    std::size_t position = 0;
    ASSERT_TRUE(JsonParse(longNumber, position, value));
    EXPECT_EQ(value.type, JsonType::Number);
    EXPECT_LT(position, longNumber.size());
    position = 0;
    EXPECT_FALSE(JsonParse("[" + longNumber + "]", position, value));
}

TEST(JsonValue, TypedLookupsSeeOnlyTheFirstMemberWithTheKey)
{
    const std::string_view document =
        R"({"n":5.5,"s":"x","b":true,"f":false,"o":{"in":1},"a":[1],"z":null,)"
        R"("dup":1,"dup":"two","arr":"no","arr":[]})"sv;
    JsonValue root;
    std::size_t position = 0;
    ASSERT_TRUE(JsonParse(document, position, root));

    EXPECT_EQ(root.NumberMember("n", 7), 5.5);
    EXPECT_EQ(root.NumberMember("s", 7), 7);
    EXPECT_EQ(root.NumberMember("missing", 7), 7);
    EXPECT_EQ(root.NumberMember("N", 7), 7); // keys are case-sensitive
    EXPECT_EQ(root.NumberMember("dup", 0), 1);

    EXPECT_EQ(root.StringMember("s", "d"), "x");
    EXPECT_EQ(root.StringMember("n", "d"), "d");
    EXPECT_EQ(root.StringMember("z", "d"), "d");
    EXPECT_EQ(root.StringMember("dup", "d"), "d"); // the later string does not count

    EXPECT_TRUE(root.BoolMember("b"));
    EXPECT_FALSE(root.BoolMember("f"));
    EXPECT_FALSE(root.BoolMember("n"));
    EXPECT_FALSE(root.BoolMember("missing"));

    ASSERT_NE(root.ObjectMember("o"), nullptr);
    EXPECT_EQ(root.ObjectMember("o")->NumberMember("in", 0), 1);
    EXPECT_EQ(root.ObjectMember("a"), nullptr);
    EXPECT_NE(root.ArrayMember("a"), nullptr);
    EXPECT_EQ(root.ArrayMember("o"), nullptr);
    EXPECT_EQ(root.ArrayMember("arr"), nullptr);

    ASSERT_NE(root.Find("z"), nullptr);
    EXPECT_EQ(root.Find("z")->type, JsonType::Null);
    EXPECT_EQ(root.Find("nope"), nullptr);

    // Lookups on anything but an object find nothing.
    const JsonValue* array = root.ArrayMember("a");
    EXPECT_EQ(array->Find("0"), nullptr);
    EXPECT_EQ(array->NumberMember("0", 3), 3);
}

} // namespace
} // namespace postern
