// Builds a frame of the main window from what the application object holds:
// the toolbar, the rail, the message list, the reading header, the status
// bar and the drag badge, in that order. Only what is visible is built, and
// the rectangles that the pointer handlers hit-test come back with it.
#pragma once

#include "mail/MimeParser.h"
#include "ui/ListState.h"
#include "ui/MainLayout.h"
#include "ui/RailItem.h"
#include "ui/Scene.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace postern {

struct RailSceneInput {
    const std::vector<RailItem>* items = nullptr;
    std::vector<uint32_t> badges; // per item: the unread badge, 0 for none
    int32_t current = -1;
    int32_t hover = -1;
    int32_t dropTarget = -1; // while messages are dragged
    float scroll = 0;        // pixels
};

struct ListSceneInput {
    const ListState* list = nullptr;
    float scroll = 0; // pixels
    int32_t hoverRow = -1;
    RowShift shift;
    std::function<bool(int32_t row)> isLocked; // asked for visible rows only
    bool folderSelected = false;
    bool unifiedSelected = false; // "All Inboxes" is the current rail item
};

struct MainSceneInput {
    WindowMetrics metrics;
    size_t accountCount = 0;
    int32_t hoverButton = -1;
    bool filterFocused = false;
    // The message in the reading pane; null while none is open.
    const ParsedMessage* shown = nullptr;
    RailSceneInput rail;
    ListSceneInput list;
    std::u16string status;
    bool dragging = false;
    Point dragPoint;
    size_t dragCount = 0;
};

struct AttachmentChip {
    size_t part = 0; // index into the shown message's parts
    Rect rect;
};

struct MainScene {
    Scene scene;
    FilterBoxPlace filter;
    ToolbarLayout toolbar;             // the buttons as painted
    std::vector<AttachmentChip> chips; // the reading header's chips as painted
    std::vector<Rect> railRects;       // each rail item's line; empty when hidden
};

[[nodiscard]] MainScene BuildMainScene(const MainSceneInput& input);

// The empty list's one line.
[[nodiscard]] std::u16string_view EmptyListText(const ListState& list, bool folderSelected);

} // namespace postern
