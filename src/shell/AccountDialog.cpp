#include "shell/AccountDialog.h"

#include "account/AccountDialogLayout.h"
#include "account/AccountForm.h"
#include "google_client/GoogleClient.h"
#include "platform/AsciiText.h"
#include "platform/Charset.h"
#include "platform/Shell.h"
#include "shell/WideText.h"
#include "shell/Win32UiPort.h"
#include "shell/WindowBase.h"
#include "shell/WindowTheme.h"

#include <uxtheme.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace postern::shell {

namespace {

namespace id = account_control;

constexpr wchar_t kClassName[] = L"PosternAccount";
constexpr COLORREF kBackground = RGB(0x1B, 0x1E, 0x24);
constexpr COLORREF kEditBackground = RGB(0x22, 0x26, 0x2E);
constexpr COLORREF kText = RGB(0xE8, 0xE6, 0xE3);
constexpr COLORREF kDimText = RGB(0x9A, 0xA0, 0xA8);
constexpr COLORREF kAccent = RGB(0xD8, 0xA0, 0x3C);
constexpr COLORREF kAccentText = RGB(0x14, 0x16, 0x1A);
constexpr COLORREF kAccentDisabled = RGB(0x2A, 0x2F, 0x38);
constexpr char16_t kWaitingForGoogle[] = u"Waiting for Google sign-in in your browser\u2026";
constexpr char16_t kPresetApplied[] = u"Gmail preset applied \u2014 follow the steps above to get an OAuth client.";

HFONT MakeFont(float scale, int weight)
{
    return CreateFontW(-static_cast<int>(15.0f * scale + 0.5f), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"Segoe UI");
}

OAuthClientChoice BuiltInClient()
{
    const BuiltInGoogleClient client = BuiltInGoogleOAuthClient();
    return {std::string(client.id), std::string(client.secret), false};
}

class AccountDialog final : public WindowBase {
public:
    explicit AccountDialog(const AccountDialogRequest& request)
        : settings_(request.settings), file_(request.settingsFile), tasks_(request.tasks),
          index_(request.index >= 0 && static_cast<size_t>(request.index) < request.settings.accounts.size()
                     ? request.index
                     : -1),
          clientFields_(request.settings.googleClientId.empty()),
          controls_(AccountDialogControls(Adding(), clientFields_)), initialStatus_(request.initialStatus),
          google_(request.googleMail)
    {
    }
    ~AccountDialog() override
    {
        if (font_)
            DeleteObject(font_);
        if (semibold_)
            DeleteObject(semibold_);
        if (background_)
            DeleteObject(background_);
        if (editBackground_)
            DeleteObject(editBackground_);
    }

    [[nodiscard]] bool Create(HINSTANCE instance, HWND owner);
    [[nodiscard]] bool Done() const { return done_; }
    [[nodiscard]] bool Saved() const { return saved_; }

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    [[nodiscard]] bool Adding() const { return index_ < 0; }
    [[nodiscard]] uint64_t DialogId() const { return reinterpret_cast<uintptr_t>(Handle()); }
    [[nodiscard]] HWND Control(int controlId) const { return GetDlgItem(Handle(), controlId); }
    [[nodiscard]] int Scaled(int pixels) const { return static_cast<int>(static_cast<float>(pixels) * scale_ + 0.5f); }

    void CreateControls(HINSTANCE instance);
    void Relayout(float scale);
    [[nodiscard]] std::string Text(int controlId) const;
    void SetText(int controlId, std::string_view utf8);
    void SetStatus(std::u16string_view text);
    void SetStatus(std::string_view utf8) { SetStatus(std::u16string_view(Utf8ToUtf16(utf8))); }
    [[nodiscard]] AccountFormFields ReadFields() const;
    void WriteFields(const AccountFormFields& fields);
    void UpdateEnabling();
    void Enable(int controlId, bool enabled);

