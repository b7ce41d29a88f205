// Commands of the main window that the engine carries out itself, and the
// two context menus: what they offer, and finding their folder or row again
// when a command is chosen.
#include "app/PosternApp.h"

#include <algorithm>

namespace postern {

namespace {

// Where the keyboard's menu key opens the row menu, in units: right of the
// list's left edge, and down the middle of the row.
constexpr float kKeyboardMenuX = 40.0f;

} // namespace

bool PosternApp::RunCommand(int id)
{
    const int32_t row = list_.currentRow;
    const bool rowCommand = id >= command::markRead && id <= command::toggleLock && id != command::conversations;
    if (rowCommand && !IsViewRow(list_, row))
        return true; // nothing to act on
    switch (id) {
    case command::deleteMessages:
        DeleteSelected();
        return true;
    case command::refresh:
        RefreshCurrent(false);
        return true;
    case command::markRead:
    case command::markUnread:
        MarkRead(row, id == command::markRead);
        return true;
    case command::copySender:
        CopySender(row);
        return true;
    case command::copySubject:
        CopySubject(row);
        return true;
    case command::conversations:
        SetConversationMode(!list_.conversationMode);
        return true;
    case command::toggleLock:
        ToggleLock(row);
        return true;
    case command::markAllRead:
        return true; // only the folder menu names a folder
    default:
        return false;
    }
}

ContextMenuRequest PosternApp::ContextMenuAt(float x, float y) const
{
    ContextMenuRequest menu;
    menu.at = {x, y};
    const WindowMetrics m = Metrics();
    if (x < m.Px(m.railWidth)) {
        std::vector<Rect> lines;
        for (const RailItem& item : rail_.Items())
            lines.push_back(item.hitRect);
        const RailItem* item = rail_.Item(RailItemAt(m, lines, x, y));
        // Headers and "Locked" hold no folder to mark; a folder that cannot
        // be opened holds no messages.
        if (!item || item->isAccount || item->lockedView || !item->bright)
            return menu;
        menu.target = ContextMenuRequest::Target::folder;
        menu.entries = FolderContextMenu();
        menu.folderAccount = item->account;
        menu.folderPath = item->path;
        menu.folderUnified = item->unified;
        return menu;
    }
    if (!InListRows(m, x, y) || !IsViewRow(list_, list_.currentRow))
        return menu;
    const int32_t row = list_.currentRow;
    menu.target = ContextMenuRequest::Target::row;
    menu.entries = RowContextMenu(!list_.viewRows[static_cast<size_t>(row)].header.seen, IsLocked(row));
    menu.row = KeyOfRow(list_, row);
    return menu;
}

ContextMenuRequest PosternApp::KeyboardContextMenu() const
{
    const WindowMetrics m = Metrics();
    const Rect list = ListRect(m);
    if (!IsViewRow(list_, list_.currentRow) || list.IsEmpty())
        return {};
    const float rowMiddle = m.Px(kRowHeight) * (static_cast<float>(list_.currentRow) + 0.5f) - listScroll_;
    // A row scrolled out of sight gets its menu at the list's nearest edge.
    const float y = std::clamp(list.top + rowMiddle, list.top + 1, list.bottom - 1);
    return ContextMenuAt(list.left + m.Px(kKeyboardMenuX), y);
}

void PosternApp::RunContextCommand(const ContextMenuRequest& menu, int id)
{
    using Target = ContextMenuRequest::Target;
    if (menu.target == Target::folder) {
        int32_t index = -1;
        if (menu.folderUnified) {
            const auto& items = rail_.Items();
            const auto unified = std::find_if(items.begin(), items.end(), [](const RailItem& i) { return i.unified; });
            index = unified == items.end() ? -1 : static_cast<int32_t>(unified - items.begin());
        } else {
            index = rail_.FindFolder(menu.folderAccount, menu.folderPath);
        }
        if (index >= 0 && id == command::markAllRead)
            MarkFolderRead(index);
        return;
    }
    if (menu.target != Target::row)
        return;
    const int32_t row = FindViewRow(list_, menu.row);
    if (row < 0)
        return; // the message went away while the menu was open
    if (row != list_.currentRow) {
        // The list was rebuilt under the menu: the command still acts on the
        // row the menu was opened on, as the current and only selected row.
        SelectOnly(list_, row);
    }
    (void)RunCommand(id);
}

} // namespace postern
