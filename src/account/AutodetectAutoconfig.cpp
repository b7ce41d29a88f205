// Autoconfig documents (the ISPDB's and a domain's own) read by plain text
// search: only a handful of elements matter, and a full XML parser would be
// more code exposed to a document from the network than the task deserves.
#include "account/Autodetect.h"
#include "platform/AsciiText.h"

namespace postern {

namespace {

std::string_view Between(std::string_view text, std::string_view open, std::string_view close)
{
    const std::size_t start = text.find(open);
    if (start == std::string_view::npos)
        return {};
    const std::size_t from = start + open.size();
    const std::size_t end = text.find(close, from);
    if (end == std::string_view::npos)
        return {};
    return text.substr(from, end - from);
}

std::string ElementValue(std::string_view block, const std::string& name)
{
    return std::string(TrimAsciiSpace(Between(block, "<" + name + ">", "</" + name + ">")));
}

// Decimal digits only; anything else, or a value beyond any port, gives 0.
int32_t PortValue(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return 0;
    int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value <= 65535 ? value : 0;
}

} // namespace

bool ParseAutoconfig(std::string_view xml, ServerSettings& settings)
{
    const std::string_view imapBlock = Between(xml, "<incomingServer type=\"imap\">", "</incomingServer>");
    const std::string_view smtpBlock = Between(xml, "<outgoingServer type=\"smtp\">", "</outgoingServer>");
    if (imapBlock.empty() || smtpBlock.empty())
        return false;
    const std::string imapHost = ElementValue(imapBlock, "hostname");
    const std::string smtpHost = ElementValue(smtpBlock, "hostname");
    if (imapHost.empty() || smtpHost.empty())
        return false;

    int32_t smtpPort = PortValue(ElementValue(smtpBlock, "port"));
    if (EqualsIgnoringAsciiCase(ElementValue(smtpBlock, "socketType"), "SSL"))
        smtpPort = 465;
    else if (smtpPort == 25 || smtpPort < 1)
        smtpPort = 587;

    settings.imapHost = imapHost;
    settings.imapPort = 993; // the IMAP side speaks only implicit TLS on 993
    settings.smtpHost = smtpHost;
    settings.smtpPort = smtpPort;
    return true;
}

} // namespace postern
