#include "compose/SendRequest.h"
#include "platform/AsciiText.h"
#include "platform/Charset.h"

#include "compose/RtfToHtml.h"
#include "mail/AddressList.h"

namespace postern {

namespace {

std::string TrimmedUtf8(const std::u16string& text)
{
    return std::string(TrimAsciiSpace(Utf16ToUtf8(text)));
}

// Every entry of a To or Cc field must name an address: "alice@x.org, bob"
// would otherwise go to Alice alone.
bool EveryEntryAddressed(const std::string& field, std::string& error)
{
    std::vector<std::string> withoutAddress;
    (void)SplitAddressList(field, &withoutAddress);
    if (withoutAddress.empty())
        return true;
    error = "Not an address: " + withoutAddress.front();
    return false;
}

} // namespace

bool BuildSendRequest(const ComposeRequest& opened, ComposeFields fields, SendRequest& request,
                      std::string& error)
{
    SendRequest built;
    OutgoingMessage& message = built.message;
    message.to = TrimmedUtf8(fields.to);
    if (message.to.find('@') == std::string::npos) {
        error = kNoRecipientText;
        return false;
    }
    message.cc = TrimmedUtf8(fields.cc);
    if (!EveryEntryAddressed(message.to, error) || !EveryEntryAddressed(message.cc, error))
        return false;
    message.subject = TrimmedUtf8(fields.subject);

    message.textBody = Utf16ToUtf8(fields.bodyText);
    if (!opened.quoteText.empty())
        message.textBody += "\r\n\r\n" + opened.quoteText;

    message.htmlBody = "<html><body>" + RtfToHtml(fields.bodyRtf);
    if (!opened.quoteHtml.empty())
        message.htmlBody += "<br><br>" + opened.quoteHtml;
    message.htmlBody += "</body></html>";

    message.attachments = std::move(fields.attachments);
    // Refused here already so that the window keeps its content and says why.
    if (!CheckHeaderValues({}, {}, message, error))
        return false;
    message.inReplyTo = opened.inReplyTo;
    message.references = opened.references;

    built.accountIndex = opened.accountIndex;
    built.answeredUid = opened.answeredUid;
    built.answeredMailbox = opened.answeredMailbox;
    request = std::move(built);
    return true;
}

} // namespace postern
