#include "shell/WindowTheme.h"

#include <dwmapi.h>

namespace postern::shell {

namespace {

// DWMWA_USE_IMMERSIVE_DARK_MODE: 20 since Windows 10 20H1, 19 before that.
constexpr DWORD kDarkModeAttribute = 20;
constexpr DWORD kDarkModeAttributeBefore20H1 = 19;

// uxtheme.dll exports these by ordinal only: 135 sets the preferred app
// mode (2 = always dark), 136 makes menus re-read their theme.
constexpr WORD kSetPreferredAppMode = 135;
constexpr WORD kFlushMenuThemes = 136;
constexpr int kAppModeForceDark = 2;

using SetPreferredAppModeFunction = int(WINAPI*)(int);
using FlushMenuThemesFunction = void(WINAPI*)();

template <typename F>
F Ordinal(HMODULE module, WORD ordinal)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal))));
}

} // namespace

void UseDarkMenus()
{
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!uxtheme)
        return;
    // The library stays loaded: the menus keep using what was set here.
    if (const auto setMode = Ordinal<SetPreferredAppModeFunction>(uxtheme, kSetPreferredAppMode))
        setMode(kAppModeForceDark);
    if (const auto flush = Ordinal<FlushMenuThemesFunction>(uxtheme, kFlushMenuThemes))
        flush();
}

void UseDarkTitleBar(HWND window)
{
    const BOOL dark = TRUE;
    if (FAILED(DwmSetWindowAttribute(window, kDarkModeAttribute, &dark, sizeof dark)))
        (void)DwmSetWindowAttribute(window, kDarkModeAttributeBefore20H1, &dark, sizeof dark);
}

} // namespace postern::shell
