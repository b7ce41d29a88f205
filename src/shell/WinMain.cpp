// Entry point of postern.exe: the process-wide set-up around one run of the
// application.
#include "app/PosternApp.h"
#include "shell/MainWindow.h"

#include <windows.h>

#include <ole2.h>

namespace {

// OLE (drag and drop, the clipboard, the embedded browser) for the whole run.
class OleScope {
public:
    OleScope() : initialized_(SUCCEEDED(OleInitialize(nullptr))) {}
    ~OleScope()
    {
        if (initialized_)
            OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

private:
    bool initialized_;
};

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // Per-monitor v2: the window is drawn at each monitor's own DPI.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const OleScope ole;
    postern::PosternApp app;
    postern::shell::MainWindow window(app);
    return window.Run(instance, showCommand);
}
