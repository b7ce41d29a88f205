// The reading pane's browser: which requests load, and which links leave
// for the system's handler.
#include "ui/BrowserPolicy.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

TEST(BrowserPolicy, OnlyPassiveContentLoadsAndOnlyFromTheWebOrInline)
{
    const std::string longUri = "https://example.test/" + std::string(100000, 'a') + ".png";
    struct Case {
        std::string uri;
        ResourceKind kind;
        bool allowed;
    } const cases[] = {
        {"https://example.test/logo.png", ResourceKind::image, true},
        {"HTTP://example.test/style.css", ResourceKind::stylesheet, true},
        {"https://example.test/font.woff2", ResourceKind::font, true},
        {"http://example.test/clip.mp4", ResourceKind::media, true},
        {longUri, ResourceKind::image, true},
        {"data:image/png;base64,iVBORw0KGgo=", ResourceKind::image, true},
        {"Data:image/gif;base64,R0lGOD==", ResourceKind::image, true},
        {"about:blank", ResourceKind::document, true},
        {"https://example.test/track.js", ResourceKind::script, false},
        {"https://example.test/frame.html", ResourceKind::document, false},
        {"https://example.test/api", ResourceKind::request, false},
        {"https://example.test/x", ResourceKind::other, false},
        {"data:text/javascript,alert(1)", ResourceKind::script, false},
        {"data:text/html,<script>alert(1)</script>", ResourceKind::document, false},
        {"about:blank", ResourceKind::script, false},
        {"cid:part1.abc@example.test", ResourceKind::image, false},
        {"file:///C:/Windows/win.ini", ResourceKind::image, false},
        {"javascript:alert(1)", ResourceKind::document, false},
        {" https://example.test/a.png", ResourceKind::image, false},
        {"\thttps://example.test/a.png", ResourceKind::image, false},
        {"https//example.test/a.png", ResourceKind::image, false},
        {"", ResourceKind::image, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResourceAllowed(c.uri, c.kind), c.allowed) << c.uri.substr(0, 60);
}

TEST(BrowserPolicy, LinksLeaveOnlyWhenClickedAndThePageLoadsOnlyItself)
{
    using A = LinkAction;
    struct Case {
        std::string uri;
        bool user, program;
        A navigation, newWindow;
    } const cases[] = {
        {"https://example.test/", true, false, A::openOutside, A::openOutside},
        {"HTTPS://EXAMPLE.TEST/", true, false, A::openOutside, A::openOutside},
        {"mailto:bob@example.test", true, false, A::openOutside, A::block},
        // The page going somewhere by itself: a refresh, a form, a redirect.
        {"https://example.test/", false, false, A::block, A::block},
        {"mailto:bob@example.test", false, false, A::block, A::block},
        // The program's own page, and a page's own attempt at the same.
        {"about:blank", false, true, A::proceed, A::block},
        {"data:text/html,<p>hi</p>", false, true, A::proceed, A::block},
        {"about:blank", true, false, A::block, A::block},
        {"data:text/html,<script>x</script>", true, false, A::block, A::block},
        {"javascript:alert(1)", true, false, A::block, A::block},
        {"file:///C:/Windows/System32/calc.exe", true, false, A::block, A::block},
        {"cid:logo@example.test", true, false, A::block, A::block},
        {" https://example.test/", true, false, A::block, A::block},
        {"https://example.test/\nx", true, false, A::block, A::block},
        {"https://example.test/" + std::string(9000, 'a'), true, false, A::block, A::block},
        {"https:", true, false, A::block, A::block},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NavigationAction(c.uri, c.user, c.program), c.navigation) << c.uri.substr(0, 60);
        EXPECT_EQ(NewWindowAction(c.uri, c.user), c.newWindow) << c.uri.substr(0, 60);
    }
}

} // namespace
} // namespace postern
