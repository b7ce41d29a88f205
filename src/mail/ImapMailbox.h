// The mailbox operations the application's jobs run on an ImapSession:
// listing folders, selecting, fetching summaries and whole messages, flags,
// copy, move, delete, append, unread counts and search. Messages are named
// by UID except in the header fetch by sequence range and in MarkAllSeen.
// All return true when the server answered OK; a NO or BAD leaves the
// session usable, a transport failure leaves it not connected.
#pragma once

#include "mail/FolderInfo.h"
#include "mail/ImapSession.h"
#include "mail/MessageHeader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

[[nodiscard]] bool ListFolders(ImapSession& session, std::vector<FolderInfo>& folders, std::string& error);

// Selects the mailbox; count is the number of messages in it.
[[nodiscard]] bool Select(ImapSession& session, std::string_view mailbox, uint32_t& count,
                          std::string& error);

// Summaries of the sequence range first:last, appended. A first of 0 counts
// as 1; an empty range sends nothing.
[[nodiscard]] bool FetchHeaders(ImapSession& session, uint32_t first, uint32_t last,
                                std::vector<MessageHeader>& headers, std::string& error);

// Summaries of a comma-separated UID set, appended; an empty set sends nothing.
[[nodiscard]] bool FetchHeadersByUid(ImapSession& session, std::string_view uidSet,
                                     std::vector<MessageHeader>& headers, std::string& error);

// The raw message; marked read on the server only when asked (which saves
// the separate STORE when a message is opened).
[[nodiscard]] bool FetchMessage(ImapSession& session, uint32_t uid, std::string& raw, std::string& error,
                                bool markSeen = false);

// Adds or removes one flag ("\Seen", "\Answered", "\Deleted").
[[nodiscard]] bool StoreFlag(ImapSession& session, uint32_t uid, std::string_view flag, bool add,
                             std::string& error);

[[nodiscard]] bool MarkAllSeen(ImapSession& session, std::string& error);

[[nodiscard]] bool CopyMessage(ImapSession& session, uint32_t uid, std::string_view target,
                               std::string& error);

// Flags the message \Deleted and expunges it: with UIDPLUS only this UID,
// without it the whole folder's \Deleted messages.
[[nodiscard]] bool DeleteMessage(ImapSession& session, uint32_t uid, std::string& error);

// UID MOVE; on a server without MOVE, copy, flag \Deleted and expunge.
[[nodiscard]] bool MoveMessage(ImapSession& session, uint32_t uid, std::string_view target,
                               std::string& error);

// Stores message in mailbox with the flag list ("\Seen", or empty).
[[nodiscard]] bool AppendMessage(ImapSession& session, std::string_view mailbox, std::string_view message,
                                 std::string_view flags, std::string& error);

[[nodiscard]] bool CountUnseen(ImapSession& session, std::string_view mailbox, uint32_t& unseen,
                               std::string& error);

// UIDs matching the criteria, appended.
[[nodiscard]] bool SearchUids(ImapSession& session, std::string_view criteria, std::vector<uint32_t>& uids,
                              std::string& error);

// SELECT and UID SEARCH written at once; leaves the mailbox selected.
[[nodiscard]] bool SelectAndSearch(ImapSession& session, std::string_view mailbox, std::string_view criteria,
                                   uint32_t& count, std::vector<uint32_t>& uids, std::string& error);

// The range of the newest `newest` messages of a folder of count messages,
// as the message list asks for them (last below first when it is empty).
void NewestRange(uint32_t count, uint32_t newest, uint32_t& first, uint32_t& last);

} // namespace postern
