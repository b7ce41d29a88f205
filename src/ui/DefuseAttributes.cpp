#include "ui/DefuseAttributes.h"

#include <array>
#include <cstdint>

namespace postern {

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The HTML tokenizer's white space.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsUrlAttribute(std::string_view name)
{
    static constexpr std::array<std::string_view, 24> kNames = {
        "href",   "src",     "action",  "formaction", "xlink:href", "data",   "codebase", "background",
        "poster", "lowsrc",  "dynsrc",  "cite",       "longdesc",   "ping",   "to",       "from",
        "values", "by",      "archive", "classid",    "usemap",     "srcset", "icon",     "manifest"};
    for (std::string_view known : kNames) {
        if (known == name)
            return true;
    }
    return false;
}

// The character an entity at value[pos] ("&#106;", "&#x6A", "&colon;")
// stands for, with pos moved past it; '&' itself when it is none of these.
// Code points outside ASCII come back as 0x7F: they end any scheme.
char DecodeEntity(std::string_view value, std::size_t& pos)
{
    std::size_t i = pos + 1;
    if (i < value.size() && value[i] == '#') {
        ++i;
        const bool hex = i < value.size() && (value[i] == 'x' || value[i] == 'X');
        if (hex)
            ++i;
        uint32_t code = 0;
        const std::size_t digits = i;
        for (; i < value.size(); ++i) {
            const char c = Lower(value[i]);
            int digit = -1;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            if (digit < 0)
                break;
            code = code > 0x10FFFF ? code : code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        }
        if (i == digits)
            return '&';
        if (i < value.size() && value[i] == ';')
            ++i;
        pos = i;
        return code < 0x7F ? static_cast<char>(code) : '\x7F';
    }
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"colon;", ':'}, {"tab;", '\t'}, {"newline;", '\n'}};
    for (const auto& [name, c] : kNamed) {
        if (value.size() - i >= name.size()) {
            bool same = true;
            for (std::size_t k = 0; k < name.size() && same; ++k)
                same = Lower(value[i + k]) == name[k];
            if (same) {
                pos = i + name.size();
                return c;
            }
        }
    }
    return '&';
}

// Whether a URL value runs script once the browser has decoded its
// entities and dropped the white space and control bytes it ignores.
bool IsScriptUrl(std::string_view value)
{
    std::string scheme;
    for (std::size_t pos = 0; pos < value.size() && scheme.size() < 11;) {
        char c = value[pos];
        if (c == '&')
            c = DecodeEntity(value, pos);
        else
            ++pos;
        if (static_cast<unsigned char>(c) > 0x20)
            scheme.push_back(Lower(c));
    }
    return scheme.starts_with("javascript:") || scheme.starts_with("vbscript:");
}

// Elements whose content is text up to their end tag, as browsers read
// them in HTML (not inside svg or math, where they hold markup).
bool IsRawTextElement(std::string_view name)
{
    return name == "style" || name == "textarea" || name == "title" || name == "xmp" || name == "iframe"
           || name == "noembed" || name == "noframes" || name == "noscript";
}

class Defuser {
public:
    explicit Defuser(std::string_view html) : in(html), lower(html)
    {
        for (char& c : lower)
            c = Lower(c);
        out.reserve(html.size() + 64);
    }

    std::string Run()
    {
        std::size_t pos = 0;
        while ((pos = in.find('<', pos)) != std::string_view::npos) {
            if (lower.compare(pos, 4, "<!--") == 0)
                pos = SkipComment(pos);
            else if (foreignDepth > 0 && lower.compare(pos, 9, "<![cdata[") == 0)
                pos = SkipTo(pos, "]]>", 9); // text inside svg and math
            else if (pos + 1 < in.size() && IsLetter(in[pos + 1]))
                pos = Tag(pos + 1, false);
            else if (pos + 2 < in.size() && in[pos + 1] == '/' && IsLetter(in[pos + 2]))
                pos = Tag(pos + 2, true);
            else if (pos + 1 < in.size() && (in[pos + 1] == '!' || in[pos + 1] == '?' || in[pos + 1] == '/'))
                pos = SkipTo(pos, ">", 1); // a bogus comment, up to the next ">"
            else
                ++pos;
        }
        out.append(in.substr(copied));
        return std::move(out);
    }

private:
    std::size_t SkipTo(std::size_t from, std::string_view end, std::size_t skip)
    {
        const std::size_t at = lower.find(end, from + skip);
        return at == std::string::npos ? in.size() : at + end.size();
    }

