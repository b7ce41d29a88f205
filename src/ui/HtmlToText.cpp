#include "ui/HtmlToText.h"

#include "platform/Charset.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace postern {

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

struct NamedEntity {
    std::string_view name;
    char32_t code;
};

// The entities mail actually uses; an unknown one stays as written.
constexpr std::array<NamedEntity, 64> kEntities = {{
    {"amp", U'&'},     {"lt", U'<'},      {"gt", U'>'},       {"quot", U'"'},     {"apos", U'\''},   {"nbsp", 0xA0},
    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122},  {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013},
    {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},  {"rdquo", 0x201D},  {"sbquo", 0x201A}, {"bdquo", 0x201E},
    {"bull", 0x2022},  {"middot", 0xB7},  {"euro", 0x20AC},   {"pound", 0xA3},    {"yen", 0xA5},     {"cent", 0xA2},
    {"sect", 0xA7},    {"para", 0xB6},    {"deg", 0xB0},      {"plusmn", 0xB1},   {"times", 0xD7},   {"divide", 0xF7},
    {"laquo", 0xAB},   {"raquo", 0xBB},   {"iexcl", 0xA1},    {"iquest", 0xBF},   {"shy", 0xAD},     {"zwnj", 0x200C},
    {"zwj", 0x200D},   {"ensp", 0x2002},  {"emsp", 0x2003},   {"thinsp", 0x2009}, {"auml", 0xE4},    {"ouml", 0xF6},
    {"uuml", 0xFC},    {"Auml", 0xC4},    {"Ouml", 0xD6},     {"Uuml", 0xDC},     {"szlig", 0xDF},   {"eacute", 0xE9},
    {"egrave", 0xE8},  {"ecirc", 0xEA},   {"aacute", 0xE1},   {"agrave", 0xE0},   {"acirc", 0xE2},   {"ccedil", 0xE7},
    {"ntilde", 0xF1},  {"oacute", 0xF3},  {"uacute", 0xFA},   {"iacute", 0xED},   {"oslash", 0xF8},  {"aring", 0xE5},
    {"aelig", 0xE6},   {"Eacute", 0xC9},  {"hearts", 0x2665}, {"rarr", 0x2192},
}};

// Elements whose content is never text for the reader.
bool IsSkippedElement(std::string_view name)
{
    return name == "script" || name == "style" || name == "head" || name == "title" || name == "template" ||
           name == "noscript" || name == "object" || name == "svg" || name == "math";
}

bool IsParagraph(std::string_view name)
{
    return name == "p" || name == "blockquote" || name == "ul" || name == "ol" || name == "table" || name == "pre" ||
           name == "hr" || name == "dl" || name == "h1" || name == "h2" || name == "h3" || name == "h4" ||
           name == "h5" || name == "h6";
}

bool IsLine(std::string_view name)
{
    return name == "div" || name == "tr" || name == "li" || name == "dt" || name == "dd" || name == "section" ||
           name == "article" || name == "header" || name == "footer" || name == "address" || name == "center" ||
           name == "form" || name == "fieldset" || name == "main" || name == "nav" || name == "aside" ||
           name == "figure" || name == "figcaption" || name == "caption" || name == "tbody" || name == "thead" ||
           name == "details" || name == "summary";
}

struct Tag {
    std::string name; // lower case
    bool closing = false;
    bool selfClosing = false;
    std::string_view attributes;
};

