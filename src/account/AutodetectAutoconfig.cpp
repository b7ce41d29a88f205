// Autoconfig documents (the ISPDB's and a domain's own) read by plain text
// search: only a handful of elements matter, and a full XML parser would be
// more code exposed to a document from the network than the task deserves.
#include "account/Autodetect.h"

namespace postern {

namespace {

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20)
        text.remove_suffix(1);
    return text;
}

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
    return std::string(Trim(Between(block, "<" + name + ">", "</" + name + ">")));
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

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
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
