// Fuzzes the filter query language: the local parse (UTF-16) and match, and
// the IMAP criteria (UTF-8), which must never carry a line break or a NUL
// into the command line.
#include "ui/SearchQuery.h"
#include "platform/Charset.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::u16string wide = postern::Utf8ToUtf16(input);
    const std::vector<postern::QueryTerm> terms = postern::ParseFilterQuery(wide);
    for (const postern::QueryTerm& term : terms) {
        if (term.value.empty() || term.field < 0 || term.field > 4)
            std::abort();
    }
    (void)postern::FilterMatches(terms, wide, wide);
    const std::string criteria = postern::ImapSearchCriteria(input);
    if (criteria.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        std::abort();
    return 0;
}