// The value of an attribute in a tag's attribute text, raw (entities not
// decoded); empty when it is absent.
std::string_view AttributeValue(std::string_view attributes, std::string_view wanted)
{
    size_t i = 0;
    while (i < attributes.size()) {
        while (i < attributes.size() && (IsSpace(attributes[i]) || attributes[i] == '/'))
            ++i;
        const size_t nameStart = i;
        while (i < attributes.size() && !IsSpace(attributes[i]) && attributes[i] != '=' && attributes[i] != '/')
            ++i;
        const std::string_view name = attributes.substr(nameStart, i - nameStart);
        while (i < attributes.size() && IsSpace(attributes[i]))
            ++i;
        std::string_view value;
        if (i < attributes.size() && attributes[i] == '=') {
            ++i;
            while (i < attributes.size() && IsSpace(attributes[i]))
                ++i;
            if (i < attributes.size() && (attributes[i] == '"' || attributes[i] == '\'')) {
                const char quote = attributes[i++];
                const size_t end = attributes.find(quote, i);
                value = attributes.substr(i, (end == std::string_view::npos ? attributes.size() : end) - i);
                i = end == std::string_view::npos ? attributes.size() : end + 1;
            } else {
                const size_t start = i;
                while (i < attributes.size() && !IsSpace(attributes[i]))
                    ++i;
                value = attributes.substr(start, i - start);
            }
        }
        if (name.empty()) {
            ++i;
            continue;
        }
        bool same = name.size() == wanted.size();
        for (size_t k = 0; same && k < name.size(); ++k)
            same = Lower(name[k]) == wanted[k];
        if (same)
            return value;
    }
    return {};
}

class Converter {
public:
    explicit Converter(std::string_view html) : html_(html) {}

