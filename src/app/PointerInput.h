// What the main window's pointer handlers tell the window to do, and the
// state of a press that is still going on (a splitter, the list's thumb, or
// rows being dragged onto a folder).
#pragma once

#include "app/Commands.h"
#include "ui/Geometry.h"
#include "ui/ListModel.h"
#include "ui/PaneHitTest.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace postern {

// One attachment of one message, named by what it is rather than where it
// is shown: the save dialog is modal, and the reading pane may show another
// message by the time it closes.
struct AttachmentRef {
    int32_t account = -1;
    std::string mailbox;
    uint32_t uid = 0;
    size_t part = 0;
};

enum class PointerCapture { keep, take, release };
enum class PointerCursor { standard, sizeWestEast, arrow, no };

struct PointerReply {
    PointerCapture capture = PointerCapture::keep;
    // A command for the window to run (a toolbar button whose work is the
    // window's, such as opening a compose window); 0 for none.
    int command = 0;
    std::optional<AttachmentRef> saveAttachment;
    bool clearFilterBox = false; // the box's text is to go (the filter already has)
    std::optional<PointerCursor> cursor;
};

// A press that the pointer's moves and its release continue.
struct PointerPress {
    Splitter splitter = Splitter::none;
    bool thumb = false;
    float thumbGrab = 0;
    bool armed = false; // the press was on a row: a drag may start
    bool dragging = false;
    Point start;
    int32_t row = -1;
    bool pressedSelected = false;
    int32_t dropTarget = -1;
    Point point; // where the drag badge is drawn

    [[nodiscard]] bool Active() const { return splitter != Splitter::none || thumb || armed || dragging; }
};

// A context menu to show, and what it was opened on. The folder and the row
// are looked up again by what they name when a command is chosen: records
// handled while the menu was open may have rebuilt the rail or the list.
struct ContextMenuRequest {
    enum class Target { none, folder, row };
    Target target = Target::none;
    Point at; // client pixels
    std::vector<MenuEntry> entries;
    int32_t folderAccount = -1;
    std::string folderPath;
    bool folderUnified = false;
    RowKey row;
};

} // namespace postern
