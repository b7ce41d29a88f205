// The reading pane's body on a machine without the browser runtime (Wine has
// none): the loader is found beside the program, creating the browser fails
// cleanly, and the text view takes over with the newest page.
#include "shell/ReadingBody.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <functional>
#include <string>

namespace postern::shell {
namespace {

// A plain top-level window, never shown, standing in for the main window.
class HostWindow {
public:
    HostWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PosternBodyHostTest";
        RegisterClassW(&windowClass); // fails harmlessly when already there
        window_ = CreateWindowExW(0, L"PosternBodyHostTest", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640, 480,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HostWindow() { DestroyWindow(window_); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    [[nodiscard]] HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Dispatches this thread's messages until `done` holds; false after 20 s.
bool PumpUntil(const std::function<bool()>& done)
{
    const ULONGLONG deadline = GetTickCount64() + 20000;
    MSG message{};
    while (!done()) {
        if (GetTickCount64() >= deadline)
            return false;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            continue;
        }
        DispatchMessageW(&message);
    }
    return true;
}

void PumpFor(ULONGLONG milliseconds)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    (void)PumpUntil([end] { return GetTickCount64() >= end; });
}

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

TEST(ReadingBody, TheLoaderShipsBesideTheProgram)
{
    HMODULE loader = LoadLibraryExW(L"WebView2Loader.dll", nullptr, LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
    ASSERT_NE(loader, nullptr) << "WebView2Loader.dll is not beside the program";
    EXPECT_NE(GetProcAddress(loader, "CreateCoreWebView2EnvironmentWithOptions"), nullptr);
    FreeLibrary(loader);
}

TEST(ReadingBody, WithoutTheRuntimeTheTextViewTakesOverWithTheNewestPage)
{
    HostWindow host;
    ASSERT_NE(host.Handle(), nullptr);
    ReadingBody body;
    body.Create(host.Handle(), GetModuleHandleW(nullptr), 1.0f);
    // Pages and a place given while the browser is still being tried.
    body.ShowPage(u"<p>an older page</p>");
    body.ShowPage(u"<p>the newest page</p>");
    body.Place(Rect{10, 10, 410, 310});
    ASSERT_TRUE(PumpUntil([&body] { return body.Shown() != ReadingBody::Kind::browser; }))
        << "creating the browser neither failed nor finished";
    ASSERT_EQ(body.Shown(), ReadingBody::Kind::text);

    HWND text = FindWindowExW(host.Handle(), nullptr, MSFTEDIT_CLASS, nullptr);
    ASSERT_NE(text, nullptr);
    const std::wstring shown = TextOf(text);
    EXPECT_NE(shown.find(L"the newest page"), std::wstring::npos) << std::string(shown.begin(), shown.end());
    EXPECT_EQ(shown.find(L"older"), std::wstring::npos);
    EXPECT_TRUE(IsWindowVisible(text) || !IsWindowVisible(host.Handle()));
    RECT placed{};
    GetWindowRect(text, &placed);
    MapWindowPoints(nullptr, host.Handle(), reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 10);
    EXPECT_EQ(placed.right, 410);

    body.ShowPage(u"<p>later</p>");
    EXPECT_NE(TextOf(text).find(L"later"), std::wstring::npos);
    body.Close();
    body.Close(); // twice is harmless
    EXPECT_EQ(body.Shown(), ReadingBody::Kind::text);
}

TEST(ReadingBody, ABrowserClosedWhileBeingCreatedNeverCallsBack)
{
    HostWindow host;
    int failures = 0;
    BodyView view;
    const bool started = view.Init(host.Handle(), [&failures] { ++failures; });
    view.ShowPage(u"<p>waits</p>");
    view.SetBounds(RECT{0, 0, 100, 100});
    view.SetVisible(true);
    view.Close();
    PumpFor(started ? 1500 : 0);
    EXPECT_EQ(failures, 0);
    EXPECT_FALSE(view.Ready());
    view.ShowPage(u"<p>after close</p>"); // nothing to show it in, and no crash
}

} // namespace
} // namespace postern::shell
