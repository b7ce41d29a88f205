// The main window's account commands: the first-run dialog at start, adding
// and editing accounts, removing one with the restart that follows.
#include "shell/MainWindow.h"

#include "shell/AccountDialog.h"
#include "shell/WideText.h"

#include <shellapi.h>

#include <string>

namespace postern::shell {

namespace {

// This program's own path, however long.
std::wstring ModulePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
    return {};
}

} // namespace

bool MainWindow::EnsureAccount(HINSTANCE instance)
{
    std::string error;
    const SettingsLoad load = app_.ReadSettings(error);
    if (load == SettingsLoad::loaded)
        return true;
    if (load == SettingsLoad::unreadable) {
        // Writing a new file here could lose every account it holds.
        const std::wstring text = L"Postern cannot read its settings file and has not changed it:\n\n" +
                                  WideFromUtf8(error) +
                                  L"\n\nClose any program that may be using it, then start Postern again.";
        MessageBoxW(nullptr, text.c_str(), L"Postern", MB_OK | MB_ICONERROR);
        return false;
    }
    std::u16string status;
    if (load == SettingsLoad::malformed) {
        std::filesystem::path movedTo;
        std::string moveError;
        if (!SetAsideSettingsFile(app_.SettingsFile(), movedTo, moveError)) {
            const std::wstring text = L"Postern's settings file is damaged and could not be set aside, so it was "
                                      L"left as it is:\n\n" +
                                      WideFromUtf8(moveError);
            MessageBoxW(nullptr, text.c_str(), L"Postern", MB_OK | MB_ICONERROR);
            return false;
        }
        app_.Settings() = AppSettings{};
        status = u"The settings file was damaged; it is kept as " + movedTo.filename().u16string() +
                 u". Add your account again.";
    }

    // No main window yet: the dialog's detection and sign-in report to it
    // directly.
    Win32UiPort port(nullptr);
    AccountSetupTasks tasks(port, app_.Options().detection, app_.Options().signIn);
    const bool saved = RunAccountDialog(
        instance, nullptr,
        {app_.Settings(), app_.SettingsFile(), tasks, -1, std::move(status), app_.Options().googleMail});
    if (saved)
        app_.FirstAccountSaved();
    return saved;
}

void MainWindow::OpenAccountDialog(int32_t index)
{
    const HWND self = Handle();
    const size_t accounts = app_.Settings().accounts.size();
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(self, GWLP_HINSTANCE));
    const bool saved = RunAccountDialog(
        instance, self,
        {app_.Settings(), app_.SettingsFile(), app_.AccountSetup(), index, {}, app_.Options().googleMail});
    // The window may have been closed meanwhile (Exit in the notification
    // area's menu).
    if (!saved || !IsWindow(self) || Handle() != self)
        return;
    RebuildAccountsMenu();
    if (index >= 0 && static_cast<size_t>(index) < accounts)
        app_.AccountEdited(static_cast<size_t>(index));
    else if (port_)
        port_->Post(std::make_unique<AccountAddedRecord>());
    InvalidateRect(self, nullptr, FALSE);
}

void MainWindow::RemoveAccount(size_t account)
{
    const AppSettings& settings = app_.Settings();
    if (account >= settings.accounts.size())
        return;
    const std::wstring name = WideFromUtf8(settings.accounts[account].name);
    const std::wstring question = L"Remove account \"" + name + L"\"?\n\nPostern will restart to apply the change.";
    const HWND self = Handle();
    const int answer = MessageBoxW(self, question.c_str(), L"Postern", MB_YESNO | MB_ICONEXCLAMATION);
    if (!IsWindow(self) || answer != IDYES)
        return;
    std::string error;
    if (!app_.RemoveAccount(account, error)) {
        const std::wstring text = L"The account was not removed: " + WideFromUtf8(error);
        MessageBoxW(self, text.c_str(), L"Postern", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    restartAfterExit_ = true;
    DestroyWindow(self);
}

void MainWindow::RebuildAccountsMenu()
{
    std::vector<std::u16string> names;
    for (const AccountConfig& account : app_.Settings().accounts)
        names.push_back(Utf8ToUtf16(account.name));
    menuBar_.RebuildAccounts(names);
}

void MainWindow::RestartIfAsked()
{
    if (!restartAfterExit_)
        return;
    const std::wstring path = ModulePath();
    const auto launched = reinterpret_cast<INT_PTR>(
        path.empty() ? nullptr : ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (launched <= 32) {
        MessageBoxW(nullptr, L"The account was removed, but Postern could not start again. Start Postern to go on.",
                    L"Postern", MB_OK | MB_ICONEXCLAMATION);
    }
}

} // namespace postern::shell
