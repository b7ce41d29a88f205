// Entry point of postern.exe: the process-wide set-up around one run of the
// application.
#include "app/PosternApp.h"
#include "app/ServerOverrides.h"
#include "platform/Charset.h"
#include "shell/MainWindow.h"

#include <windows.h>

#include <ole2.h>

#include <optional>
#include <string>

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

std::optional<std::string> EnvironmentVariable(const char* name)
{
    const std::wstring wide(name, name + std::char_traits<char>::length(name)); // ASCII names
    const DWORD size = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (size == 0)
        return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(wide.c_str(), value.data(), size));
    return postern::Utf16ToUtf8(std::u16string(value.begin(), value.end()));
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // Per-monitor v2: the window is drawn at each monitor's own DPI.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const OleScope ole;
    postern::PosternApp app(postern::SettingsPath(), postern::EngineOptionsWithOverrides(EnvironmentVariable));
    postern::shell::MainWindow window(app);
    return window.Run(instance, showCommand);
}
