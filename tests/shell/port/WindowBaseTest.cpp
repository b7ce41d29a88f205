// Two windows of one class, each reaching its own object from the first
// message to the last, with no global pointer in between.
#include "shell/WindowBase.h"

#include <gtest/gtest.h>

#include <vector>

namespace postern::shell {
namespace {

constexpr UINT kNote = WM_USER + 1;
constexpr wchar_t kClassName[] = L"PosternWindowBaseTest";

class NoteWindow final : public WindowBase {
public:
    [[nodiscard]] bool Create()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = WindowBase::WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        RegisterClassW(&windowClass); // fails harmlessly when already there
        return CreateFor(0, kClassName, L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, GetModuleHandleW(nullptr))
               != nullptr;
    }

    std::vector<WPARAM> notes;
    bool sawCreate = false;
    bool sawNcDestroy = false;
    bool final = false;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_CREATE:
            sawCreate = Handle() != nullptr;
            return 0;
        case kNote:
            notes.push_back(wParam);
            return static_cast<LRESULT>(wParam) + 100;
        case WM_NCDESTROY:
            sawNcDestroy = Handle() != nullptr;
            break;
        default:
            break;
        }
        return DefWindowProcW(Handle(), message, wParam, lParam);
    }

    void OnFinalMessage() override { final = Handle() == nullptr; }
};

TEST(WindowBase, EachWindowGetsItsOwnMessagesUntilItIsDestroyed)
{
    NoteWindow first;
    NoteWindow second;
    ASSERT_TRUE(first.Create()) << GetLastError();
    ASSERT_TRUE(second.Create()) << GetLastError();
    EXPECT_TRUE(first.sawCreate);
    EXPECT_TRUE(second.sawCreate);
    EXPECT_NE(first.Handle(), second.Handle());

    EXPECT_EQ(SendMessageW(first.Handle(), kNote, 1, 0), 101);
    EXPECT_EQ(SendMessageW(second.Handle(), kNote, 2, 0), 102);
    EXPECT_EQ(SendMessageW(first.Handle(), kNote, 3, 0), 103);
    EXPECT_EQ(first.notes, (std::vector<WPARAM>{1, 3}));
    EXPECT_EQ(second.notes, (std::vector<WPARAM>{2}));

    const HWND gone = first.Handle();
    ASSERT_TRUE(DestroyWindow(gone));
    EXPECT_TRUE(first.sawNcDestroy);
    EXPECT_TRUE(first.final);
    EXPECT_EQ(first.Handle(), nullptr);
    EXPECT_FALSE(IsWindow(gone));

    EXPECT_EQ(SendMessageW(second.Handle(), kNote, 4, 0), 104);
    EXPECT_EQ(second.notes, (std::vector<WPARAM>{2, 4}));
    EXPECT_EQ(first.notes, (std::vector<WPARAM>{1, 3}));
    // `second` is destroyed with its object at the end of the scope.
}

} // namespace
} // namespace postern::shell
