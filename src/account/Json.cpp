#include "account/Json.h"
#include "platform/Charset.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace postern {

JsonValue JsonValue::MakeBool(bool value)
{
    JsonValue v;
    v.type = JsonType::Bool;
    v.boolean = value;
    return v;
}

JsonValue JsonValue::MakeNumber(double value)
{
    JsonValue v;
    v.type = JsonType::Number;
    v.number = value;
    return v;
}

JsonValue JsonValue::MakeString(std::string value)
{
    JsonValue v;
    v.type = JsonType::String;
    v.text = std::move(value);
    return v;
}

JsonValue JsonValue::MakeArray()
{
    JsonValue v;
    v.type = JsonType::Array;
    return v;
}

JsonValue JsonValue::MakeObject()
{
    JsonValue v;
    v.type = JsonType::Object;
    return v;
}

void JsonValue::Add(std::string key, JsonValue value)
{
    type = JsonType::Object;
    members.push_back(JsonMember{std::move(key), std::move(value)});
}

void JsonValue::Push(JsonValue value)
{
    type = JsonType::Array;
    items.push_back(std::move(value));
}

const JsonValue* JsonValue::Find(std::string_view key) const
{
    if (type != JsonType::Object)
        return nullptr;
    for (const auto& member : members) {
        if (member.key == key)
            return &member.value;
    }
    return nullptr;
}

double JsonValue::NumberMember(std::string_view key, double fallback) const
{
    const JsonValue* member = Find(key);
    return member && member->type == JsonType::Number ? member->number : fallback;
}

std::string JsonValue::StringMember(std::string_view key, std::string_view fallback) const
{
    const JsonValue* member = Find(key);
    return member && member->type == JsonType::String ? member->text : std::string(fallback);
}

bool JsonValue::BoolMember(std::string_view key) const
{
    const JsonValue* member = Find(key);
    return member && member->type == JsonType::Bool && member->boolean;
}

const JsonValue* JsonValue::ObjectMember(std::string_view key) const
{
    const JsonValue* member = Find(key);
    return member && member->type == JsonType::Object ? member : nullptr;
}

const JsonValue* JsonValue::ArrayMember(std::string_view key) const
{
    const JsonValue* member = Find(key);
    return member && member->type == JsonType::Array ? member : nullptr;
}

namespace {

// strtod needs a terminated buffer; numbers longer than this are read from
// their first bytes only, which no document of ours comes near.
constexpr std::size_t kNumberSlice = 511;

bool IsSurrogate(uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// One UTF-16 unit that is not half of a pair. A stray surrogate becomes
// U+FFFD, as the Windows converter makes it; an escaped zero would end the
// text for every C-string consumer of ours, so it is dropped.
void AppendUnit(std::string& out, uint32_t unit)
{
    if (unit == 0)
        return;
    AppendUtf8(out, IsSurrogate(unit) ? 0xFFFD : unit);
}

class JsonReader {
public:
    JsonReader(std::string_view text, std::size_t& position, std::string& error)
        : text_(text), pos_(position), error_(error)
    {
    }

    bool ParseValue(JsonValue& out, int depth)
    {
        SkipWhitespace();
        if (pos_ >= text_.size())
            return Fail("unexpected end of text");
        const char c = text_[pos_];
        if (c == '{' || c == '[') {
            if (depth >= kJsonMaxDepth)
                return Fail("nested deeper than " + std::to_string(kJsonMaxDepth) + " levels");
            return c == '{' ? ParseObject(out, depth + 1) : ParseArray(out, depth + 1);
        }
        if (c == '"') {
            out.type = JsonType::String;
            return ParseString(out.text);
        }
        // The words are matched as prefixes: "trueish" reads as true, and
        // the caller then trips over "ish" if it is inside a container.
        if (Literal("true")) {
            out.type = JsonType::Bool;
            out.boolean = true;
            return true;
        }
        if (Literal("false")) {
            out.type = JsonType::Bool;
            out.boolean = false;
            return true;
        }
        if (Literal("null")) {
            out.type = JsonType::Null;
            return true;
        }
        return ParseNumber(out);
    }

private:
    void SkipWhitespace()
    {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                return;
            ++pos_;
        }
    }

    bool Literal(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }

    bool ParseObject(JsonValue& out, int depth)
    {
        out.type = JsonType::Object;
        ++pos_; // '{'
        SkipWhitespace();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return true;
        }
        // Each round consumes at least the key's quotes, so the loop ends.
        while (true) {
            if (pos_ >= text_.size() || text_[pos_] != '"')
                return Fail("expected a key in double quotes");
            std::string key;
            if (!ParseString(key))
                return false;
            SkipWhitespace();
            if (pos_ >= text_.size() || text_[pos_] != ':')
                return Fail("expected ':' after a key");
            ++pos_;
            out.members.push_back(JsonMember{std::move(key), JsonValue()});
            if (!ParseValue(out.members.back().value, depth))
                return false;
            SkipWhitespace();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                SkipWhitespace();
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return Fail("expected ',' or '}' in an object");
        }
    }

