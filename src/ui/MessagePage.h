// The HTML page of one message: the fixed dark page, and the body of the
// message in it, plain text as preformatted text with links, HTML on a white
// card (mail is written for white paper) with script tags defused and inline
// images embedded. Pages are built in UTF-8 and handed over as UTF-16.
#pragma once

#include "mail/MimeParser.h"

#include <string>
#include <string_view>

namespace postern {

// The head shared by the message and the conversation page, up to and
// including "<body>"; its style sheet also draws the conversation tree.
extern const std::string_view kPageHead;

// The HTML fragment of a message's body.
[[nodiscard]] std::string BodyHtml(const ParsedMessage& message);

[[nodiscard]] std::string MessagePageUtf8(const ParsedMessage& message);
[[nodiscard]] std::u16string MessagePage(const ParsedMessage& message);

} // namespace postern
