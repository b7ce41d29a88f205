// The response reader on its own: whole inputs, every two-piece split and
// byte-by-byte delivery must give the same responses or the same error.
#include "ReplayCase.h"

#include "mail/ImapResponseReader.h"

#include <gtest/gtest.h>

namespace postern::test {
namespace {

// Feeds input in pieces of the given sizes (the last repeats) and reads
// responses until the input is used up; returns their dump, then "!" and the
// error if reading failed, or "+" when a response was left incomplete.
std::string ReadAll(std::string_view input, size_t firstPiece, size_t pieceSize)
{
    ImapResponseReader reader;
    std::string out;
    size_t at = 0;
    size_t piece = firstPiece ? firstPiece : pieceSize;
    std::vector<ImapResponse> responses;
    for (;;) {
        ImapResponse response;
        std::string error;
        const ImapResponseReader::Result got = reader.NextResponse(response, error);
        if (got == ImapResponseReader::Result::Done) {
            responses.push_back(std::move(response));
            continue;
        }
        if (got == ImapResponseReader::Result::Failed)
            return Dump(responses) + "!" + error;
        if (at >= input.size())
            return Dump(responses) + (reader.InResponse() || reader.Buffered() ? "+" : "");
        const size_t n = std::min(piece, input.size() - at);
        reader.Append(input.substr(at, n));
        at += n;
        piece = pieceSize;
    }
}

const struct {
    const char* name;
    std::string input;
    std::string expected;
} kCases[] = {
    {"plain lines", "* OK a\r\n* OK b\r\n", "* OK a|* OK b"},
    {"bare LF", "* OK a\n\n", "* OK a|"},
    {"CR only before LF is removed", "a\r\r\nb\rc\n", "a\\r|b\\rc"},
    {"literal", "* 1 FETCH (BODY[] {5}\r\nab\r\nc)\r\n", "* 1 FETCH (BODY[] {5})[ab\\r\\nc]"},
    {"zero literal", "x {0}\r\n y\r\n", "x {0} y[]"},
    {"literal holding a marker", "x {8}\r\n{99}\r\n\r\n\r\n", "x {8}[{99}\\r\\n\\r\\n]"},
    {"two literals", "x {1}\r\na y {2}\r\nbc z\r\n", "x {1} y {2} z[a,bc]"},
    {"binary literal marker", std::string("x ~{3}\r\n\0\1\2\r\n", 13), std::string("x ~{3}[") + '\0' + "\1\2]"},
    {"only the last brace counts", "x \"{3}\" {1}\r\nQ\r\n", "x \"{3}\" {1}[Q]"},
    {"no digits, no literal", "x {a1}\r\ny {1a}\r\nz { 1}\r\n", "x {a1}|y {1a}|z { 1}"},
    {"brace not at the end", "x {3} \r\nabc\r\n", "x {3} |abc"},
    {"incomplete line", "* OK", "+"},
    {"incomplete literal", "x {10}\r\nabc", "+"},
    {"size beyond the limit", "x {268435457}\r\n", "!literal of 268435457 bytes exceeds the 256 MiB limit"},
    {"size that does not parse", "ok\r\nx {99999999999999999999}\r\n",
     "ok!literal size does not parse: {99999999999999999999}"},
    {"limit exactly is fine until the bytes stop", "x {268435456}\r\nabc", "+"},
};

TEST(ImapResponseReader, EveryPieceSizeAndSplit)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string whole = ReadAll(c.input, 0, c.input.size() + 1);
        EXPECT_EQ(whole, c.expected);
        for (size_t split = 1; split < c.input.size(); ++split)
            ASSERT_EQ(ReadAll(c.input, split, c.input.size()), whole) << "split " << split;
        EXPECT_EQ(ReadAll(c.input, 0, 1), whole) << "byte by byte";
        EXPECT_EQ(ReadAll(c.input, 0, 3), whole) << "three at a time";
    }
}

TEST(ImapResponseReader, LongLinesAtTheLimit)
{
    const std::string atLimit(ImapResponseReader::kMaxLineBytes, 'a');
    EXPECT_TRUE(ReadAll(atLimit + "\r\nz\r\n", 0, 16384) == atLimit + "|z");
    EXPECT_EQ(ReadAll(atLimit + "bb", 0, 16384), "!response line longer than 1 MiB without a line end");
    EXPECT_EQ(ReadAll(atLimit + "b\n", 0, atLimit.size() + 10), "!response line longer than 1 MiB without a line end");
    // Many small literals must not let one response grow without bound.
    std::string many = "x";
    while (many.size() < (2u << 20))
        many += " {0}\r\n";
    EXPECT_EQ(ReadAll(many + "\r\n", 0, 16384), "!response line longer than 1 MiB without a line end");
}

TEST(ImapResponseReader, LargeLiteralArrivesWhole)
{
    std::string body;
    for (int i = 0; body.size() < 3u << 20; ++i)
        body += "line " + std::to_string(i) + "\r\n";
    const std::string input = "* 1 FETCH (BODY[] {" + std::to_string(body.size()) + "}\r\n" + body + ")\r\nC1 OK\r\n";
    for (size_t piece : {size_t{1000}, size_t{16384}, size_t{65536}}) {
        ImapResponseReader reader;
        std::vector<ImapResponse> got;
        size_t at = 0;
        while (got.size() < 2) {
            ImapResponse response;
            std::string error;
            const auto result = reader.NextResponse(response, error);
            ASSERT_NE(result, ImapResponseReader::Result::Failed) << error;
            if (result == ImapResponseReader::Result::Done) {
                got.push_back(std::move(response));
                continue;
            }
            ASSERT_LT(at, input.size());
            const size_t n = std::min(piece, input.size() - at);
            reader.Append(std::string_view(input).substr(at, n));
            at += n;
        }
        ASSERT_EQ(got[0].literals.size(), 1u);
        EXPECT_TRUE(got[0].literals[0] == body) << piece;
        EXPECT_EQ(got[0].line, "* 1 FETCH (BODY[] {" + std::to_string(body.size()) + "})");
        EXPECT_EQ(got[1].line, "C1 OK");
    }
}

TEST(ImapResponseReader, LinesAndResponsesShareTheBuffer)
{
    ImapResponseReader reader;
    reader.Append("+ go\r\n* 1 X {2}\r\nab\r\nrest");
    std::string line;
    std::string error;
    ASSERT_EQ(reader.NextLine(line, error), ImapResponseReader::Result::Done);
    EXPECT_EQ(line, "+ go");
    ImapResponse response;
    ASSERT_EQ(reader.NextResponse(response, error), ImapResponseReader::Result::Done);
    EXPECT_EQ(response.line, "* 1 X {2}");
    EXPECT_EQ(reader.NextLine(line, error), ImapResponseReader::Result::NeedMore);
    EXPECT_EQ(reader.Buffered(), 4u);
}

} // namespace
} // namespace postern::test