    void OnCommand(int controlId, int code);
    void StartDetection(bool automatic);
    void Save();
    void SignInForNewAccount();
    void StartSignIn(const OAuthClientChoice& client, bool newAccount);
    void OnDetection(const DetectionResultRecord& result);
    void OnSignIn(const SignInResultRecord& result);
    void Commit(AccountConfig account, const OAuthClientChoice& client);
    void DrawButton(const DRAWITEMSTRUCT& item) const;

    AppSettings& settings_;
    const std::filesystem::path file_;
    AccountSetupTasks& tasks_;
    const int32_t index_;
    const bool clientFields_; // no Google client remembered yet
    const std::vector<DialogControl> controls_;
    const std::u16string initialStatus_;
    const GoogleMailServers google_;
    bool saved_ = false;
    bool done_ = false;
    bool detectBusy_ = false;
    bool automaticDetection_ = false; // the running detection started when the address field lost the focus
    bool signInBusy_ = false;
    bool newGoogleAccount_ = false; // the running sign-in came from the button, not from Save
    OAuthClientChoice client_;      // the running sign-in's client
    SavePlan pendingSave_;          // what Save commits once signed in
    float scale_ = 1;
    HFONT font_ = nullptr;
    HFONT semibold_ = nullptr;
    HBRUSH background_ = CreateSolidBrush(kBackground);
    HBRUSH editBackground_ = CreateSolidBrush(kEditBackground);
};

bool AccountDialog::Create(HINSTANCE instance, HWND owner)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowBase::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;

    const UINT dpi = GetDpiForSystem();
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, MulDiv(kAccountDialogWidth, static_cast<int>(dpi), 96),
               MulDiv(kAccountDialogHeight, static_cast<int>(dpi), 96)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_CONTROLPARENT, dpi);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    const std::wstring title = Wide(AccountDialogTitle(Adding()));
    if (!CreateFor(WS_EX_CONTROLPARENT, kClassName, title.c_str(), style, x, y, width, height, owner, instance))
        return false;
    UseDarkTitleBar(Handle());
    CreateControls(instance);
    Relayout(static_cast<float>(GetDpiForWindow(Handle())) / 96.0f);

    AccountFormFields fields;
    if (!Adding())
        fields = FieldsOf(settings_.accounts[static_cast<size_t>(index_)]);
    WriteFields(fields);
    UpdateEnabling();
    SetStatus(std::u16string_view(initialStatus_));
    return true;
}

