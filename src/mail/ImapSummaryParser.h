// ImapSummaryParser: one FETCH response of the header fetch (UID, FLAGS,
// RFC822.SIZE, INTERNALDATE and the header fields as a literal) to a
// MessageHeader.
#pragma once

#include "mail/ImapResponse.h"
#include "mail/MessageHeader.h"

namespace postern {

// The item list the header fetch asks for, after the range or UID set.
inline constexpr const char* kHeaderFetchItems =
    " (UID FLAGS RFC822.SIZE INTERNALDATE BODY.PEEK[HEADER.FIELDS (FROM SUBJECT DATE MESSAGE-ID "
    "IN-REPLY-TO REFERENCES)])";

// False when the response is no FETCH response or carries no UID (servers
// send bare flag updates as FETCH responses too): such responses are skipped.
[[nodiscard]] bool ParseSummaryResponse(const ImapResponse& response, MessageHeader& header);

} // namespace postern
