#include "mail/ImapUntaggedBudget.h"

#include "mail/ImapText.h"

namespace postern {

namespace {

bool IsWord(std::string_view word, std::string_view keyword)
{
    return word.size() == keyword.size() && StartsWithIgnoringAsciiCase(word, keyword);
}

std::string MebibyteText(uint64_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

} // namespace

bool FoldCount(const ImapResponse& response, MailboxCounts& counts)
{
    uint32_t number = 0;
    std::string word;
    if (!response.literals.empty() || !imap::ScanNumberAndWord(response.line, number, word))
        return false;
    if (IsWord(word, "EXISTS")) {
        counts.existsSeen = true;
        counts.exists = number;
    } else if (IsWord(word, "RECENT")) {
        counts.recentSeen = true;
        counts.recent = number;
    } else if (IsWord(word, "EXPUNGE")) {
        ++counts.expunged;
    } else {
        return false;
    }
    return true;
}

bool ImapUntaggedBudget::Charge(const ImapResponse& response, std::string& error)
{
    uint64_t cost = sizeof(ImapResponse) + response.line.size();
    for (const std::string& literal : response.literals)
        cost += sizeof(std::string) + literal.size();
    ++responses;
    bytes += cost;
    if (responses > kMaxResponses) {
        error = "server sent more than " + std::to_string(kMaxResponses) + " responses to one command";
        return false;
    }
    if (bytes > maxBytes) {
        error = "server's responses to one command exceed " + MebibyteText(maxBytes);
        return false;
    }
    return true;
}

} // namespace postern
