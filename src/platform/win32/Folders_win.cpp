// The per-user data folders from the shell's known folders.
#include "platform/Folders.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace postern {

namespace {

// The documented known-folder IDs, spelled out here: the FOLDERID_ symbols
// live in a separate GUID library that not every toolchain links by default.
constexpr KNOWNFOLDERID kRoamingAppData = {
    0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
constexpr KNOWNFOLDERID kLocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

std::wstring EnvironmentText(const wchar_t* name)
{
    // The size can change between the calls; a few tries settle it.
    std::wstring value;
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    for (int attempt = 0; attempt < 4 && size > 0; ++attempt) {
        value.assign(size, L'\0');
        const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
        if (length < size) {
            value.resize(length);
            return value;
        }
        size = length;
    }
    return std::wstring();
}

std::filesystem::path KnownFolder(REFKNOWNFOLDERID id, const wchar_t* fallbackVariable)
{
    PWSTR text = nullptr;
    const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &text);
    std::wstring folder;
    if (SUCCEEDED(result) && text != nullptr)
        folder = text;
    // Freed on failure too, as the shell may have allocated.
    CoTaskMemFree(text);
    if (folder.empty())
        folder = EnvironmentText(fallbackVariable);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return std::filesystem::path(folder);
}

} // namespace

std::filesystem::path RoamingDataFolder()
{
    return KnownFolder(kRoamingAppData, L"APPDATA");
}

std::filesystem::path LocalDataFolder()
{
    return KnownFolder(kLocalAppData, L"LOCALAPPDATA");
}

} // namespace postern
