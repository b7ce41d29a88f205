// What the main window paints: the layout's inputs from the application
// state, and the hit areas that the painted frame leaves behind.
#include "app/PosternApp.h"

#include <algorithm>
#include <cmath>

namespace postern {

void PosternApp::SetScale(float scale)
{
    scale_ = scale > 0 ? scale : 1.0f;
    ClampScroll();
}

void PosternApp::SetClientSize(float width, float height)
{
    clientWidth_ = std::max(0.0f, width);
    clientHeight_ = std::max(0.0f, height);
    ClampScroll();
}

WindowMetrics PosternApp::Metrics() const
{
    return {clientWidth_, clientHeight_, scale_, railWidth_, listWidth_};
}

void PosternApp::ClampScroll()
{
    const WindowMetrics m = Metrics();
    // A scroll offset that is not a number would pass every clamp.
    if (!std::isfinite(listScroll_))
        listScroll_ = 0;
    if (!std::isfinite(railScroll_))
        railScroll_ = 0;
    listScroll_ = std::clamp(listScroll_, 0.0f, MaxListScroll(m, list_.viewRows.size()));
    railScroll_ = std::clamp(railScroll_, 0.0f, MaxRailScroll(m, RailContentHeight(rail_.Items(), scale_)));
}

Rect PosternApp::BodyArea() const
{
    if (shownUid_ == 0)
        return {};
    const WindowMetrics m = Metrics();
    const float header =
        shownReady_ ? ReadingHeaderHeight(m, true, !shownMessage_.cc.empty(), !shownMessage_.parts.empty()) : 0.0f;
    return BodyRect(m, header);
}

MainScene PosternApp::BuildScene(bool filterFocused)
{
    // Rows and rail lines may have changed since the last frame.
    ClampScroll();
    MainSceneInput input;
    input.metrics = Metrics();
    input.accountCount = settings_.accounts.size();
    input.hoverButton = hoverButton_;
    input.filterFocused = filterFocused;
    input.shown = shownReady_ ? &shownMessage_ : nullptr;

    const std::vector<RailItem>& items = rail_.Items();
    input.rail.items = &items;
    input.rail.badges.reserve(items.size());
    for (const RailItem& item : items) {
        input.rail.badges.push_back(item.lockedView ? static_cast<uint32_t>(lockList_.Size()) : rail_.UnreadOf(item));
    }
    input.rail.current = rail_.Current();
    input.rail.hover = rail_.Hover();
    input.rail.scroll = railScroll_;

    input.list.list = &list_;
    input.list.scroll = listScroll_;
    input.list.hoverRow = hoverRow_;
    if (removal_.running)
        input.list.shift = {removal_.firstIndex, removal_.offset};
    input.list.isLocked = [this](int32_t row) { return IsLocked(row); };
    const RailItem* current = rail_.CurrentItem();
    input.list.folderSelected = current != nullptr;
    input.list.unifiedSelected = current != nullptr && current->unified;
    input.status = list_.statusText;
    input.dragging = press_.dragging;
    input.dragPoint = press_.point;
    input.dragCount = std::max<size_t>(1, list_.selectedRows.size());
    input.rail.dropTarget = press_.dropTarget;

    MainScene frame = BuildMainScene(input);
    paintedButtons_ = frame.toolbar.buttons;
    paintedChips_ = frame.chips;
    rail_.SetHitRects(frame.railRects);
    return frame;
}

} // namespace postern
