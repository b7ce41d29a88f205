// The account dialog: a modal window of its own class ("PosternAccount") in
// the program's dark palette that adds an account or edits one. It gathers
// the fields and shows what the portable rules (account/AccountForm) decide;
// detection and the Google sign-in run through AccountSetupTasks and come
// back as records, so the dialog stays responsive and can close at any time.
#pragma once

#include "account/AccountForm.h"
#include "account/Settings.h"
#include "app/AccountSetupTasks.h"

#include <windows.h>

#include <filesystem>
#include <string>

namespace postern::shell {

struct AccountDialogRequest {
    AppSettings& settings;              // changed only when the dialog saves
    std::filesystem::path settingsFile; // written before the dialog closes
    AccountSetupTasks& tasks;           // detection and sign-in
    int32_t index = -1;                 // the account to edit; outside the list: add
    std::u16string initialStatus;       // said on the status line at first
    GoogleMailServers googleMail;       // for the Gmail preset and Google sign-ins
};

// Runs the dialog until it is saved, cancelled or closed; `owner` (may be
// null) is disabled meanwhile. True when an account was saved. A WM_QUIT
// that arrives meanwhile ends the dialog and is posted again for the
// caller's loop; callers check that their own window still exists.
[[nodiscard]] bool RunAccountDialog(HINSTANCE instance, HWND owner, const AccountDialogRequest& request);

} // namespace postern::shell
