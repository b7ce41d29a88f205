// The query language of the filter box, shared by the local filter and the
// search across all folders: plain words, and "#key:value" terms that narrow
// a word to one field ("#from:anna", "#subject:\"two words\""). All terms
// must match.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// Field codes of a term; unknown keys and plain words search everywhere.
enum QueryField : int32_t {
    kQueryAny = 0,
    kQuerySubject = 1,
    kQueryFrom = 2,
    kQueryTo = 3,
    kQueryCc = 4,
};

// A term of the local filter; `value` is lower case.
struct QueryTerm {
    int32_t field = kQueryAny;
    std::u16string value;
};

// A term of the server search, from the UTF-8 form of the same text; the
// value keeps its letter case (IMAP SEARCH ignores case itself).
struct ServerQueryTerm {
    int32_t field = kQueryAny;
    std::string value;
};

[[nodiscard]] std::vector<QueryTerm> ParseFilterQuery(std::u16string_view text);
[[nodiscard]] std::vector<ServerQueryTerm> ParseServerQuery(std::string_view utf8);

// Whether a row with this sender and subject text passes the filter. The
// list only knows sender and subject, so "#to:" and "#cc:" terms pass every
// row here and take effect on the servers only.
[[nodiscard]] bool FilterMatches(const std::vector<QueryTerm>& terms, std::u16string_view senderText,
                                 std::u16string_view subjectText);

// The UID SEARCH criteria for a query, one criterion per term; empty when
// the query has no terms.
[[nodiscard]] std::string ImapSearchCriteria(std::string_view utf8Query);

// An IMAP quoted string. CR, LF and NUL cannot appear inside one (a CR LF
// would end the command line and let the rest of the value pass for a new
// command), so each becomes a space.
[[nodiscard]] std::string ImapQuoted(std::string_view value);

// The lower-case form of one UTF-16 unit for matching: ASCII, Latin-1,
// Latin Extended-A, Greek, Cyrillic and full-width Latin letters. The same
// on every platform, unlike the C library's towlower, whose answers depend
// on the locale and the runtime.
[[nodiscard]] char16_t LowerUnit(char16_t unit);
[[nodiscard]] std::u16string LowerText(std::u16string_view text);

} // namespace postern