    std::size_t SkipComment(std::size_t pos)
    {
        // "<!-->" and "<!--->" are whole comments; otherwise "-->" or "--!>" ends one.
        if (lower.compare(pos + 4, 1, ">") == 0)
            return pos + 5;
        if (lower.compare(pos + 4, 2, "->") == 0)
            return pos + 6;
        const std::size_t plain = lower.find("-->", pos + 4);
        const std::size_t bang = lower.find("--!>", pos + 4);
        if (plain == std::string::npos && bang == std::string::npos)
            return in.size();
        return plain < bang ? plain + 3 : bang + 4;
    }

    // The tag whose name starts at pos; the position after it.
    std::size_t Tag(std::size_t pos, bool endTag)
    {
        const std::size_t nameStart = pos;
        while (pos < in.size() && !IsSpace(in[pos]) && in[pos] != '/' && in[pos] != '>')
            ++pos;
        const std::string_view name = std::string_view(lower).substr(nameStart, pos - nameStart);
        bool selfClosing = false;
        for (;;) {
            while (pos < in.size() && (IsSpace(in[pos]) || in[pos] == '/')) {
                selfClosing = in[pos] == '/';
                ++pos;
            }
            if (pos >= in.size())
                return pos;
            if (in[pos] == '>')
                break;
            selfClosing = false;
            pos = Attribute(pos);
        }
        ++pos; // the ">"
        if (name == "svg" || name == "math") {
            if (endTag && foreignDepth > 0)
                --foreignDepth;
            else if (!endTag && !selfClosing)
                ++foreignDepth;
        }
        if (endTag || foreignDepth > 0)
            return pos;
        if (name == "plaintext")
            return in.size();
        if (IsRawTextElement(name))
            return RawTextEnd(pos, name);
        return pos;
    }

    std::size_t RawTextEnd(std::size_t pos, std::string_view name)
    {
        const std::string end = "</" + std::string(name);
        for (std::size_t at = lower.find(end, pos); at != std::string::npos; at = lower.find(end, at + 1)) {
            const std::size_t after = at + end.size();
            if (after >= in.size() || IsSpace(in[after]) || in[after] == '/' || in[after] == '>')
                return at;
        }
        return in.size();
    }

    // The attribute at pos; the position after its value.
    std::size_t Attribute(std::size_t pos)
    {
        const std::size_t nameStart = pos;
        ++pos; // a first "=" belongs to the name
        while (pos < in.size() && !IsSpace(in[pos]) && in[pos] != '/' && in[pos] != '>' && in[pos] != '=')
            ++pos;
        const std::string_view name = std::string_view(lower).substr(nameStart, pos - nameStart);
        std::size_t valueStart = pos;
        std::size_t valueEnd = pos;
        std::size_t after = pos;
        while (after < in.size() && IsSpace(in[after]))
            ++after;
        if (after < in.size() && in[after] == '=') {
            ++after;
            while (after < in.size() && IsSpace(in[after]))
                ++after;
            if (after < in.size() && (in[after] == '"' || in[after] == '\'')) {
                const std::size_t close = in.find(in[after], after + 1);
                valueStart = after + 1;
                valueEnd = close == std::string_view::npos ? in.size() : close;
                pos = close == std::string_view::npos ? in.size() : close + 1;
            } else {
                valueStart = after;
                while (after < in.size() && !IsSpace(in[after]) && in[after] != '>')
                    ++after;
                valueEnd = pos = after;
            }
        }
        const bool active = (name.size() > 2 && name.starts_with("on")) || name == "srcdoc"
                            || (IsUrlAttribute(name) && IsScriptUrl(in.substr(valueStart, valueEnd - valueStart)));
        if (active) {
            out.append(in.substr(copied, nameStart - copied));
            out += "x-";
            copied = nameStart;
        }
        return pos;
    }

    std::string_view in;
    std::string lower;
    std::string out;
    std::size_t copied = 0;
    int foreignDepth = 0;
};

} // namespace

std::string DefuseAttributes(std::string_view html)
{
    return Defuser(html).Run();
}

} // namespace postern
