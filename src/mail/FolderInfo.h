// FolderInfo: one mailbox of a LIST answer, with the roles the application
// chooses folders by. The roles (FolderRole) are independent flags, not one
// value: a server may mark a folder both \Sent and \Archive, or nothing.
#pragma once

#include <string>

namespace postern {

struct FolderInfo {
    // Exactly as the server sent it (modified UTF-7 stays encoded), because
    // later commands must name the mailbox byte for byte the same way.
    std::string name;
    char delimiter = '/'; // "/" when the server sent NIL or nothing
    bool noSelect = false; // \Noselect or \NonExistent: not a mailbox itself

    // FolderRole flags.
    bool isInbox = false;
    bool isSent = false;
    bool isTrash = false;
    bool isDrafts = false;
    bool isJunk = false;
    bool isArchive = false; // archive or "all mail"
};

} // namespace postern
