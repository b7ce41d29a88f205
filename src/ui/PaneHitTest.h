// Where the pointer is in the painted panes, and what pointer gestures do to
// the panes' geometry: the splitters, the list rows, the rail lines, the
// list's scrollbar, the pane widths and the scroll offsets. Pure functions
// of the same metrics the painter uses, so a click lands on what was drawn.
//
// Only the band between the toolbar and the status bar takes clicks on rows
// and rail lines: a row scrolled under the status bar is not there for the
// user, so it is not there for the pointer either.
#pragma once

#include "ui/Geometry.h"
#include "ui/MainLayout.h"
#include "ui/RailItem.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace postern {

// A double click on the list splitter puts the list back to this width.
inline constexpr float kResetListWidth = 360.0f;
// How far the pointer moves, in pixels along either axis, before a press on
// a row becomes a drag.
inline constexpr float kDragThreshold = 6.0f;

enum class Splitter { none = 0, rail = 1, list = 2 };

// The splitter within 4 units of the point, between the toolbar and the
// status bar.
[[nodiscard]] Splitter SplitterAt(const WindowMetrics& m, float x, float y);

// Whether the point is over the list's rows (not the rail, the reading pane,
// the toolbar or the status bar).
[[nodiscard]] bool InListRows(const WindowMetrics& m, float x, float y);

// The view row at height y, -1 for none.
[[nodiscard]] int32_t RowAt(const WindowMetrics& m, float y, float listScroll, size_t rowCount);

// The rail line under the point, by the rectangles last painted (top
// included, bottom excluded); -1 for none.
[[nodiscard]] int32_t RailItemAt(const WindowMetrics& m, const std::vector<Rect>& lines, float x, float y);

// What a click on a rail line does: a folder right of its chevron opens; a
// header, or the chevron of a folder with children, folds or unfolds.
enum class RailClick { open, toggle, nothing };
[[nodiscard]] RailClick RailClickAt(const RailItem& item, float x, float scale);

// Whether dragged messages may be dropped on the line: a real folder that
// holds messages (not a header, "All Inboxes" or "Locked").
[[nodiscard]] bool AcceptsDrop(const RailItem& item);

// Whether a press at `start` has become a drag at `now`.
[[nodiscard]] bool DragStarted(Point start, Point now);

// The list scroll offset that shows `row` whole, moving as little as it can.
[[nodiscard]] float ScrollIntoView(const WindowMetrics& m, float listScroll, int32_t row);

// A press on the list's scrollbar column: how far below the thumb's top the
// pointer holds it. On the thumb that is where it was pressed; elsewhere the
// thumb jumps to centre on the pointer. Empty when the point is not on the
// scrollbar or the rows fit the list.
[[nodiscard]] std::optional<float> ThumbGrabAt(const WindowMetrics& m, size_t rowCount, float listScroll, float x,
                                               float y);
// The scroll offset while the thumb is held `grab` pixels below its top and
// the pointer is at height y; always finite and within the scroll range.
[[nodiscard]] float ThumbDragScroll(const WindowMetrics& m, size_t rowCount, float y, float grab);

// Pane widths in units from the pointer's x while a splitter is dragged.
[[nodiscard]] float RailWidthAt(float x, float scale);
[[nodiscard]] float ListWidthAt(float x, float scale, float railWidth);

// The rail width in units that shows every label whole. `measure` gives a
// label's width in pixels, in the account font when `header` is true.
using MeasureLabel = std::function<float(std::u16string_view label, bool header)>;
[[nodiscard]] float RailFitWidth(const std::vector<RailItem>& items, float scale, const MeasureLabel& measure);

} // namespace postern
