#include "ui/SearchQuery.h"

namespace postern {

namespace {

template <typename Char>
bool IsQuerySpace(Char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

template <typename Char>
Char LowerAsciiChar(Char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
int32_t FieldForKey(std::basic_string_view<Char> key)
{
    std::string lower;
    for (const Char c : key) {
        const Char l = LowerAsciiChar(c);
        if (l < 'a' || l > 'z')
            return kQueryAny; // no known key has anything but letters
        lower.push_back(static_cast<char>(l));
    }
    if (lower == "subject" || lower == "subj")
        return kQuerySubject;
    if (lower == "from")
        return kQueryFrom;
    if (lower == "to")
        return kQueryTo;
    if (lower == "cc")
        return kQueryCc;
    return kQueryAny;
}

// Calls add(field, value) for every term with a non-empty value. Each pass
// of the loop consumes at least one character.
template <typename Char, typename Add>
void ParseTerms(std::basic_string_view<Char> text, Add add)
{
    const std::size_t n = text.size();
    std::size_t pos = 0;
    while (pos < n) {
        while (pos < n && IsQuerySpace(text[pos]))
            ++pos;
        if (pos >= n)
            break;
        int32_t field = kQueryAny;
        if (text[pos] == '#') {
            std::size_t end = pos + 1;
            while (end < n && text[end] != ':' && !IsQuerySpace(text[end]))
                ++end;
            if (end < n && text[end] == ':') {
                field = FieldForKey(text.substr(pos + 1, end - pos - 1));
                pos = end + 1;
            } else {
                pos = pos + 1; // "#urgent" is the word "urgent"
            }
        }
        std::basic_string_view<Char> value;
        if (pos < n && text[pos] == '"') {
            const std::size_t close = text.find(Char('"'), pos + 1);
            const std::size_t end = close == std::basic_string_view<Char>::npos ? n : close;
            value = text.substr(pos + 1, end - pos - 1);
            pos = end < n ? end + 1 : n;
        } else {
            std::size_t end = pos;
            while (end < n && !IsQuerySpace(text[end]))
                ++end;
            value = text.substr(pos, end - pos);
            pos = end;
        }
        if (!value.empty())
            add(field, value);
    }
}

bool Contains(std::u16string_view haystack, std::u16string_view needle)
{
    return haystack.find(needle) != std::u16string_view::npos;
}

} // namespace

char16_t LowerUnit(char16_t c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130)
            return u'i';
        if (c == 0x178)
            return 0xFF;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        const bool evenUpper = (c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177);
        if (oddUpper)
            return (c & 1) != 0 ? static_cast<char16_t>(c + 1) : c;
        if (evenUpper)
            return (c & 1) == 0 ? static_cast<char16_t>(c + 1) : c;
        return c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<char16_t>(c + 0x20);
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return static_cast<char16_t>(c + 0x25);
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return static_cast<char16_t>(c + 0x3F);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 0x20);
    if (c >= 0xFF21 && c <= 0xFF3A)
        return static_cast<char16_t>(c + 0x20);
    return c;
}

std::u16string LowerText(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = LowerUnit(c);
    return out;
}

std::vector<QueryTerm> ParseFilterQuery(std::u16string_view text)
{
    std::vector<QueryTerm> terms;
    ParseTerms<char16_t>(text, [&terms](int32_t field, std::u16string_view value) {
        terms.push_back(QueryTerm{field, LowerText(value)});
    });
    return terms;
}

std::vector<ServerQueryTerm> ParseServerQuery(std::string_view utf8)
{
    std::vector<ServerQueryTerm> terms;
    ParseTerms<char>(utf8, [&terms](int32_t field, std::string_view value) {
        terms.push_back(ServerQueryTerm{field, std::string(value)});
    });
    return terms;
}

bool FilterMatches(const std::vector<QueryTerm>& terms, std::u16string_view senderText,
                   std::u16string_view subjectText)
{
    if (terms.empty())
        return true;
    const std::u16string sender = LowerText(senderText);
    const std::u16string subject = LowerText(subjectText);
    const std::u16string both = sender + u" " + subject;
    for (const QueryTerm& term : terms) {
        bool match = true;
        switch (term.field) {
        case kQuerySubject: match = Contains(subject, term.value); break;
        case kQueryFrom: match = Contains(sender, term.value); break;
        case kQueryTo:
        case kQueryCc: match = true; break;
        default: match = Contains(both, term.value); break;
        }
        if (!match)
            return false;
    }
    return true;
}

std::string ImapQuoted(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + 2);
    out.push_back('"');
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\r' || c == '\n' || c == '\0') {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
    return out;
}

std::string ImapSearchCriteria(std::string_view utf8Query)
{
    std::string criteria;
    for (const ServerQueryTerm& term : ParseServerQuery(utf8Query)) {
        const std::string v = ImapQuoted(term.value);
        if (!criteria.empty())
            criteria.push_back(' ');
        switch (term.field) {
        case kQuerySubject: criteria += "SUBJECT " + v; break;
        case kQueryFrom: criteria += "FROM " + v; break;
        case kQueryTo: criteria += "TO " + v; break;
        case kQueryCc: criteria += "CC " + v; break;
        default: criteria += "OR FROM " + v + " OR TO " + v + " OR CC " + v + " SUBJECT " + v; break;
        }
    }
    return criteria;
}

} // namespace postern
