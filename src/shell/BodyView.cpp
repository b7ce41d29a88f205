#include "shell/BodyView.h"

#include "platform/Charset.h"
#include "platform/Folders.h"
#include "platform/Shell.h"
#include "shell/ComHandler.h"
#include "shell/Keys.h"
#include "ui/BrowserPolicy.h"
#include "ui/PageSizeLimit.h"
#include "ui/PlaceholderPage.h"

#include <WebView2.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace postern::shell {

using Microsoft::WRL::ComPtr;

namespace {

// The factory's signature, taken from the SDK's own declaration so that a
// change in the SDK shows up as a compile error here.
using CreateEnvironmentFunction = decltype(&CreateCoreWebView2EnvironmentWithOptions);

using EnvironmentCompleted =
    ComHandler<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, HRESULT, ICoreWebView2Environment*>;
using ControllerCompleted =
    ComHandler<ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, HRESULT, ICoreWebView2Controller*>;
using NavigationStarting =
    ComHandler<ICoreWebView2NavigationStartingEventHandler, ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs*>;
using NewWindowRequested =
    ComHandler<ICoreWebView2NewWindowRequestedEventHandler, ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs*>;
using ResourceRequested = ComHandler<ICoreWebView2WebResourceRequestedEventHandler, ICoreWebView2*,
                                     ICoreWebView2WebResourceRequestedEventArgs*>;
using KeyPressed = ComHandler<ICoreWebView2AcceleratorKeyPressedEventHandler, ICoreWebView2Controller*,
                              ICoreWebView2AcceleratorKeyPressedEventArgs*>;
using FocusLeaving = ComHandler<ICoreWebView2MoveFocusRequestedEventHandler, ICoreWebView2Controller*,
                                ICoreWebView2MoveFocusRequestedEventArgs*>;

// The loader beside the program. It stays loaded for the rest of the
// process: the browser may call back through it until it has shut down.
CreateEnvironmentFunction EnvironmentFactory()
{
    HMODULE loader = LoadLibraryExW(L"WebView2Loader.dll", nullptr,
                                    LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!loader)
        return nullptr;
    return reinterpret_cast<CreateEnvironmentFunction>(
        reinterpret_cast<void*>(GetProcAddress(loader, "CreateCoreWebView2EnvironmentWithOptions")));
}

// The browser's profile under the local (not roaming) data folder: it is a
// cache, and large.
std::wstring UserDataFolder()
{
    std::filesystem::path folder = LocalDataFolder();
    if (folder.empty())
        folder = ".";
    folder /= L"Halvorsoft";
    folder /= L"Postern";
    std::error_code ignored; // an existing folder is fine, a missing one the browser reports
    std::filesystem::create_directories(folder, ignored);
    return (folder / L"WebView2").wstring();
}

// A string the browser allocated, freed once.
class BrowserText {
public:
    BrowserText() = default;
    ~BrowserText() { CoTaskMemFree(text_); }
    BrowserText(const BrowserText&) = delete;
    BrowserText& operator=(const BrowserText&) = delete;

    LPWSTR* Out() { return &text_; }
    [[nodiscard]] std::string Utf8() const
    {
        if (!text_)
            return {};
        return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text_)));
    }

private:
    LPWSTR text_ = nullptr;
};

ResourceKind KindOf(COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
{
    switch (context) {
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT:
        return ResourceKind::document;
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_STYLESHEET:
        return ResourceKind::stylesheet;
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_IMAGE:
        return ResourceKind::image;
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_MEDIA:
        return ResourceKind::media;
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FONT:
        return ResourceKind::font;
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_SCRIPT:
        return ResourceKind::script;
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST:
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH:
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_EVENT_SOURCE:
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_WEBSOCKET:
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_PING:
    case COREWEBVIEW2_WEB_RESOURCE_CONTEXT_CSP_VIOLATION_REPORT:
        return ResourceKind::request;
    default:
        return ResourceKind::other;
    }
}

void OpenOutside(const std::string& uri)
{
    std::string ignored; // a handler that will not start has nothing to add
    (void)OpenUrl(uri, ignored);
}

} // namespace

struct BodyView::State {
    HWND parent = nullptr;
    RECT bounds{};
    bool ready = false;
    bool visible = false;
    std::u16string pendingPage;
    ComPtr<ICoreWebView2Controller> controller;
    ComPtr<ICoreWebView2> webview;
    ComPtr<ICoreWebView2Environment> environment;
    std::function<void()> failed;
    // The program's own page load has been asked for and not yet started:
    // its navigation is the one that may show an about: or data: page.
    bool ownPageStarting = false;

    void Fail()
    {
        controller.Reset();
        webview.Reset();
        environment.Reset();
        if (failed)
            std::exchange(failed, nullptr)();
    }

