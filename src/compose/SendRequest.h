// SendRequest: everything a send needs, built in one call from what a
// compose window collected and the ComposeRequest it was opened with. The
// window gathers its fields and hands them over; the quotations, the HTML
// wrapping, the threading headers and the answered message are added here.
#pragma once

#include "compose/ComposeRequest.h"
#include "mail/MessageBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace postern {

struct SendRequest {
    int32_t accountIndex = 0;
    // To, Cc, Subject, the bodies, attachments, In-Reply-To and References:
    // exactly what the message writer takes.
    OutgoingMessage message;
    uint32_t answeredUid = 0; // flagged \Answered after sending; 0 = none
    std::string answeredMailbox;
};

// What the compose window holds when Send is pressed.
struct ComposeFields {
    std::u16string to;
    std::u16string cc;
    std::u16string subject;
    std::u16string bodyText; // the editor's plain text
    std::string bodyRtf;     // the editor's content streamed out as RTF
    std::vector<OutgoingAttachment> attachments;
};

// The text shown when To names nobody; the window keeps its content.
inline constexpr const char* kNoRecipientText = "Add at least one recipient.";

// Fills request from the fields and the request the window was opened with.
// To, Cc and Subject are trimmed of spaces and control bytes at both ends.
// False with kNoRecipientText when To is empty or holds no at sign, with
// "Not an address: " and the entry when an entry of To or Cc has none, and
// with CheckHeaderValues' error when a field holds a line break.
[[nodiscard]] bool BuildSendRequest(const ComposeRequest& opened, ComposeFields fields, SendRequest& request,
                                    std::string& error);

} // namespace postern
