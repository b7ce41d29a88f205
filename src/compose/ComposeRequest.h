// ComposeRequest: what opens a compose window. New Message fills only the
// account; Reply, Reply All and Forward fill it from the message being read.
// The quotations are not put into the editor: the compose window appends
// them to the text and HTML bodies when the message is sent.
#pragma once

#include <cstdint>
#include <string>

namespace postern {

struct ComposeRequest {
    int32_t accountIndex = 0;    // into the settings' account list
    std::u16string accountLabel; // the account's name, for the title
    std::u16string to;
    std::u16string cc;
    std::u16string subject;
    std::u16string body;         // initial plain text of the editor
    std::string inReplyTo;       // Message-ID for In-Reply-To, or empty
    std::string references;      // References value, or empty
    std::string quoteText;       // appended to the text body at send time
    std::string quoteHtml;       // appended to the HTML body at send time
    uint32_t answeredUid = 0;    // flagged \Answered after sending; 0 = none
    // The folder of the answered message: the same UID names another
    // message in every other folder.
    std::string answeredMailbox;
};

} // namespace postern
