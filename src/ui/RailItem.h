// RailItem: one line of the folder rail: an account header, a folder, or one
// of the two virtual views ("All Inboxes", "Locked").
#pragma once

#include "ui/Geometry.h"

#include <cstdint>
#include <string>

namespace postern {

struct RailItem {
    int32_t account = -1; // -1 for the virtual views
    std::string path;     // IMAP name of the folder, UTF-8
    bool noSelect = false;
    bool isInbox = false;
    bool isSent = false;
    bool isTrash = false;
    bool isDrafts = false;
    bool isJunk = false;
    bool isArchive = false;
    std::u16string label;
    bool isAccount = false;
    int32_t depth = 0;
    bool hasChildren = false;
    bool expanded = true;
    bool bright = false; // can be opened and accepts dropped messages
    bool unified = false;   // "All Inboxes"
    bool lockedView = false; // "Locked"
    Rect hitRect;           // as last painted; zero when hidden
};

// A real folder that can be shown: not a header, not a virtual view.
[[nodiscard]] inline bool IsOpenableFolder(const RailItem& item)
{
    return !item.isAccount && !item.unified && !item.lockedView && item.bright;
}

} // namespace postern
