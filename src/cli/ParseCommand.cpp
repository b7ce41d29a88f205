// `postern-cli parse FILE`: parses one message file the way the program does
// and prints what it found as one JSON object (decoded headers, the two
// bodies, and every other part with its size and SHA-256), for comparing the
// parser with others and for checking a sent message after delivery.
#include "cli/Command.h"

#include "mail/MimeParser.h"
#include "platform/Console.h"
#include "platform/Crypto.h"
#include "platform/Files.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace postern::cli {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes
// there are not one; *consumed is then the length of the ill-formed prefix
// that one U+FFFD replaces (the "maximal subpart" of Unicode chapter 3).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i, std::size_t& consumed)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    consumed = 1;
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (i + k >= text.size())
            return 0;
        const unsigned char c = byte(i + k);
        const unsigned char min = k == 1 ? low : 0x80;
        const unsigned char max = k == 1 ? high : 0xBF;
        if (c < min || c > max)
            return 0;
        consumed = k + 1;
    }
    return length;
}

// A JSON string; text that claims to be UTF-8 but is not gets U+FFFD in
// place of each ill-formed sequence, so the output is always valid JSON.
void AppendJsonString(std::string& out, std::string_view text)
{
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            std::size_t consumed = 0;
            const std::size_t length = Utf8SequenceLength(text, i, consumed);
            if (length == 0) {
                out.append("\xEF\xBF\xBD");
                i += consumed;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        default:
            if (c < 0x20) {
                out.append("\\u00");
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 15]);
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
    out.push_back('"');
}

std::string Hex(std::string_view bytes)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes) {
        out.push_back(kHex[static_cast<unsigned char>(b) >> 4]);
        out.push_back(kHex[static_cast<unsigned char>(b) & 15]);
    }
    return out;
}

void AppendField(std::string& out, std::string_view name, std::string_view value)
{
    out.append(", ");
    AppendJsonString(out, name);
    out.append(": ");
    AppendJsonString(out, value);
}

std::string MessageJson(const ParsedMessage& message)
{
    std::string out = "{\"from\": ";
    AppendJsonString(out, message.from);
    AppendField(out, "to", message.to);
    AppendField(out, "cc", message.cc);
    AppendField(out, "subject", message.subject);
    out.append(", \"date\": " + std::to_string(message.date));
    AppendField(out, "message_id", message.messageId);
    AppendField(out, "in_reply_to", message.inReplyTo);
    AppendField(out, "references", message.references);
    AppendField(out, "text", message.textBody);
    AppendField(out, "html", message.htmlBody);
    out.append(", \"parts\": [");
    bool first = true;
    for (const MimePart& part : message.parts) {
        out.append(first ? "{\"content_type\": " : ", {\"content_type\": ");
        first = false;
        AppendJsonString(out, part.contentType);
        AppendField(out, "filename", part.filename);
        AppendField(out, "charset", part.charset);
        AppendField(out, "content_id", part.contentId);
        out.append(", \"size\": " + std::to_string(part.data.size()));
        AppendField(out, "sha256", Hex(Sha256(part.data)));
        out.push_back('}');
    }
    out.append("]}\n");
    return out;
}

} // namespace

int RunParse(const Arguments& args)
{
    if (args.size() != 1) {
        std::fputs("usage: postern-cli parse FILE\n", stderr);
        return 2;
    }
    std::string raw;
    std::string error;
    if (!ReadWholeFile(PathFromUtf8(args[0]), raw, error)) {
        std::fprintf(stderr, "parse: %s\n", error.c_str());
        return 1;
    }
    const std::string json = MessageJson(ParseMessage(raw));
    SetStandardOutputBinary();
    std::fwrite(json.data(), 1, json.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace postern::cli
