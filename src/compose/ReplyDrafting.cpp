#include "compose/ReplyDrafting.h"
#include "platform/AsciiText.h"

#include "mail/AddressList.h"
#include "platform/Charset.h"
#include "ui/HtmlEscape.h"
#include "ui/ListDate.h"

namespace postern {

namespace {

ComposeRequest StartRequest(const DraftingAccount& account)
{
    ComposeRequest request;
    request.accountIndex = account.index;
    request.accountLabel = Utf8ToUtf16(account.name);
    return request;
}

// The entries joined with ", ", without the account's own address; with
// their decoded display names when withNames is set.
std::string JoinAddresses(const std::vector<MailAddress>& entries, std::string_view ownAddress, bool withNames)
{
    std::string joined;
    for (const MailAddress& entry : entries) {
        if (!ownAddress.empty() && EqualsIgnoringAsciiCase(entry.address, ownAddress))
            continue;
        if (!joined.empty())
            joined += ", ";
        joined += withNames ? FormatAddress(DecodeForDisplay(entry.name), entry.address) : entry.address;
    }
    return joined;
}

} // namespace

std::string HtmlEscape(std::string_view text)
{
    return EscapeHtml(text);
}

std::string StripTags(std::string_view html)
{
    std::string out;
    out.reserve(html.size());
    std::size_t pos = 0;
    while (pos < html.size()) {
        const std::size_t open = html.find('<', pos);
        if (open == std::string_view::npos) {
            out.append(html.substr(pos));
            break;
        }
        out.append(html.substr(pos, open - pos));
        const std::size_t close = html.find('>', open + 1);
        if (close == std::string_view::npos)
            break; // an unclosed tag runs to the end
        pos = close + 1;
    }
    return out;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.emplace_back(line);
        pos = next;
    }
    return lines;
}

std::string QuoteBodyHtml(const ParsedMessage& source)
{
    if (source.htmlBody.empty())
        return "<div style=\"white-space:pre-wrap\">" + HtmlEscape(source.textBody) + "</div>";
    return source.htmlBody;
}

std::string QuoteBodyText(const ParsedMessage& source)
{
    if (!source.textBody.empty())
        return source.textBody;
    return StripTags(source.htmlBody);
}

ComposeRequest BuildReplyRequest(const ParsedMessage& source, const std::string& mailbox, uint32_t uid,
                                 const DraftingAccount& account, bool replyAll)
{
    ComposeRequest request = StartRequest(account);
    // Recipients come from the raw headers: a display name may decode to
    // commas and addresses ("Alice, evil@attacker.example,"), which must
    // never become recipients. Only the names are decoded, for showing.
    request.to = Utf8ToUtf16(JoinAddresses(SplitAddressList(source.rawFrom), {}, true));
    if (replyAll) {
        std::vector<MailAddress> others = SplitAddressList(source.rawTo);
        for (MailAddress& entry : SplitAddressList(source.rawCc))
            others.push_back(std::move(entry));
        request.cc = Utf8ToUtf16(JoinAddresses(others, account.email, false));
    }

    request.subject = Utf8ToUtf16(StartsWithIgnoringAsciiCase(source.subject, "re:") ? source.subject
                                                                            : "Re: " + source.subject);

    const std::string when = Utf16ToUtf8(FormatListDate(source.date));
    const std::string who = DisplayName(source.from);
    // A message without a date would otherwise be introduced as "On , …".
    const std::string intro = when.empty() ? who + " wrote:" : "On " + when + ", " + who + " wrote:";
    const std::string introHtml = when.empty() ? HtmlEscape(who) + " wrote:"
                                               : "On " + HtmlEscape(when) + ", " + HtmlEscape(who) + " wrote:";

    request.quoteText = intro + "\r\n";
    for (const std::string& line : SplitLines(QuoteBodyText(source)))
        request.quoteText += "> " + line + "\r\n";

    request.quoteHtml = "<div style=\"color:#777\">" + introHtml
                        + "</div><blockquote style=\"margin:0 0 0 6px;padding-left:10px;border-left:2px solid "
                          "#ccc\">"
                        + QuoteBodyHtml(source) + "</blockquote>";

    request.inReplyTo = source.messageId;
    request.references = std::string(TrimAsciiSpace(source.references + " " + source.messageId));
    request.answeredUid = uid;
    request.answeredMailbox = mailbox;
    return request;
}

ComposeRequest BuildForwardRequest(const ParsedMessage& source, const DraftingAccount& account)
{
    ComposeRequest request = StartRequest(account);
    request.subject = Utf8ToUtf16(StartsWithIgnoringAsciiCase(source.subject, "fwd:") ? source.subject
                                                                             : "Fwd: " + source.subject);
    const std::string when = Utf16ToUtf8(FormatListDate(source.date));
    request.quoteText = "---------- Forwarded message ----------\r\nFrom: " + source.from + "\r\nDate: " + when
                        + "\r\nSubject: " + source.subject + "\r\nTo: " + source.to + "\r\n\r\n"
                        + QuoteBodyText(source);
    request.quoteHtml = "<div style=\"color:#777\">---------- Forwarded message ----------</div><div>From: "
                        + HtmlEscape(source.from) + "<br>Date: " + HtmlEscape(when)
                        + "<br>Subject: " + HtmlEscape(source.subject) + "<br>To: " + HtmlEscape(source.to)
                        + "</div><br>" + QuoteBodyHtml(source);
    return request;
}

} // namespace postern