    bool ParseArray(JsonValue& out, int depth)
    {
        out.type = JsonType::Array;
        ++pos_; // '['
        SkipWhitespace();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return true;
        }
        // Each round consumes at least one byte of value, so the loop ends.
        while (true) {
            out.items.emplace_back();
            if (!ParseValue(out.items.back(), depth))
                return false;
            SkipWhitespace();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return Fail("expected ',' or ']' in an array");
        }
    }

    bool ParseHex4(std::size_t at, uint32_t& unit) const
    {
        unit = 0;
        for (std::size_t i = at; i < at + 4; ++i) {
            const char c = text_[i];
            uint32_t digit = 0;
            if (c >= '0' && c <= '9')
                digit = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
            unit = unit * 16 + digit;
        }
        return true;
    }

    // pos_ is on the backslash; a complete escape is consumed and appended.
    bool ParseEscape(std::string& out)
    {
        if (pos_ + 1 >= text_.size())
            return Fail("unclosed string");
        const char letter = text_[pos_ + 1];
        switch (letter) {
        case '"':
        case '/':
        case '\\':
            out.push_back(letter);
            break;
        case 'b':
            out.push_back('\b');
            break;
        case 'f':
            out.push_back('\f');
            break;
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'u':
            return ParseUnicodeEscape(out);
        default:
            return Fail("unknown escape in a string");
        }
        pos_ += 2;
        return true;
    }

    bool ParseUnicodeEscape(std::string& out)
    {
        uint32_t high = 0;
        if (text_.size() - pos_ < 6 || !ParseHex4(pos_ + 2, high))
            return Fail("\\u needs four hexadecimal digits");
        pos_ += 6;
        const bool pairFollows = high >= 0xD800 && high <= 0xDBFF && text_.size() - pos_ >= 6
                                 && text_[pos_] == '\\' && text_[pos_ + 1] == 'u';
        if (!pairFollows) {
            AppendUnit(out, high);
            return true;
        }
        uint32_t low = 0;
        if (!ParseHex4(pos_ + 2, low))
            return Fail("\\u needs four hexadecimal digits");
        pos_ += 6;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00));
        } else {
            AppendUnit(out, high);
            AppendUnit(out, low);
        }
        return true;
    }

    // pos_ is on the opening quote. Bytes other than the quote and the
    // backslash, control bytes included, are taken as they are.
    bool ParseString(std::string& out)
    {
        const std::size_t start = pos_;
        ++pos_;
        while (pos_ < text_.size()) {
            std::size_t run = pos_;
            while (run < text_.size() && text_[run] != '"' && text_[run] != '\\')
                ++run;
            out.append(text_.data() + pos_, run - pos_);
            pos_ = run;
            if (pos_ >= text_.size())
                break;
            if (text_[pos_] == '"') {
                ++pos_;
                return true;
            }
            if (!ParseEscape(out))
                return false;
        }
        pos_ = start;
        return Fail("unclosed string");
    }

    // strtod decides what a number is, so "+1", "0x10", "inf" and "nan" are
    // numbers too. The program never calls setlocale, so the decimal point
    // is always '.'.
    bool ParseNumber(JsonValue& out)
    {
        // The slice lives in a member, not on the stack: this runs at every
        // level of a deeply nested document.
        slice_.assign(text_.substr(pos_, kNumberSlice));
        const char* start = slice_.c_str();
        char* end = nullptr;
        const double number = std::strtod(start, &end);
        if (end == start)
            return Fail("not a JSON value");
        out.type = JsonType::Number;
        out.number = number;
        pos_ += static_cast<std::size_t>(end - start);
        return true;
    }

    bool Fail(const std::string& what)
    {
        error_ = what + " at byte " + std::to_string(pos_);
        return false;
    }

    std::string_view text_;
    std::size_t& pos_;
    std::string& error_;
    std::string slice_;
};

void AppendQuoted(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out.push_back(kHex[(c >> 4) & 0xF]);
                out.push_back(kHex[c & 0xF]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

// Integral values print in full ("%lld"); the rest with six significant
// digits ("%g"). to_chars is defined as printf in the "C" locale and, unlike
// some C runtimes, always writes two-digit exponents.
void AppendNumber(std::string& out, double number)
{
    char buffer[64];
    std::to_chars_result result{};
    // The range test also keeps NaN and infinities away from the integer
    // conversion, which would be undefined for them.
    if (number >= -9223372036854775808.0 && number < 9223372036854775808.0
        && static_cast<double>(static_cast<long long>(number)) == number) {
        result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(number));
    } else {
        result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 6);
    }
    out.append(buffer, result.ptr);
}

void AppendValue(std::string& out, const JsonValue& value)
{
    switch (value.type) {
    case JsonType::Bool:
        out += value.boolean ? "true" : "false";
        return;
    case JsonType::Number:
        AppendNumber(out, value.number);
        return;
    case JsonType::String:
        AppendQuoted(out, value.text);
        return;
    case JsonType::Array:
        out.push_back('[');
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            if (i > 0)
                out.push_back(',');
            AppendValue(out, value.items[i]);
        }
        out.push_back(']');
        return;
    case JsonType::Object:
        out.push_back('{');
        for (std::size_t i = 0; i < value.members.size(); ++i) {
            if (i > 0)
                out.push_back(',');
            AppendQuoted(out, value.members[i].key);
            out.push_back(':');
            AppendValue(out, value.members[i].value);
        }
        out.push_back('}');
        return;
    case JsonType::Null:
        break;
    }
    out += "null";
}

} // namespace

bool JsonParse(std::string_view text, std::size_t& position, JsonValue& value, std::string& error)
{
    value = JsonValue();
    if (position > text.size()) {
        error = "start beyond the end of the text";
        return false;
    }
    JsonReader reader(text, position, error);
    if (reader.ParseValue(value, 0))
        return true;
    value = JsonValue();
    return false;
}

bool JsonParse(std::string_view text, std::size_t& position, JsonValue& value)
{
    std::string ignored;
    return JsonParse(text, position, value, ignored);
}

std::string JsonSerialize(const JsonValue& value)
{
    std::string out;
    AppendValue(out, value);
    return out;
}

} // namespace postern
