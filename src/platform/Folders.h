// The per-user data folders: roaming (settings) and local (browser data).
// Windows: the RoamingAppData and LocalAppData known folders, with APPDATA as
// the fallback for the roaming one. Elsewhere: $XDG_CONFIG_HOME (else
// ~/.config) and $XDG_DATA_HOME (else ~/.local/share).
#pragma once

#include <filesystem>

namespace postern {

[[nodiscard]] std::filesystem::path RoamingDataFolder();
[[nodiscard]] std::filesystem::path LocalDataFolder();

} // namespace postern
