// The page of a whole conversation: one collapsible section per message,
// arranged as a reply tree (each message under the one it answers), with
// only the newest message expanded.
#pragma once

#include "mail/MimeParser.h"

#include <string>
#include <vector>

namespace postern {

// Deeper replies are drawn at this depth; beyond it the indent would eat
// the width of the pane.
inline constexpr int kMaxReplyIndentDepth = 6;
inline constexpr int kReplyIndentPx = 22;

[[nodiscard]] std::string ConversationPageUtf8(const std::vector<ParsedMessage>& messages);
[[nodiscard]] std::u16string ConversationPage(const std::vector<ParsedMessage>& messages);

} // namespace postern