    ReadableText Run()
    {
        while (pos_ < html_.size()) {
            if (html_[pos_] == '<' && Markup())
                continue;
            Text();
        }
        FinishLink();
        while (!out_.empty() && (out_.back() == ' ' || out_.back() == '\n'))
            out_.pop_back();
        return ToUtf16();
    }

private:
    // A tag, comment or declaration at pos_; false when the '<' is text.
    bool Markup()
    {
        const std::string_view rest = html_.substr(pos_);
        if (rest.substr(0, 4) == "<!--") {
            const size_t end = html_.find("-->", pos_ + 4);
            pos_ = end == std::string_view::npos ? html_.size() : end + 3;
            return true;
        }
        if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '?')) {
            const size_t end = html_.find('>', pos_);
            pos_ = end == std::string_view::npos ? html_.size() : end + 1;
            return true;
        }
        Tag tag;
        size_t i = pos_ + 1;
        if (i < html_.size() && html_[i] == '/') {
            tag.closing = true;
            ++i;
        }
        if (i >= html_.size() || !IsNameChar(html_[i]))
            return false;
        while (i < html_.size() && IsNameChar(html_[i]))
            tag.name.push_back(Lower(html_[i++]));
        const size_t attributesStart = i;
        // A quoted attribute value may hold '>'.
        char quote = 0;
        char lastSeen = 0;
        while (i < html_.size() && (quote != 0 || html_[i] != '>')) {
            const char c = html_[i++];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if ((c == '"' || c == '\'') && lastSeen == '=') {
                quote = c;
            }
            if (!IsSpace(c))
                lastSeen = c;
        }
        tag.attributes = html_.substr(attributesStart, i - attributesStart);
        tag.selfClosing = !tag.attributes.empty() && tag.attributes.back() == '/';
        pos_ = i < html_.size() ? i + 1 : html_.size();
        Element(tag);
        return true;
    }

    void Element(const Tag& tag)
    {
        const std::string_view name = tag.name;
        if (!tag.closing && !tag.selfClosing && IsSkippedElement(name)) {
            SkipPast(name);
            return;
        }
        if (name == "br") {
            Break(1);
        } else if (IsParagraph(name)) {
            Break(2);
            if (name == "pre")
                preDepth_ += tag.closing ? (preDepth_ > 0 ? -1 : 0) : 1;
            if (name == "ol" || name == "ul")
                List(tag.closing, name == "ol");
        } else if (name == "li" && !tag.closing) {
            Break(1);
            if (!lists_.empty() && lists_.back().first)
                Append(std::to_string(++lists_.back().second) + ". ");
            else
                Append("\u2022 ");
        } else if (IsLine(name)) {
            Break(1);
        } else if ((name == "td" || name == "th") && !tag.closing) {
            if (!out_.empty() && out_.back() != '\n')
                Append("  ");
        } else if (name == "img" && !tag.closing) {
            const std::string alt = Decode(AttributeValue(tag.attributes, "alt"));
            if (!alt.empty())
                Word("[" + alt + "]");
        } else if (name == "a") {
            FinishLink();
            if (!tag.closing) {
                linkTarget_ = Trim(Decode(AttributeValue(tag.attributes, "href")));
                linkStart_ = out_.size();
                inLink_ = !linkTarget_.empty();
            }
        }
    }

    // Skips an element's raw content up to its end tag (any letter case).
    void SkipPast(std::string_view name)
    {
        while (pos_ < html_.size()) {
            const size_t open = html_.find("</", pos_);
            if (open == std::string_view::npos)
                break;
            size_t i = open + 2;
            size_t k = 0;
            while (k < name.size() && i < html_.size() && Lower(html_[i]) == name[k]) {
                ++i;
                ++k;
            }
            if (k == name.size() && (i >= html_.size() || !IsNameChar(html_[i]))) {
                const size_t end = html_.find('>', i);
                pos_ = end == std::string_view::npos ? html_.size() : end + 1;
                return;
            }
            pos_ = open + 2;
        }
        pos_ = html_.size();
    }

    void List(bool closing, bool ordered)
    {
        if (!closing)
            lists_.emplace_back(ordered, 0);
        else if (!lists_.empty())
            lists_.pop_back();
    }

    void Text()
    {
        const size_t end = html_.find('<', pos_ + 1);
        const std::string_view run = html_.substr(pos_, (end == std::string_view::npos ? html_.size() : end) - pos_);
        pos_ += run.size();
        const std::string decoded = Decode(run);
        for (const char c : decoded) {
            if (preDepth_ > 0) {
                if (c == '\r')
                    continue;
                out_.push_back(c);
                pendingSpace_ = false;
            } else if (IsSpace(c)) {
                pendingSpace_ = true;
            } else {
                Char(c);
            }
        }
    }

    void Char(char c)
    {
        if (pendingSpace_ && !out_.empty() && out_.back() != '\n' && out_.back() != ' ')
            out_.push_back(' ');
        pendingSpace_ = false;
        out_.push_back(c);
    }

    void Word(const std::string& word)
    {
        for (const char c : word)
            Char(c);
    }

    void Append(std::string_view text)
    {
        pendingSpace_ = false;
        out_.append(text);
    }

    // Ends the line; `lines` 2 leaves an empty line between paragraphs.
    void Break(int lines)
    {
        pendingSpace_ = false;
        while (!out_.empty() && out_.back() == ' ')
            out_.pop_back();
        if (out_.empty())
            return;
        int have = 0;
        for (size_t i = out_.size(); i > 0 && out_[i - 1] == '\n' && have < 2; --i)
            ++have;
        for (; have < lines; ++have)
            out_.push_back('\n');
    }

    // The link's text is clickable; where it does not say where it leads,
    // the target follows it, and that is the clickable part.
    void FinishLink()
    {
        if (!inLink_)
            return;
        inLink_ = false;
        // A line break inside the link may have taken back spaces from
        // before it.
        size_t textStart = std::min(linkStart_, out_.size());
        while (textStart < out_.size() && IsSpace(out_[textStart]))
            ++textStart;
        const std::string_view shown = std::string_view(out_).substr(textStart);
        std::string_view bare = linkTarget_;
        if (bare.size() > 7 && bare.substr(0, 7) == "mailto:")
            bare.remove_prefix(7);
        if (shown == linkTarget_ || shown == bare) {
            links_.push_back({textStart, shown.size(), linkTarget_});
            return;
        }
        if (!shown.empty())
            Append(" ");
        const size_t start = out_.size();
        Append("<" + linkTarget_ + ">");
        links_.push_back({start + 1, linkTarget_.size(), linkTarget_});
    }

    static std::string Trim(std::string_view text)
    {
        size_t begin = 0;
        size_t end = text.size();
        while (begin < end && IsSpace(text[begin]))
            ++begin;
        while (end > begin && IsSpace(text[end - 1]))
            --end;
        return std::string(text.substr(begin, end - begin));
    }

    // Character references decoded; an unknown or broken one stays as it is.
    static std::string Decode(std::string_view text)
    {
        std::string out;
        out.reserve(text.size());
        size_t i = 0;
        while (i < text.size()) {
            if (text[i] != '&') {
                out.push_back(text[i++]);
                continue;
            }
            size_t j = i + 1;
            char32_t code = 0;
            bool known = false;
            if (j < text.size() && text[j] == '#') {
                ++j;
                const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
                if (hex)
                    ++j;
                const size_t digits = j;
                uint32_t value = 0;
                for (; j < text.size() && j - digits < 8; ++j) {
                    const char c = Lower(text[j]);
                    const int digit = (c >= '0' && c <= '9')          ? c - '0'
                                      : (hex && c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                                      : -1;
                    if (digit < 0)
                        break;
                    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
                }
                known = j > digits;
                code = value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) ? 0xFFFD : value;
            } else {
                size_t end = j;
                while (end < text.size() && end - j < 10 && IsNameChar(text[end]))
                    ++end;
                const std::string_view name = text.substr(j, end - j);
                for (const NamedEntity& entity : kEntities) {
                    if (entity.name == name) {
                        code = entity.code;
                        known = true;
                        j = end;
                        break;
                    }
                }
            }
            if (!known) {
                out.push_back(text[i++]);
                continue;
            }
            if (j < text.size() && text[j] == ';')
                ++j;
            if (code == 0xAD || code == 0x200C || code == 0x200D) {
                // invisible: a soft hyphen or a joiner adds nothing to read
            } else if (code == 0xA0 || code == 0x2002 || code == 0x2003 || code == 0x2009) {
                out.push_back(' ');
            } else {
                AppendUtf8(out, code);
            }
            i = j;
        }
        return out;
    }

    // The UTF-8 text as UTF-16 with each link's offsets moved along; a byte
    // that starts no valid sequence becomes U+FFFD.
    ReadableText ToUtf16()
    {
        ReadableText result;
        result.text.reserve(out_.size());
        std::vector<size_t> unitAt(out_.size() + 1, 0);
        size_t i = 0;
        while (i < out_.size()) {
            const auto byte = static_cast<unsigned char>(out_[i]);
            size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 0;
            char32_t code = length == 1 ? byte : length == 2 ? (byte & 0x1F) : length == 3 ? (byte & 0x0F) : (byte & 7);
            for (size_t k = 1; k < length; ++k) {
                const auto next = i + k < out_.size() ? static_cast<unsigned char>(out_[i + k]) : 0;
                if ((next & 0xC0) != 0x80) {
                    length = 0;
                    break;
                }
                code = (code << 6) | (next & 0x3F);
            }
            if (length == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                length = 1;
                code = 0xFFFD;
            }
            for (size_t k = 0; k < length; ++k)
                unitAt[i + k] = result.text.size();
            if (code >= 0x10000) {
                result.text.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
                result.text.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                result.text.push_back(static_cast<char16_t>(code));
            }
            i += length;
        }
        unitAt[out_.size()] = result.text.size();
        for (TextLink& link : links_) {
            const size_t end = std::min(link.start + link.length, out_.size());
            const size_t start = std::min(link.start, end);
            if (end == start)
                continue;
            result.links.push_back({unitAt[start], unitAt[end] - unitAt[start], std::move(link.target)});
        }
        return result;
    }

    std::string_view html_;
    size_t pos_ = 0;
    std::string out_;
    bool pendingSpace_ = false;
    int preDepth_ = 0;
    std::vector<std::pair<bool, int>> lists_; // ordered, items so far
    bool inLink_ = false;
    size_t linkStart_ = 0;
    std::string linkTarget_;
    std::vector<TextLink> links_;
};

} // namespace

ReadableText HtmlToText(std::string_view html)
{
    return Converter(html).Run();
}

} // namespace postern
