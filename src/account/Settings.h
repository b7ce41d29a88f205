// The settings file, config.json in the per-user data folder, and the two
// records that hold it in memory. Secrets are plain in memory and protected in
// the file; a secret that does not unprotect (another user's or machine's, or
// damaged) loads as empty text. Used on the UI thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace postern {

enum class AuthKind : int32_t {
    password = 0,
    gmail = 1, // Google OAuth 2.0
};

struct AccountConfig {
    std::string name; // the label the account is listed under
    std::string email;
    std::string displayName;
    std::string imapHost;
    int32_t imapPort = 993;
    std::string smtpHost;
    int32_t smtpPort = 465;
    std::string user;
    AuthKind auth = AuthKind::password;
    std::string password;
    std::string clientId;     // the OAuth client that obtained refreshToken
    std::string clientSecret;
    std::string refreshToken;
    std::string accessToken;       // working state, never stored
    int64_t accessTokenExpiry = 0; // Unix seconds; working state, never stored
};

struct AppSettings {
    std::vector<AccountConfig> accounts; // an account's index identifies it everywhere
    int32_t windowX = 0; // the main window's normal rectangle, screen pixels
    int32_t windowY = 0;
    int32_t windowW = 0;
    int32_t windowH = 0;
    bool maximized = false;
    int32_t railW = 0; // 0: the built-in width
    int32_t listW = 0; // 0: the built-in width
    std::string googleClientId;
    std::string googleClientSecret;
    int32_t lastSelAccount = -1; // -1: none
    std::string lastSelFolder;
    int64_t lastSelUid = 0; // 0: none
};

// The data folder, created when missing; the lock and contact lists live
// there too.
[[nodiscard]] std::filesystem::path SettingsFolder();
[[nodiscard]] std::filesystem::path SettingsPath();

// How reading a settings file went, for callers that must not overwrite a
// file they could not understand.
enum class SettingsLoad {
    missing,    // no file: a first start
    unreadable, // the file exists but cannot be read
    malformed,  // not JSON, or not a JSON object
    noAccounts, // read, but without a usable account
    loaded,     // read, with at least one account
};

// Empties the account list, then fills `settings` from the file. Fields the
// file does not mention keep their values. `error` is set unless the result
// is noAccounts or loaded.
[[nodiscard]] SettingsLoad LoadSettingsFile(const std::filesystem::path& path, AppSettings& settings,
                                            std::string& error);

// Moves a settings file that could not be understood out of the way with
// its bytes intact, before a new one is written: "config.json" becomes
// "config.json.damaged", or "config.json.damaged-2" and so on when that is
// taken. `movedTo` is where it went.
[[nodiscard]] bool SetAsideSettingsFile(const std::filesystem::path& path, std::filesystem::path& movedTo,
                                        std::string& error);

// True only when at least one account was loaded.
[[nodiscard]] bool LoadSettingsFrom(const std::filesystem::path& path, AppSettings& settings);
[[nodiscard]] bool LoadSettings(AppSettings& settings);

// The file's text: compact JSON with the members in a fixed order and the
// secrets protected.
[[nodiscard]] std::string SerializeSettings(const AppSettings& settings);

// Replaces the file in one step: a failed save leaves the old file whole.
[[nodiscard]] bool SaveSettingsTo(const std::filesystem::path& path, const AppSettings& settings,
                                  std::string& error);
// Callers have nothing to tell the user when this fails; the next save tries
// again.
bool SaveSettings(const AppSettings& settings);

} // namespace postern
