// MessageHeader: the summary of one message as the message list needs it,
// taken from one FETCH response of the header fetch.
#pragma once

#include <cstdint>
#include <string>

namespace postern {

struct MessageHeader {
    uint32_t uid = 0; // never 0 in a stored summary
    uint32_t seq = 0; // sequence number when it was fetched
    std::string from;    // RFC 2047-decoded UTF-8
    std::string subject; // RFC 2047-decoded UTF-8
    int64_t date = 0;    // Unix seconds (UTC); 0 when unknown
    uint32_t size = 0;   // RFC822.SIZE
    bool seen = false;
    bool answered = false;
    bool flagged = false;
    std::string messageId;  // raw, angle brackets included
    std::string inReplyTo;  // raw
    std::string references; // raw, unfolded
    // The first address of the raw From: what a display name decodes to
    // cannot change it. Empty when none was read.
    std::string fromAddress;
};

} // namespace postern