void AccountDialog::CreateControls(HINSTANCE instance)
{
    for (const DialogControl& control : controls_) {
        const wchar_t* className = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE;
        switch (control.kind) {
        case DialogControl::Kind::caption:
            style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX; // one line: a second would be cut off
            break;
        case DialogControl::Kind::status:
        case DialogControl::Kind::text:
            style |= SS_LEFT | SS_NOPREFIX;
            break;
        case DialogControl::Kind::edit:
        case DialogControl::Kind::number:
        case DialogControl::Kind::secret:
            className = L"EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            if (control.kind == DialogControl::Kind::number)
                style |= ES_NUMBER;
            if (control.kind == DialogControl::Kind::secret)
                style |= ES_PASSWORD;
            break;
        case DialogControl::Kind::radio:
            className = L"BUTTON";
            style |= BS_AUTORADIOBUTTON | (control.first ? WS_GROUP | WS_TABSTOP : 0);
            break;
        case DialogControl::Kind::button:
            className = L"BUTTON";
            style |= BS_OWNERDRAW | WS_TABSTOP;
            break;
        }
        const std::wstring text = Wide(control.text);
        HWND child = CreateWindowExW(0, className, text.c_str(), style, 0, 0, 0, 0, Handle(),
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
        // Without the visual style the radio buttons take the colours of
        // WM_CTLCOLORSTATIC, as the dark theme needs.
        if (child && control.kind == DialogControl::Kind::radio)
            SetWindowTheme(child, L"", L"");
    }
    CheckRadioButton(Handle(), id::passwordRadio, id::googleRadio, id::passwordRadio);
}

void AccountDialog::Relayout(float scale)
{
    scale_ = scale > 0 ? scale : 1;
    HFONT font = MakeFont(scale_, FW_NORMAL);
    HFONT semibold = MakeFont(scale_, FW_SEMIBOLD);
    // Controls are matched by position: the caption statics share one id.
    HWND child = GetWindow(Handle(), GW_CHILD);
    for (const DialogControl& control : controls_) {
        if (!child)
            break;
        MoveWindow(child, Scaled(control.x), Scaled(control.y), Scaled(control.width), Scaled(control.height), FALSE);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(control.accent ? semibold : font), FALSE);
        if (control.kind == DialogControl::Kind::edit || control.kind == DialogControl::Kind::number ||
            control.kind == DialogControl::Kind::secret)
            SendMessageW(child, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(Scaled(6), Scaled(6)));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    if (font_)
        DeleteObject(font_);
    if (semibold_)
        DeleteObject(semibold_);
    font_ = font;
    semibold_ = semibold;
    InvalidateRect(Handle(), nullptr, TRUE);
}

std::string AccountDialog::Text(int controlId) const
{
    HWND control = Control(controlId);
    if (!control)
        return {};
    return Utf16ToUtf8(WindowText(control));
}

void AccountDialog::SetText(int controlId, std::string_view utf8)
{
    // Rewriting an unchanged field would move the caret of someone typing.
    if (Control(controlId) && Text(controlId) != utf8)
        SetWindowTextW(Control(controlId), WideFromUtf8(utf8).c_str());
}

void AccountDialog::SetStatus(std::u16string_view text)
{
    SetWindowTextW(Control(id::status), Wide(text).c_str());
}

AccountFormFields AccountDialog::ReadFields() const
{
    AccountFormFields fields;
    fields.label = Text(id::label);
    fields.email = Text(id::email);
    fields.displayName = Text(id::displayName);
    fields.user = Text(id::user);
    fields.imapHost = Text(id::imapHost);
    fields.imapPort = Text(id::imapPort);
    fields.smtpHost = Text(id::smtpHost);
    fields.smtpPort = Text(id::smtpPort);
    fields.googleSignIn = IsDlgButtonChecked(Handle(), id::googleRadio) == BST_CHECKED;
    fields.password = Text(id::password);
    fields.clientId = Text(id::clientId);
    fields.clientSecret = Text(id::clientSecret);
    return fields;
}

void AccountDialog::WriteFields(const AccountFormFields& fields)
{
    SetText(id::label, fields.label);
    SetText(id::email, fields.email);
    SetText(id::displayName, fields.displayName);
    SetText(id::user, fields.user);
    SetText(id::imapHost, fields.imapHost);
    SetText(id::imapPort, fields.imapPort);
    SetText(id::smtpHost, fields.smtpHost);
    SetText(id::smtpPort, fields.smtpPort);
    CheckRadioButton(Handle(), id::passwordRadio, id::googleRadio,
                     fields.googleSignIn ? id::googleRadio : id::passwordRadio);
    SetText(id::password, fields.password);
    SetText(id::clientId, fields.clientId);
    SetText(id::clientSecret, fields.clientSecret);
}

void AccountDialog::Enable(int controlId, bool enabled)
{
    if (HWND control = Control(controlId))
        EnableWindow(control, enabled ? TRUE : FALSE);
}

void AccountDialog::UpdateEnabling()
{
    const bool google = IsDlgButtonChecked(Handle(), id::googleRadio) == BST_CHECKED;
    Enable(id::password, !google);
    Enable(id::clientId, google);
    Enable(id::clientSecret, google);
}

void AccountDialog::OnCommand(int controlId, int code)
{
    if (controlId == id::email && code == EN_KILLFOCUS) {
        if (TrimAsciiSpace(Text(id::imapHost)).empty() && Text(id::email).find('@') != std::string::npos)
            StartDetection(true);
        return;
    }
    if (code != BN_CLICKED)
        return;
    switch (controlId) {
    case id::passwordRadio:
    case id::googleRadio:
        UpdateEnabling();
        break;
    case id::gmailPreset:
        WriteFields(WithGmailPreset(ReadFields(), google_));
        UpdateEnabling();
        SetStatus(std::u16string_view(kPresetApplied));
        break;
    case id::save:
    case IDOK: // Enter
        Save();
        break;
    case id::cancel:
    case IDCANCEL: // Esc
        done_ = true;
        break;
    case id::detect:
        StartDetection(false);
        break;
    case id::googleConsole: {
        std::string ignored; // a browser that will not start has nothing to add
        (void)OpenUrl(std::string(kGoogleConsoleUrl), ignored);
        break;
    }
    case id::googleSignIn:
        SignInForNewAccount();
        break;
    default:
        break;
    }
}

void AccountDialog::StartDetection(bool automatic)
{
    if (detectBusy_)
        return;
    const DetectionStart start = PlanDetection(Text(id::email));
    SetStatus(start.status);
    if (start.address.empty())
        return;
    detectBusy_ = true;
    automaticDetection_ = automatic;
    tasks_.StartDetection(DialogId(), start.address);
}

void AccountDialog::OnDetection(const DetectionResultRecord& result)
{
    detectBusy_ = false;
    if (!result.ok) {
        SetStatus("Autodetect: " + result.error);
        return;
    }
    const DetectionFill fill = ApplyDetection(ReadFields(), result.settings, automaticDetection_);
    WriteFields(fill.fields);
    UpdateEnabling();
    SetStatus(fill.status);
    // After an automatic detection the user may have moved on: the focus
    // moves only from where the detection started.
    if (automaticDetection_ && GetFocus() != Control(id::email))
        return;
    const int target = fill.focus == DetectionFill::Focus::clientId && Control(id::clientId) ? id::clientId
                       : fill.fields.googleSignIn                                            ? id::save
                                                                                             : id::password;
    SetFocus(Control(target));
}

void AccountDialog::Save()
{
    SavePlan plan = PlanSave(ReadFields(), settings_, index_, BuiltInClient());
    switch (plan.step) {
    case SavePlan::Step::refuse:
        SetStatus(plan.status);
        break;
    case SavePlan::Step::commit:
        Commit(std::move(plan.account), plan.client);
        break;
    case SavePlan::Step::signIn:
        if (signInBusy_)
            return;
        pendingSave_ = std::move(plan);
        StartSignIn(pendingSave_.client, false);
        break;
    }
}

void AccountDialog::SignInForNewAccount()
{
    if (signInBusy_)
        return;
    const SignInPlan plan = PlanSignInButton(ReadFields(), settings_, BuiltInClient());
    if (!plan.client) {
        SetStatus(plan.status);
        return;
    }
    StartSignIn(*plan.client, true);
}

void AccountDialog::StartSignIn(const OAuthClientChoice& client, bool newAccount)
{
    signInBusy_ = true;
    newGoogleAccount_ = newAccount;
    client_ = client;
    Enable(id::save, false);
    Enable(id::googleSignIn, false);
    SetStatus(std::u16string_view(kWaitingForGoogle));
    tasks_.StartSignIn(DialogId(), client.id, client.secret);
}

void AccountDialog::OnSignIn(const SignInResultRecord& result)
{
    const bool fromButton = std::exchange(newGoogleAccount_, false);
    signInBusy_ = false;
    Enable(id::save, true);
    Enable(id::googleSignIn, true);
    if (!result.ok) {
        SetStatus("Google sign-in failed: " + result.error);
        return;
    }
    if (!fromButton) {
        AccountConfig account = std::move(pendingSave_.account);
        account.refreshToken = result.tokens.refreshToken;
        account.accessToken = result.tokens.accessToken; // working state, never stored
        account.accessTokenExpiry = result.tokens.expiresAt;
        Commit(std::move(account), pendingSave_.client);
        return;
    }
    NewGoogleAccount made = GoogleAccountFrom(result.tokens, client_, settings_, google_);
    if (!made.account) {
        SetStatus(made.status);
        return;
    }
    Commit(std::move(*made.account), client_);
}

void AccountDialog::Commit(AccountConfig account, const OAuthClientChoice& client)
{
    // The settings change only once the file holds them.
    AppSettings changed = settings_;
    CommitAccount(changed, index_, std::move(account), client);
    std::string error;
    if (!SaveSettingsTo(file_, changed, error)) {
        SetStatus("Could not save the settings: " + error);
        return;
    }
    settings_ = std::move(changed);
    saved_ = true;
    done_ = true;
}

void AccountDialog::DrawButton(const DRAWITEMSTRUCT& item) const
{
    const auto control = std::find_if(controls_.begin(), controls_.end(),
                                      [&item](const DialogControl& c) { return c.id == static_cast<int>(item.CtlID); });
    const bool accent = control != controls_.end() && control->accent;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const COLORREF fill = accent ? (disabled ? kAccentDisabled : kAccent) : kEditBackground;
    const COLORREF text = disabled ? kDimText : accent ? kAccentText : kText;
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(item.hDC, &item.rcItem, brush);
    DeleteObject(brush);
    if ((item.itemState & ODS_FOCUS) != 0) {
        // Where the keyboard is, for those who move with Tab.
        HBRUSH edge = CreateSolidBrush(kText);
        FrameRect(item.hDC, &item.rcItem, edge);
        DeleteObject(edge);
    }
    wchar_t caption[65]{}; // at most 64 characters
    GetWindowTextW(item.hwndItem, caption, 65);
    const HGDIOBJ old = SelectObject(item.hDC, accent ? semibold_ : font_);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, text);
    RECT area = item.rcItem;
    DrawTextW(item.hDC, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(item.hDC, old);
}

LRESULT AccountDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (std::unique_ptr<ResultRecord> record = TakeRecord(message, lParam)) {
        if (record->kind == RecordKind::DetectionResult)
            OnDetection(static_cast<const DetectionResultRecord&>(*record));
        else if (record->kind == RecordKind::SignInResult)
            OnSignIn(static_cast<const SignInResultRecord&>(*record));
        return 0;
    }
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        auto dc = reinterpret_cast<HDC>(wParam);
        auto control = reinterpret_cast<HWND>(lParam);
        wchar_t className[16]{};
        GetClassNameW(control, className, 16);
        // Read-only and disabled edits ask with WM_CTLCOLORSTATIC too.
        const bool edit = lstrcmpiW(className, L"Edit") == 0;
        const bool status = GetDlgCtrlID(control) == id::status;
        SetTextColor(dc, edit ? (IsWindowEnabled(control) ? kText : kDimText) : status ? kAccent : kDimText);
        SetBkColor(dc, edit ? kEditBackground : kBackground);
        return reinterpret_cast<LRESULT>(edit ? editBackground_ : background_);
    }
    case WM_ERASEBKGND: {
        RECT client{};
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, background_);
        return TRUE;
    }
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        Relayout(static_cast<float>(HIWORD(wParam)) / 96.0f);
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        done_ = true;
        return 0;
    case WM_DESTROY:
        // What the tasks still produce is freed by them; what already waits
        // in the queue is freed here.
        tasks_.Cancel(DialogId());
        FreeQueuedRecords(Handle());
        done_ = true;
        return 0;
    default:
        return DefWindowProcW(Handle(), message, wParam, lParam);
    }
}

} // namespace

bool RunAccountDialog(HINSTANCE instance, HWND owner, const AccountDialogRequest& request)
{
    AccountDialog dialog(request);
    if (!dialog.Create(instance, owner))
        return false;
    if (owner)
        EnableWindow(owner, FALSE);
    ShowWindow(dialog.Handle(), SW_SHOW);
    SetForegroundWindow(dialog.Handle());
    SetFocus(GetDlgItem(dialog.Handle(), request.index >= 0 ? account_control::label : account_control::email));

    MSG message{};
    while (!dialog.Done() && dialog.Handle()) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending (Exit from the notification area): the
            // caller's loop must see the quit as well.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!IsDialogMessageW(dialog.Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (owner && IsWindow(owner)) {
        // Before the dialog goes, so that the system activates the owner.
        EnableWindow(owner, TRUE);
        SetForegroundWindow(owner);
    }
    // Destroyed while the object stands, so that it cancels its tasks.
    if (dialog.Handle())
        DestroyWindow(dialog.Handle());
    return dialog.Saved();
}

} // namespace postern::shell
