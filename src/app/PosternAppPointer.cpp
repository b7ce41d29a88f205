// The mouse in the painted panes: presses on the splitters, the toolbar,
// the attachment chips, the rail, the list's scrollbar and its rows; drags
// of rows onto a folder; hovering with its prefetches; the wheel; and the
// list's keys.
#include "app/PosternApp.h"
#include "ui/StatusText.h"

#include <algorithm>

namespace postern {

namespace {

// Pixels scrolled per wheel notch: two rail lines, one and a half rows.
constexpr float kRailWheelUnits = 56.0f;
constexpr float kListWheelUnits = 84.0f;
constexpr float kWheelNotch = 120.0f;

const ToolbarButton* ButtonAt(const std::vector<ToolbarButton>& buttons, float x, float y)
{
    for (const ToolbarButton& button : buttons) {
        if (button.rect.Contains(x, y))
            return &button;
    }
    return nullptr;
}

std::vector<Rect> HitRectsOf(const std::vector<RailItem>& items)
{
    std::vector<Rect> rects;
    rects.reserve(items.size());
    for (const RailItem& item : items)
        rects.push_back(item.hitRect);
    return rects;
}

} // namespace

PointerReply PosternApp::OnButtonDown(float x, float y, ClickModifiers modifiers)
{
    PointerReply reply;
    if (press_.Active())
        return reply; // a second button's press while one is held changes nothing
    const WindowMetrics m = Metrics();

    if (const Splitter splitter = SplitterAt(m, x, y); splitter != Splitter::none) {
        press_.splitter = splitter;
        reply.capture = PointerCapture::take;
        return reply;
    }
    if (const ToolbarButton* button = ButtonAt(paintedButtons_, x, y)) {
        // Enabled exactly as painted: a message shown in the reading pane.
        const bool enabled = !button->needsMessage || shownReady_;
        if (enabled) {
            const int id = ToolbarButtonCommand(button->id);
            if (!RunCommand(id))
                reply.command = id;
        }
        return reply; // a disabled button swallows the press
    }
    for (const AttachmentChip& chip : paintedChips_) {
        if (chip.rect.Contains(x, y)) {
            reply.saveAttachment = ShownAttachment(chip.part);
            return reply;
        }
    }
    if (x < m.Px(m.railWidth) && y > m.Px(kToolbarHeight)) {
        PressRail(x, y, reply);
        return reply;
    }
    if (const std::optional<float> grab = ThumbGrabAt(m, list_.viewRows.size(), listScroll_, x, y)) {
        press_.thumb = true;
        press_.thumbGrab = *grab;
        reply.capture = PointerCapture::take;
        listScroll_ = ThumbDragScroll(m, list_.viewRows.size(), y, press_.thumbGrab);
        if (ui_)
            ui_->Repaint();
        return reply;
    }
    if (InListRows(m, x, y)) {
        const int32_t row = RowAt(m, y, listScroll_, list_.viewRows.size());
        if (row >= 0)
            PressRow(x, y, row, modifiers, reply);
    }
    return reply;
}

void PosternApp::PressRail(float x, float y, PointerReply& reply)
{
    const int32_t index = RailItemAt(Metrics(), HitRectsOf(rail_.Items()), x, y);
    const RailItem* item = rail_.Item(index);
    if (!item)
        return;
    switch (RailClickAt(*item, x, scale_)) {
    case RailClick::open:
        if (!list_.filterText.empty()) {
            FilterChanged(u"");
            reply.clearFilterBox = true;
        }
        SelectFolder(index, false);
        return;
    case RailClick::toggle:
        rail_.ToggleExpanded(index);
        ClampScroll();
        if (ui_)
            ui_->Repaint();
        return;
    case RailClick::nothing:
        return;
    }
}

void PosternApp::PressRow(float x, float y, int32_t row, ClickModifiers modifiers, PointerReply& reply)
{
    const RowClick click = ClickRow(list_, row, modifiers);
    if (click.open >= 0)
        SelectRow(click.open, click.keepSelection);
    else if (ui_)
        ui_->Repaint();
    if (!click.mayDrag)
        return;
    press_.armed = true;
    press_.pressedSelected = click.pressedSelected;
    press_.start = {x, y};
    press_.row = row;
    reply.capture = PointerCapture::take;
}

PointerReply PosternApp::OnButtonUp()
{
    PointerReply reply;
    if (press_.splitter != Splitter::none) {
        press_ = {};
        reply.capture = PointerCapture::release;
        SavePaneWidths();
        return reply;
    }
    if (press_.thumb) {
        press_ = {};
        reply.capture = PointerCapture::release;
        return reply;
    }
    if (!press_.dragging) {
        if (press_.armed) {
            reply.capture = PointerCapture::release;
            const int32_t row = press_.row;
            const bool pressedSelected = press_.pressedSelected;
            press_ = {};
            // A press on a row of a selection that did not become a drag
            // chooses that row alone.
            if (pressedSelected && row >= 0 && static_cast<size_t>(row) < list_.viewRows.size())
                SelectRow(row, false);
        }
        return reply;
    }
    const int32_t target = press_.dropTarget;
    press_ = {};
    reply.capture = PointerCapture::release;
    reply.cursor = PointerCursor::arrow;
    if (target >= 0)
        MoveSelectionToFolder(target);
    if (ui_)
        ui_->Repaint();
    return reply;
}

PointerReply PosternApp::OnMouseMove(float x, float y, bool leftDown)
{
    PointerReply reply;
    const WindowMetrics m = Metrics();
    if (press_.armed || press_.dragging) {
        if (!leftDown) {
            // The release happened where the window could not see it: the
            // press ends, and a drag drops nothing.
            const bool wasDragging = press_.dragging;
            press_ = {};
            reply.capture = PointerCapture::release;
            if (wasDragging) {
                reply.cursor = PointerCursor::arrow;
                if (ui_)
                    ui_->Repaint();
                return reply;
            }
        } else {
            DragTo(x, y, reply);
            return reply;
        }
    }
    if (press_.splitter != Splitter::none) {
        if (press_.splitter == Splitter::rail)
            railWidth_ = RailWidthAt(x, m.scale);
        else
            listWidth_ = ListWidthAt(x, m.scale, railWidth_);
        ClampScroll();
        if (ui_)
            ui_->Repaint();
        return reply;
    }
    if (press_.thumb) {
        listScroll_ = ThumbDragScroll(m, list_.viewRows.size(), y, press_.thumbGrab);
        ClampScroll();
        if (ui_)
            ui_->Repaint();
        return reply;
    }
    Hover(x, y);
    return reply;
}

void PosternApp::DragTo(float x, float y, PointerReply& reply)
{
    if (!press_.dragging && !DragStarted(press_.start, {x, y}))
        return;
    press_.dragging = true;
    press_.point = {x, y};
    const WindowMetrics m = Metrics();
    const int32_t index = RailItemAt(m, HitRectsOf(rail_.Items()), x, y);
    const RailItem* item = rail_.Item(index);
    press_.dropTarget = item && AcceptsDrop(*item) ? index : -1;
    reply.cursor = press_.dropTarget >= 0 ? PointerCursor::arrow : PointerCursor::no;
    if (ui_)
        ui_->Repaint();
}

void PosternApp::Hover(float x, float y)
{
    const WindowMetrics m = Metrics();
    int32_t folder = -1;
    int32_t row = -1;
    int32_t button = -1;
    if (y >= m.Px(kToolbarHeight)) {
        folder = RailItemAt(m, HitRectsOf(rail_.Items()), x, y);
        if (InListRows(m, x, y))
            row = RowAt(m, y, listScroll_, list_.viewRows.size());
    } else if (const ToolbarButton* hovered = ButtonAt(paintedButtons_, x, y)) {
        button = hovered->id;
    }
    if (folder == rail_.Hover() && row == hoverRow_ && button == hoverButton_)
        return;
    const bool rowChanged = row != hoverRow_;
    rail_.SetHover(folder);
    hoverRow_ = row;
    hoverButton_ = button;
    if (!ui_)
        return;
    ui_->Repaint();
    // Resting on a folder or a row for a moment fetches it ahead of a click;
    // a timer that fires after the pointer moved on finds nothing hovered.
    if (folder >= 0)
        ui_->StartTimer(kFolderHoverTimer, kFolderHoverTimerMs);
    if (rowChanged && row >= 0)
        ui_->StartTimer(kRowHoverTimer, kRowHoverTimerMs);
}

void PosternApp::OnMouseLeave()
{
    if (press_.Active())
        return; // the capture keeps the pointer's moves coming
    rail_.SetHover(-1);
    hoverRow_ = -1;
    hoverButton_ = -1;
    if (ui_)
        ui_->Repaint();
}

bool PosternApp::CancelPress()
{
    if (!press_.Active())
        return false;
    // Widths a splitter reached stay, and are remembered as if released.
    const bool splitter = press_.splitter != Splitter::none;
    press_ = {};
    if (splitter)
        SavePaneWidths();
    if (ui_)
        ui_->Repaint();
    return true;
}

PointerCursor PosternApp::CursorAt(float x, float y) const
{
    if (press_.splitter != Splitter::none || SplitterAt(Metrics(), x, y) != Splitter::none)
        return PointerCursor::sizeWestEast;
    if (press_.dragging)
        return press_.dropTarget >= 0 ? PointerCursor::arrow : PointerCursor::no;
    return PointerCursor::standard;
}

void PosternApp::OnDoubleClick(float x, float y, const MeasureLabel& measure)
{
    const Splitter splitter = SplitterAt(Metrics(), x, y);
    if (splitter == Splitter::none)
        return;
    if (splitter == Splitter::list)
        listWidth_ = kDefaultListWidth;
    else
        railWidth_ = RailFitWidth(rail_.Items(), scale_, measure);
    ClampScroll();
    SavePaneWidths();
    if (ui_)
        ui_->Repaint();
}

void PosternApp::OnRightButtonDown(float x, float y)
{
    if (press_.Active())
        return;
    const WindowMetrics m = Metrics();
    if (!InListRows(m, x, y))
        return;
    const int32_t row = RowAt(m, y, listScroll_, list_.viewRows.size());
    if (row < 0)
        return;
    if (row != list_.currentRow) {
        SelectRow(row, false);
        return;
    }
    // The open row is not opened again: that would mark it read under a
    // menu that is about to offer "Mark as Unread".
    if (list_.selectedRows.size() > 1) {
        SelectOnly(list_, row);
        UpdateStatusText(list_);
        if (ui_)
            ui_->Repaint();
    }
}

void PosternApp::OnWheel(float x, float y, float delta)
{
    const WindowMetrics m = Metrics();
    const float notches = delta / kWheelNotch;
    if (y < 0 || y > m.height)
        return;
    if (x >= 0 && x < m.Px(m.railWidth))
        railScroll_ -= m.Px(kRailWheelUnits) * notches;
    else if (x >= 0 && x < m.Px(m.railWidth + m.listWidth))
        listScroll_ -= m.Px(kListWheelUnits) * notches;
    else
        return; // the reading pane's page scrolls itself
    ClampScroll();
    if (ui_)
        ui_->Repaint();
}

void PosternApp::OnListKey(ListKey key)
{
    SelectRow(RowForKey(key, list_.currentRow, list_.viewRows.size()), false);
}

void PosternApp::SavePaneWidths()
{
    railWidth_ = ClampRailWidth(railWidth_);
    listWidth_ = ClampListWidth(listWidth_);
    const int32_t rail = static_cast<int32_t>(railWidth_ + 0.5f);
    const int32_t list = static_cast<int32_t>(listWidth_ + 0.5f);
    if (rail == settings_.railW && list == settings_.listW)
        return;
    settings_.railW = rail;
    settings_.listW = list;
    if (settingsLoaded_)
        SaveSettingsFile();
}

} // namespace postern
