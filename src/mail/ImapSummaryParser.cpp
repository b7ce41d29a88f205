#include "mail/ImapSummaryParser.h"

#include "mail/ImapText.h"
#include "mail/MimeParser.h"

#include <string>
#include <string_view>

namespace postern {

bool ParseSummaryResponse(const ImapResponse& response, MessageHeader& header)
{
    const std::string& line = response.line;
    uint32_t seq = 0;
    std::string word;
    if (!imap::ScanNumberAndWord(line, seq, word) || word != "FETCH")
        return false;

    MessageHeader out;
    out.seq = seq;
    const size_t uidAt = line.find("UID ");
    if (uidAt == std::string::npos || !imap::ReadNumber(line, uidAt + 4, out.uid) || out.uid == 0)
        return false;

    const size_t sizeAt = line.find("RFC822.SIZE ");
    if (sizeAt != std::string::npos && !imap::ReadNumber(line, sizeAt + 12, out.size))
        out.size = 0;

    const size_t flagsAt = line.find("FLAGS (");
    if (flagsAt != std::string::npos) {
        const size_t start = flagsAt + 7;
        const size_t end = line.find(')', start);
        const std::string flags = ToLowerAscii(
            std::string_view(line).substr(start, end == std::string::npos ? std::string::npos : end - start));
        out.seen = flags.find("\\seen") != std::string::npos;
        out.answered = flags.find("\\answered") != std::string::npos;
        out.flagged = flags.find("\\flagged") != std::string::npos;
    }

    if (!response.literals.empty()) {
        HeaderSummary summary = ParseHeaderSummary(response.literals.front());
        out.from = std::move(summary.from);
        out.subject = std::move(summary.subject);
        out.date = summary.date;
        out.messageId = std::move(summary.messageId);
        out.inReplyTo = std::move(summary.inReplyTo);
        out.references = std::move(summary.references);
        out.fromAddress = std::move(summary.fromAddress);
    }

    if (out.date == 0) {
        // A missing or broken Date header: the server's arrival time, as
        // "17-Jul-1996 02:44:25 -0700"; the date parser wants spaces there.
        const size_t at = line.find("INTERNALDATE \"");
        if (at != std::string::npos) {
            const size_t start = at + 14;
            const size_t end = line.find('"', start);
            if (end != std::string::npos) {
                std::string date = line.substr(start, end - start);
                // Only the date part's two dashes: the zone's sign stays, and
                // a one-digit day may come with a leading space.
                int dashes = 0;
                bool inDate = false;
                for (char& c : date) {
                    if (c == ' ' && inDate)
                        break;
                    if (c != ' ')
                        inDate = true;
                    if (c == '-' && dashes < 2) {
                        c = ' ';
                        ++dashes;
                    }
                }
                out.date = ParseDate(date);
            }
        }
    }
    header = std::move(out);
    return true;
}

} // namespace postern
