// IMAP IDLE (RFC 2177) for the new-mail watcher: start, poll for activity
// within the connection's receive time-out, stop. Between StartIdle and
// StopIdle only PollIdle may be used on the session.
#pragma once

#include "mail/ImapSession.h"

#include <string>

namespace postern {

[[nodiscard]] bool StartIdle(ImapSession& session, std::string& error);

// 1: new messages or removals were announced; 0: nothing within the receive
// time-out; -1: the connection is lost.
[[nodiscard]] int PollIdle(ImapSession& session);

[[nodiscard]] bool StopIdle(ImapSession& session, std::string& error);

} // namespace postern
