// The one rule both backends apply before a URL reaches ShellExecute or
// xdg-open: web and mail addresses in any letter case, nothing else.
#include "platform/UrlPolicy.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

TEST(UrlPolicy, WebAndMailAddressesPass)
{
    for (const std::string url : {"http://example.test/", "https://example.test/a?b=c#d", "HTTPS://EXAMPLE.TEST",
                                  "HtTp://x", "mailto:alice@example.test", "MAILTO:bob@example.test?subject=hi",
                                  "https://example.test/caf\xC3\xA9"}) {
        std::string error;
        EXPECT_TRUE(CheckOpenableUrl(url, error)) << url << ": " << error;
    }
    std::string error;
    EXPECT_TRUE(CheckOpenableUrl("https://x/" + std::string(kMaxOpenableUrl - 10, 'a'), error)) << error;
}

TEST(UrlPolicy, EverythingElseIsRefusedWithAReason)
{
    struct Case {
        std::string url;
        const char* reason;
    };
    const Case cases[] = {
        {"", "empty"},
        {"https://x/" + std::string(kMaxOpenableUrl, 'a'), "longer than"},
        {"file:///C:/Windows/System32/calc.exe", "only web and mail"},
        {"javascript:alert(1)", "only web and mail"},
        {"vbscript:msgbox(1)", "only web and mail"},
        {"data:text/html,<script>x</script>", "only web and mail"},
        {"ms-settings:display", "only web and mail"},
        {"C:\\Windows\\notepad.exe", "only web and mail"},
        {"../etc/passwd", "only web and mail"},
        {"example.test/page", "only web and mail"},
        {"-https://example.test", "only web and mail"},
        {"--help", "only web and mail"},
        {"https:", "only web and mail"},
        {"httpsx://example.test", "only web and mail"},
        {" https://example.test", "space at the start or end"},
        {"https://example.test ", "space at the start or end"},
        {"https://example.test/\r\nHost: other", "control characters"},
        {"https://example.test/\n", "control characters"},
        {"\thttps://example.test", "control characters"},
        {std::string("https://example.test/\0.exe", 26), "control characters"},
        {"https://example.test/\x7f", "control characters"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(CheckOpenableUrl(c.url, error)) << c.url;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.url << ": " << error;
    }
}

} // namespace
} // namespace postern
