#include "ui/ConversationPage.h"

#include "platform/Charset.h"
#include "ui/HtmlEscape.h"
#include "ui/ListDate.h"
#include "ui/MessageIdTokens.h"
#include "ui/MessagePage.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace postern {

namespace {

constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

std::size_t ParentOf(const std::vector<ParsedMessage>& messages,
                     const std::unordered_map<std::string_view, std::size_t>& ids, std::size_t i)
{
    // In-Reply-To names the parent directly; References lists the ancestry
    // oldest first, so its nearest known ancestor is the last one found.
    for (const std::string_view token : MessageIdTokens(messages[i].inReplyTo)) {
        const auto found = ids.find(token);
        if (found != ids.end() && found->second != i)
            return found->second;
    }
    const std::vector<std::string_view> references = MessageIdTokens(messages[i].references);
    for (auto token = references.rbegin(); token != references.rend(); ++token) {
        const auto found = ids.find(*token);
        if (found != ids.end() && found->second != i)
            return found->second;
    }
    return kNoParent;
}

void AppendSection(std::string& page, const ParsedMessage& message, int depth, bool open)
{
    page += "<details";
    if (open)
        page += " open";
    if (depth > 0)
        page += " class='reply'";
    page += " style=\"margin-left:";
    page += std::to_string(std::min(depth, kMaxReplyIndentDepth) * kReplyIndentPx);
    page += "px\">";
    page += "<summary><span class='when'>";
    page += Utf16ToUtf8(FormatListDate(message.date));
    page += "</span> <span class='who'>"; // a space for pages read as text
    page += EscapeHtml(DisplayName(message.from));
    page += "</span></summary>";
    page += "<div class='body'>";
    page += BodyHtml(message);
    page += "</div>";
    page += "</details>";
}

} // namespace

std::string ConversationPageUtf8(const std::vector<ParsedMessage>& messages)
{
    const std::size_t n = messages.size();
    std::unordered_map<std::string_view, std::size_t> ids;
    for (std::size_t i = 0; i < n; ++i) {
        if (!messages[i].messageId.empty())
            ids.emplace(messages[i].messageId, i); // the first of repeated IDs wins
    }

    std::vector<std::vector<std::size_t>> children(n);
    std::vector<std::size_t> roots;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t parent = ParentOf(messages, ids, i);
        (parent == kNoParent ? roots : children[parent]).push_back(i);
    }
    const auto byDate = [&messages](std::size_t a, std::size_t b) { return messages[a].date < messages[b].date; };
    std::stable_sort(roots.begin(), roots.end(), byDate);
    for (std::vector<std::size_t>& list : children)
        std::stable_sort(list.begin(), list.end(), byDate);

    std::size_t open = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if (messages[i].date > messages[open].date)
            open = i;
    }

    std::string page(kPageHead);
    std::vector<bool> emitted(n, false);
    // Depth-first, pre-order, with an explicit stack: a chain of thousands of
    // replies must not exhaust the call stack. Each message is emitted once,
    // which also bounds the walk when References form a loop.
    const auto walk = [&](std::size_t start) {
        std::vector<std::pair<std::size_t, int>> stack{{start, 0}};
        while (!stack.empty()) {
            const auto [i, depth] = stack.back();
            stack.pop_back();
            if (emitted[i])
                continue;
            emitted[i] = true;
            AppendSection(page, messages[i], depth, i == open);
            for (auto child = children[i].rbegin(); child != children[i].rend(); ++child) {
                if (!emitted[*child])
                    stack.emplace_back(*child, depth + 1);
            }
        }
    };
    for (const std::size_t root : roots)
        walk(root);

    // Messages whose parent links run in a circle have no root to be reached
    // from; they are shown after the tree rather than silently left out,
    // each circle starting from its oldest message.
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < n; ++i) {
        if (!emitted[i])
            rest.push_back(i);
    }
    std::stable_sort(rest.begin(), rest.end(), byDate);
    for (const std::size_t i : rest)
        walk(i);

    page += "</body></html>";
    return page;
}

std::u16string ConversationPage(const std::vector<ParsedMessage>& messages)
{
    return Utf8ToUtf16(ConversationPageUtf8(messages));
}

} // namespace postern
