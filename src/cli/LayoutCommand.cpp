// `postern-cli layout --width W --height H [--dpi D] [--rail R] [--list L]
// [--rows N] [--scroll S]`: the main window's rectangles for a client area,
// one per line as "NAME LEFT TOP RIGHT BOTTOM" in client pixels, from the
// same functions the window paints with. Window tests and the demo take
// their click and probe positions from here instead of copying numbers.
#include "cli/Command.h"

#include "ui/MainLayout.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace postern::cli {

namespace {

void PrintRect(const std::string& name, const Rect& r)
{
    std::printf("%s %.1f %.1f %.1f %.1f\n", name.c_str(), static_cast<double>(r.left), static_cast<double>(r.top),
                static_cast<double>(r.right), static_cast<double>(r.bottom));
}

bool ReadNumber(const std::string& text, float& out)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0 && value < 1e7))
        return false;
    out = static_cast<float>(value);
    return true;
}

} // namespace

int RunLayout(const Arguments& args)
{
    WindowMetrics m;
    float dpi = 96;
    float rows = 0;
    float scroll = 0;
    bool haveWidth = false;
    bool haveHeight = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        float* target = option == "--width"    ? &m.width
                        : option == "--height" ? &m.height
                        : option == "--dpi"    ? &dpi
                        : option == "--rail"   ? &m.railWidth
                        : option == "--list"   ? &m.listWidth
                        : option == "--rows"   ? &rows
                        : option == "--scroll" ? &scroll
                                               : nullptr;
        if (!target || i + 1 >= args.size() || !ReadNumber(args[i + 1], *target)) {
            std::fprintf(stderr, "layout: bad or incomplete option '%s'\n", option.c_str());
            return 2;
        }
        haveWidth = haveWidth || option == "--width";
        haveHeight = haveHeight || option == "--height";
        ++i;
    }
    if (!haveWidth || !haveHeight || dpi <= 0) {
        std::fputs("usage: postern-cli layout --width W --height H [--dpi 96] [--rail 230] [--list 360] "
                   "[--rows N] [--scroll PIXELS]\n",
                   stderr);
        return 2;
    }
    m.scale = dpi / 96.0f;

    PrintRect("toolbar", ToolbarRect(m));
    PrintRect("rail", RailPaneRect(m));
    PrintRect("list", ListRect(m));
    PrintRect("reading", ReadingRect(m));
    PrintRect("status", StatusBarRect(m));
    const FilterBoxPlace filter = PlaceFilterBox(m);
    PrintRect("filter", filter.box);
    PrintRect("filter-edit", {static_cast<float>(filter.editX), static_cast<float>(filter.editY),
                              static_cast<float>(filter.editX + filter.editWidth),
                              static_cast<float>(filter.editY + filter.editHeight)});
    const ToolbarLayout toolbar = LayoutToolbar(m, filter.box);
    for (const ToolbarButton& button : toolbar.buttons)
        PrintRect("button" + std::to_string(button.id), button.rect);
    const size_t rowCount = static_cast<size_t>(rows);
    const RowRange visible = VisibleRows(m, rowCount, scroll, {});
    const Rect list = ListRect(m);
    for (int32_t i = visible.first; i < visible.last; ++i) {
        const float top = RowTop(m, i, scroll, {});
        if (top >= list.bottom || top + m.Px(kRowHeight) <= list.top)
            continue;
        PrintRect("row" + std::to_string(i), {list.left, top, list.right, top + m.Px(kRowHeight)});
    }
    const ScrollThumb thumb = ListScrollThumb(m, rowCount, scroll);
    if (thumb.shown)
        PrintRect("list-thumb", thumb.thumb);
    return 0;
}

} // namespace postern::cli
