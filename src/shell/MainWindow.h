// The main window: its class, its creation and placement, the message loop
// and the window procedure. Each window message becomes one call into
// PosternApp; what the core has to say comes back through the UI port.
#pragma once

#include "app/PosternApp.h"
#include "shell/FilterBox.h"
#include "shell/Menus.h"
#include "shell/RenderSurface.h"
#include "shell/TrayIcon.h"
#include "shell/Win32UiPort.h"
#include "shell/WindowBase.h"

#include <windows.h>

#include <memory>
#include <optional>

namespace postern::shell {

class MainWindow final : public WindowBase {
public:
    explicit MainWindow(PosternApp& app) : app_(app) {}
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Start-up, the message loop and shutdown. 0 after a normal end and when
    // there is no account to show; 1 when the window cannot be made.
    int Run(HINSTANCE instance, int showCommand);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    [[nodiscard]] bool Create(HINSTANCE instance);
    void RunMessageLoop();
    void OnDestroy();
    void OnSize(WPARAM kind);
    void OnDpiChanged(WPARAM dpi, const RECT& suggested);
    void OnPaint();
    void OnCommand(WPARAM wParam, LPARAM lParam);
    void RunCommand(int id);
    void OnKeyDown(WPARAM key, bool ctrl);
    void OnContextMenu(LPARAM screenPoint);
    // What a pointer handler asked of the window.
    void Apply(const PointerReply& reply);
    void OnSetCursor(LPARAM hitTest, LRESULT& result);
    void SaveAttachment(const AttachmentRef& attachment);
    void ShowAbout();
    // The settings hold an account: read, or made in the first-run dialog.
    // False when there is nothing to show; nothing was written then.
    [[nodiscard]] bool EnsureAccount(HINSTANCE instance);
    // The account dialog for account `index`, or to add one (-1).
    void OpenAccountDialog(int32_t index);
    void RemoveAccount(size_t account);
    void RebuildAccountsMenu();
    // Starts this program again once this process has saved everything.
    void RestartIfAsked();
    void OnTrayMessage(LPARAM mouseMessage);
    void OnMinMaxInfo(MINMAXINFO& info) const;
    void BringBack();
    // The panes and the filter box follow a new client size or scale.
    void Relayout();
    // Empty when the window system cannot say.
    [[nodiscard]] std::optional<WindowPlacementState> CurrentPlacement() const;

    PosternApp& app_;
    RenderSurface surface_;
    FilterBox filterBox_;
    TrayIcon tray_;
    ReadingBody body_;
    MenuBar menuBar_;
    bool trackingLeave_ = false;
    bool restartAfterExit_ = false;
    std::unique_ptr<Win32UiPort> port_;
};

} // namespace postern::shell
