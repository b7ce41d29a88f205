// The query language: parsing into terms, the local matcher and the IMAP
// criteria built from the same text.
#include "ui/SearchQuery.h"

#include "platform/Charset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

std::string Describe(const std::vector<QueryTerm>& terms)
{
    std::string out;
    for (const QueryTerm& t : terms)
        out += std::to_string(t.field) + ":" + Utf16ToUtf8(t.value) + "|";
    return out;
}

TEST(SearchQuery, Parsing)
{
    const std::pair<const char16_t*, const char*> cases[] = {
        {u"", ""},
        {u"   \t ", ""},
        {u"report", "0:report|"},
        {u"  Two   Words ", "0:two|0:words|"},
        {u"#from:anna report", "2:anna|0:report|"},
        {u"#FROM:Anna", "2:anna|"},
        {u"#subj:x #subject:y #to:z #cc:w", "1:x|1:y|3:z|4:w|"},
        {u"#urgent", "0:urgent|"},       // no colon: the plain word
        {u"#", ""},
        {u"# x", "0:x|"},
        {u"#date:today", "0:today|"},    // unknown key: everywhere
        {u"#:x", "0:x|"},
        {u"#from:", ""},                 // empty values are dropped
        {u"#from: anna", "0:anna|"},     // the space ends the empty value
        {u"#subject:\"two words\" x", "1:two words|0:x|"},
        {u"\"quoted phrase\"", "0:quoted phrase|"},
        {u"\"unterminated phrase", "0:unterminated phrase|"},
        {u"\"\"", ""},
        {u"a\"b c\"", "0:a\"b|0:c\"|"},  // a quote inside a word is a character
        {u"#from:\"Ann Lee\"#to:x", "2:ann lee|3:x|"},
        {u"ÄRGER Ωμέγα ПРИВЕТ", "0:ärger|0:ωμέγα|0:привет|"},
        {u"#to:x:y", "3:x:y|"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Describe(ParseFilterQuery(text)), expected) << Utf16ToUtf8(text);
}

TEST(SearchQuery, Matching)
{
    const struct {
        const char16_t* query;
        const char16_t* sender;
        const char16_t* subject;
        bool expected;
    } cases[] = {
        {u"", u"Anna", u"Report", true},
        {u"#urgent", u"Bo", u"URGENT: call", true},
        {u"#urgent", u"Urgent Care", u"hello", true},
        {u"#urgent", u"Bo", u"hello", false},
        {u"#from:anna report", u"Anna Berg", u"Weekly report", true},
        {u"#from:anna report", u"Anna Berg", u"Weekly", false},
        {u"#from:anna report", u"Bo", u"Report by Anna", false},
        {u"#from:anna report", u"Anna Report", u"", true}, // plain words look in the sender too
        {u"#subject:\"two words\"", u"x", u"Here Two Words are", true},
        {u"#subject:\"two words\"", u"two words", u"twowords", false},
        {u"#to:nobody", u"x", u"y", true}, // not known locally
        {u"#cc:nobody", u"x", u"y", true},
        {u"anna report", u"Anna", u"Report", true},
        {u"a r", u"", u"", false},
        {u"\"anna report\"", u"Anna", u"Report", true}, // across the joining space
        {u"straße", u"", u"STRASSE", false},
        {u"ÉTÉ", u"", u"été 2024", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilterMatches(ParseFilterQuery(c.query), c.sender, c.subject), c.expected)
            << Utf16ToUtf8(c.query) << " / " << Utf16ToUtf8(c.sender) << " / " << Utf16ToUtf8(c.subject);
    }
}

TEST(SearchQuery, ImapCriteria)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"  ", ""},
        {"#from:", ""},
        {"#subject:Budget", "SUBJECT \"Budget\""},
        {"#from:anna #to:bo #cc:carl", "FROM \"anna\" TO \"bo\" CC \"carl\""},
        {"report", "OR FROM \"report\" OR TO \"report\" OR CC \"report\" SUBJECT \"report\""},
        {"#from:anna report",
         "FROM \"anna\" OR FROM \"report\" OR TO \"report\" OR CC \"report\" SUBJECT \"report\""},
        {"#subj:\"two words\"", "SUBJECT \"two words\""},
        {"back\\slash", "OR FROM \"back\\\\slash\" OR TO \"back\\\\slash\" OR CC \"back\\\\slash\" SUBJECT "
                        "\"back\\\\slash\""},
        {"#to:a\"b", "TO \"a\\\"b\""},
        {"#to:Grüße", "TO \"Grüße\""},
        // A value can only carry a line break from a quoted term; it must not
        // end the command line.
        {"#to:\"x\r\nA1 LOGOUT\"", "TO \"x  A1 LOGOUT\""},
    };
    for (const auto& [query, expected] : cases)
        EXPECT_EQ(ImapSearchCriteria(query), expected) << query;
}

TEST(SearchQuery, LowerUnits)
{
    const std::pair<char16_t, char16_t> cases[] = {
        {u'A', u'a'}, {u'z', u'z'}, {u'@', u'@'},  {u'[', u'['},  {0xC0, 0xE0},   {0xD7, 0xD7},
        {0xDE, 0xFE}, {0xDF, 0xDF}, {0x100, 0x101}, {0x101, 0x101}, {0x130, u'i'}, {0x131, 0x131},
        {0x139, 0x13A}, {0x178, 0xFF}, {0x17D, 0x17E}, {0x391, 0x3B1}, {0x3A2, 0x3A2}, {0x386, 0x3AC},
        {0x38F, 0x3CE}, {0x401, 0x451}, {0x42F, 0x44F}, {0xFF21, 0xFF41}, {0x4E00, 0x4E00}, {0xD83D, 0xD83D},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(static_cast<int>(LowerUnit(in)), static_cast<int>(out)) << static_cast<int>(in);
}

} // namespace
} // namespace postern
