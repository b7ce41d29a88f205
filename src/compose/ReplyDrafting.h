// Reply, Reply All and Forward: the ComposeRequest for an answer to, or a
// forward of, the message in the reading pane, with its recipients, subject,
// threading headers and the quotation in text and HTML form.
#pragma once

#include "compose/ComposeRequest.h"
#include "mail/MimeParser.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// What drafting needs of the account the message belongs to.
struct DraftingAccount {
    int32_t index = 0;
    std::string name;  // shown in the compose window's title
    std::string email; // left out of Reply All's Cc
};

// The source is the message with this UID in this mailbox of the account.
[[nodiscard]] ComposeRequest BuildReplyRequest(const ParsedMessage& source, const std::string& mailbox,
                                               uint32_t uid, const DraftingAccount& account, bool replyAll);
[[nodiscard]] ComposeRequest BuildForwardRequest(const ParsedMessage& source, const DraftingAccount& account);

// "&", "<" and ">" as entities; quotes are copied.
[[nodiscard]] std::string HtmlEscape(std::string_view text);

// Every "<...>" dropped; entities are left as they are.
[[nodiscard]] std::string StripTags(std::string_view html);

// Lines split at LF, one CR before each LF removed; a final LF ends the last
// line rather than starting an empty one.
[[nodiscard]] std::vector<std::string> SplitLines(std::string_view text);

// The quoted body in HTML: the HTML body, or the escaped text body kept in
// its lines by pre-wrap.
[[nodiscard]] std::string QuoteBodyHtml(const ParsedMessage& source);

// The quoted body as text: the text body, or the HTML body without tags.
[[nodiscard]] std::string QuoteBodyText(const ParsedMessage& source);

} // namespace postern
