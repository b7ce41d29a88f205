// The frame the application object builds keeps, as its hit areas, exactly
// the toolbar buttons it painted.
#include "app/PosternApp.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace postern {
namespace {

TEST(PosternAppPaint, TheButtonsPaintedAreTheButtonsClicked)
{
    test::TempFolder folder;
    PosternApp app(folder.Path() / "config.json"); // no settings, no worker: the frame only
    app.SetClientSize(1280, 840);
    app.SetScale(1.5f);
    const MainScene frame = app.BuildScene(false);
    EXPECT_EQ(frame.filter.box, PlaceFilterBox({1280, 840, 1.5f, 230, 360}).box);
    const std::vector<ToolbarButton>& painted = app.PaintedButtons();
    ASSERT_EQ(painted.size(), frame.toolbar.buttons.size());
    ASSERT_FALSE(painted.empty());
    for (size_t i = 0; i < painted.size(); ++i) {
        EXPECT_EQ(painted[i].id, frame.toolbar.buttons[i].id);
        EXPECT_EQ(painted[i].rect, frame.toolbar.buttons[i].rect);
    }
}

} // namespace
} // namespace postern
