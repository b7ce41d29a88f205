// BuildMessage with arbitrary field contents, read back by ParseMessage:
// no header can be injected, and subject, attachment name and attachment
// bytes come back unchanged.
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Cuts the input into fields at 0xFF bytes.
std::string_view NextField(std::string_view& rest)
{
    const std::size_t cut = rest.find('\xFF');
    const std::string_view field = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return field;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    postern::OutgoingMessage message;
    const std::string displayName(NextField(rest));
    const std::string address(NextField(rest));
    message.to = NextField(rest);
    message.cc = NextField(rest);
    message.subject = NextField(rest);
    message.inReplyTo = NextField(rest);
    message.textBody = NextField(rest);
    message.htmlBody = NextField(rest);
    postern::OutgoingAttachment attachment;
    attachment.filename = NextField(rest);
    attachment.data = rest;
    message.attachments.push_back(attachment);

    const std::string built = postern::BuildMessageAt(displayName, address, message, 1796634000);
    const std::string_view head(built.data(), built.find("\r\n\r\n"));
    std::size_t lines = 0;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '\n' && (i == 0 || head[i - 1] != '\r'))
            std::abort(); // a bare line end in the header block
        if (head[i] == '\r' && (i + 1 >= head.size() || head[i + 1] != '\n'))
            std::abort();
        lines += head[i] == '\n';
    }
    // Date, From, To, Subject, Message-ID, MIME-Version, X-Mailer and
    // Content-Type, plus Cc and In-Reply-To when given: never more lines.
    if (lines + 1 > 8 + !message.cc.empty() + !message.inReplyTo.empty())
        std::abort();

    // A subject written as it stands loses the white space at its ends, as
    // every header value does; an encoded one comes back exactly.
    std::string_view subject = message.subject;
    if (postern::EncodeHeaderWord(subject) == subject) {
        while (!subject.empty() && static_cast<unsigned char>(subject.front()) <= 0x20)
            subject.remove_prefix(1);
        while (!subject.empty() && static_cast<unsigned char>(subject.back()) <= 0x20)
            subject.remove_suffix(1);
    }
    const postern::ParsedMessage parsed = postern::ParseMessage(built);
    if (parsed.subject != subject || parsed.parts.size() != 1
        || parsed.parts[0].data != attachment.data
        || parsed.parts[0].filename != attachment.filename)
        std::abort();
    return 0;
}
