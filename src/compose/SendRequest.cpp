#include "compose/SendRequest.h"
#include "platform/AsciiText.h"
#include "platform/Charset.h"

#include "compose/RtfToHtml.h"

namespace postern {

namespace {

std::string TrimmedUtf8(const std::u16string& text)
{
    return std::string(TrimAsciiSpace(Utf16ToUtf8(text)));
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