    void Navigate(std::u16string page)
    {
        if (page.empty())
            page = PlaceholderPage(u""); // dark, where an empty document would flash white
        LimitPageSize(page);
        ownPageStarting = true;
        if (FAILED(webview->NavigateToString(reinterpret_cast<const wchar_t*>(page.c_str())))) {
            // Refused after all (its own limits may be stricter than ours):
            // the note, rather than the previous page or "Loading…".
            const std::u16string note = TruncatedPage();
            ownPageStarting = SUCCEEDED(webview->NavigateToString(reinterpret_cast<const wchar_t*>(note.c_str())));
        }
    }
};

bool BodyView::Init(HWND parent, std::function<void()> failed)
{
    Close();
    const CreateEnvironmentFunction create = EnvironmentFactory();
    if (!create)
        return false;
    state_ = std::make_shared<State>();
    state_->parent = parent;
    state_->failed = std::move(failed);
    const std::weak_ptr<State> weak = state_;

    const auto onController = [weak](HRESULT result, ICoreWebView2Controller* controller) -> HRESULT {
        const std::shared_ptr<State> state = weak.lock();
        if (!state || !state->environment)
            return S_OK; // closed meanwhile
        if (FAILED(result) || !controller) {
            state->Fail();
            return S_OK;
        }
        state->controller = controller;
        if (FAILED(controller->get_CoreWebView2(&state->webview)) || !state->webview) {
            state->Fail();
            return S_OK;
        }
        ComPtr<ICoreWebView2Settings> settings;
        if (SUCCEEDED(state->webview->get_Settings(&settings)) && settings) {
            settings->put_IsScriptEnabled(FALSE);
            settings->put_AreDefaultScriptDialogsEnabled(FALSE);
            settings->put_IsWebMessageEnabled(FALSE);
            settings->put_AreDefaultContextMenusEnabled(FALSE);
            settings->put_AreDevToolsEnabled(FALSE);
            settings->put_IsStatusBarEnabled(FALSE);
            settings->put_IsBuiltInErrorPageEnabled(FALSE);
        }
        ICoreWebView2* webview = state->webview.Get();
        EventRegistrationToken token{};
        webview->AddWebResourceRequestedFilter(L"*", COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL);
        webview->add_WebResourceRequested(
            ResourceRequested::Make(
                IID_ICoreWebView2WebResourceRequestedEventHandler,
                [weak](ICoreWebView2*, ICoreWebView2WebResourceRequestedEventArgs* args) -> HRESULT {
                    const std::shared_ptr<State> state = weak.lock();
                    if (!state || !args)
                        return S_OK;
                    ComPtr<ICoreWebView2WebResourceRequest> request;
                    BrowserText uri;
                    if (SUCCEEDED(args->get_Request(&request)) && request)
                        request->get_Uri(uri.Out());
                    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_OTHER;
                    args->get_ResourceContext(&context);
                    if (ResourceAllowed(uri.Utf8(), KindOf(context)))
                        return S_OK;
                    ComPtr<ICoreWebView2WebResourceResponse> blocked;
                    if (state->environment && SUCCEEDED(state->environment->CreateWebResourceResponse(
                                                  nullptr, 403, L"Blocked", L"", &blocked)))
                        args->put_Response(blocked.Get());
                    return S_OK;
                })
                .Get(),
            &token);
        webview->add_NavigationStarting(
            NavigationStarting::Make(IID_ICoreWebView2NavigationStartingEventHandler,
                                     [weak](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) -> HRESULT {
                                         const std::shared_ptr<State> state = weak.lock();
                                         if (!state || !args)
                                             return S_OK;
                                         BrowserText uri;
                                         args->get_Uri(uri.Out());
                                         BOOL user = FALSE;
                                         args->get_IsUserInitiated(&user);
                                         const bool own = std::exchange(state->ownPageStarting, false);
                                         const LinkAction action = NavigationAction(uri.Utf8(), user != FALSE, own);
                                         if (action == LinkAction::proceed)
                                             return S_OK;
                                         args->put_Cancel(TRUE);
                                         if (action == LinkAction::openOutside)
                                             OpenOutside(uri.Utf8());
                                         return S_OK;
                                     })
                .Get(),
            &token);
        webview->add_NewWindowRequested(
            NewWindowRequested::Make(IID_ICoreWebView2NewWindowRequestedEventHandler,
                                     [weak](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) -> HRESULT {
                                         if (!args)
                                             return S_OK;
                                         args->put_Handled(TRUE); // no window, ever
                                         if (weak.expired())
                                             return S_OK;
                                         BrowserText uri;
                                         args->get_Uri(uri.Out());
                                         BOOL user = FALSE;
                                         args->get_IsUserInitiated(&user);
                                         if (NewWindowAction(uri.Utf8(), user != FALSE) == LinkAction::openOutside)
                                             OpenOutside(uri.Utf8());
                                         return S_OK;
                                     })
                .Get(),
            &token);
        // The window's shortcuts work while the page has the keyboard; Esc
        // and Tab out of the page give it back to the list.
        controller->add_AcceleratorKeyPressed(
            KeyPressed::Make(IID_ICoreWebView2AcceleratorKeyPressedEventHandler,
                             [weak](ICoreWebView2Controller*, ICoreWebView2AcceleratorKeyPressedEventArgs* args) {
                                 const std::shared_ptr<State> state = weak.lock();
                                 COREWEBVIEW2_KEY_EVENT_KIND kind = COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP;
                                 UINT key = 0;
                                 if (!state || !args || FAILED(args->get_KeyEventKind(&kind)) ||
                                     FAILED(args->get_VirtualKey(&key)))
                                     return S_OK;
                                 if (kind != COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN &&
                                     kind != COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN)
                                     return S_OK;
                                 const bool ctrl = GetKeyState(VK_CONTROL) < 0;
                                 if (key == VK_ESCAPE || BodyKeyReachesWindow(key, ctrl)) {
                                     args->put_Handled(TRUE);
                                     PostMessageW(state->parent, kBodyKeyMessage, key, ctrl ? 1 : 0);
                                 }
                                 return S_OK;
                             })
                .Get(),
            &token);
        controller->add_MoveFocusRequested(
            FocusLeaving::Make(IID_ICoreWebView2MoveFocusRequestedEventHandler,
                               [weak](ICoreWebView2Controller*, ICoreWebView2MoveFocusRequestedEventArgs* args) {
                                   const std::shared_ptr<State> state = weak.lock();
                                   if (!state || !args)
                                       return S_OK;
                                   args->put_Handled(TRUE);
                                   PostMessageW(state->parent, kBodyKeyMessage, VK_ESCAPE, 0);
                                   return S_OK;
                               })
                .Get(),
            &token);

        controller->put_IsVisible(state->visible ? TRUE : FALSE);
        ComPtr<ICoreWebView2Controller2> controller2;
        if (SUCCEEDED(controller->QueryInterface(IID_ICoreWebView2Controller2,
                                                 reinterpret_cast<void**>(controller2.GetAddressOf()))))
            controller2->put_DefaultBackgroundColor(COREWEBVIEW2_COLOR{255, 0x14, 0x16, 0x1A});
        controller->put_Bounds(state->bounds);
        state->ready = true;
        if (!state->pendingPage.empty())
            state->Navigate(std::exchange(state->pendingPage, {}));
        return S_OK;
    };

    const auto onEnvironment = [weak, onController](HRESULT result, ICoreWebView2Environment* environment) -> HRESULT {
        const std::shared_ptr<State> state = weak.lock();
        if (!state)
            return S_OK; // closed meanwhile
        if (FAILED(result) || !environment) {
            state->Fail();
            return S_OK;
        }
        state->environment = environment;
        const HRESULT started = environment->CreateCoreWebView2Controller(
            state->parent,
            ControllerCompleted::Make(IID_ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, onController)
                .Get());
        if (FAILED(started))
            state->Fail();
        return S_OK;
    };

    const std::wstring folder = UserDataFolder();
    const HRESULT started =
        create(nullptr, folder.c_str(), nullptr,
               EnvironmentCompleted::Make(IID_ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, onEnvironment)
                   .Get());
    if (FAILED(started)) {
        state_.reset();
        return false;
    }
    return true;
}

void BodyView::SetBounds(const RECT& bounds)
{
    if (!state_)
        return;
    state_->bounds = bounds;
    if (state_->controller)
        state_->controller->put_Bounds(bounds);
}

void BodyView::SetVisible(bool visible)
{
    if (!state_)
        return;
    state_->visible = visible;
    if (state_->controller)
        state_->controller->put_IsVisible(visible ? TRUE : FALSE);
}

void BodyView::ShowPage(std::u16string page)
{
    if (!state_)
        return;
    if (!state_->ready) {
        state_->pendingPage = std::move(page);
        return;
    }
    state_->Navigate(std::move(page));
}

void BodyView::Close()
{
    // The handlers hold the state weakly: once it is gone they do nothing.
    const std::shared_ptr<State> state = std::move(state_);
    if (!state)
        return;
    if (state->controller)
        state->controller->Close();
    state->failed = nullptr;
    state->ready = false;
}

bool BodyView::Ready() const
{
    return state_ && state_->ready;
}

} // namespace postern::shell
