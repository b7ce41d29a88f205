#include "account/Settings.h"

#include "account/Json.h"
#include "account/SecretProtection.h"
#include "platform/Files.h"
#include "platform/Folders.h"

#include <system_error>

namespace postern {

namespace {

// Numbers become integers by truncation toward zero. A value the integer
// cannot hold (out of range, infinite, NaN) says nothing usable, so it counts
// as absent rather than being clamped into something that looks meant.
int32_t ToInt32(double number, int32_t fallback)
{
    if (!(number > -2147483649.0 && number < 2147483648.0))
        return fallback;
    return static_cast<int32_t>(number);
}

int64_t ToInt64(double number, int64_t fallback)
{
    if (!(number >= -9223372036854775808.0 && number < 9223372036854775808.0))
        return fallback;
    return static_cast<int64_t>(number);
}

int32_t Int32Member(const JsonValue& object, std::string_view key, int32_t fallback)
{
    return ToInt32(object.NumberMember(key, fallback), fallback);
}

AccountConfig ReadAccount(const JsonValue& entry)
{
    AccountConfig account;
    account.name = entry.StringMember("name", "");
    account.email = entry.StringMember("email", "");
    account.displayName = entry.StringMember("displayName", "");
    account.imapHost = entry.StringMember("imapHost", "");
    account.imapPort = Int32Member(entry, "imapPort", 993);
    account.smtpHost = entry.StringMember("smtpHost", "");
    account.smtpPort = Int32Member(entry, "smtpPort", 465);
    account.user = entry.StringMember("user", account.email);
    account.auth = entry.StringMember("auth", "") == "gmail" ? AuthKind::gmail : AuthKind::password;
    account.password = UnprotectSecret(entry.StringMember("passwordEnc", ""));
    account.clientId = entry.StringMember("clientId", "");
    account.clientSecret = UnprotectSecret(entry.StringMember("clientSecretEnc", ""));
    account.refreshToken = UnprotectSecret(entry.StringMember("refreshTokenEnc", ""));
    return account;
}

std::string PathText(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

JsonValue AccountJson(const AccountConfig& account)
{
    JsonValue object = JsonValue::MakeObject();
    object.Add("name", JsonValue::MakeString(account.name));
    object.Add("email", JsonValue::MakeString(account.email));
    object.Add("displayName", JsonValue::MakeString(account.displayName));
    object.Add("imapHost", JsonValue::MakeString(account.imapHost));
    object.Add("imapPort", JsonValue::MakeNumber(account.imapPort));
    object.Add("smtpHost", JsonValue::MakeString(account.smtpHost));
    object.Add("smtpPort", JsonValue::MakeNumber(account.smtpPort));
    object.Add("user", JsonValue::MakeString(account.user));
    object.Add("auth", JsonValue::MakeString(account.auth == AuthKind::gmail ? "gmail" : "password"));
    // A secret that fails to protect is written as an empty value, never in
    // plain text.
    if (!account.password.empty())
        object.Add("passwordEnc", JsonValue::MakeString(ProtectSecret(account.password)));
    object.Add("clientId", JsonValue::MakeString(account.clientId));
    if (!account.clientSecret.empty())
        object.Add("clientSecretEnc", JsonValue::MakeString(ProtectSecret(account.clientSecret)));
    if (!account.refreshToken.empty())
        object.Add("refreshTokenEnc", JsonValue::MakeString(ProtectSecret(account.refreshToken)));
    return object;
}

} // namespace

std::filesystem::path SettingsFolder()
{
    // Built fresh on every call: the roaming folder can be redirected while
    // the program runs. Failures are ignored here and show up when the file
    // is written.
    std::filesystem::path folder = RoamingDataFolder() / "Halvorsoft" / "Postern";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

std::filesystem::path SettingsPath()
{
    return SettingsFolder() / "config.json";
}

SettingsLoad LoadSettingsFile(const std::filesystem::path& path, AppSettings& settings,
                              std::string& error)
{
    settings.accounts.clear();
    std::error_code ec;
    // Reading a folder as a file fails in ways the stream library reports
    // differently per platform, some of them by throwing.
    if (std::filesystem::is_directory(path, ec)) {
        error = PathText(path) + " is a folder, not a file";
        return SettingsLoad::unreadable;
    }
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) {
        if (!std::filesystem::exists(path, ec) && !ec) {
            error = PathText(path) + " does not exist";
            return SettingsLoad::missing;
        }
        return SettingsLoad::unreadable;
    }
    JsonValue root;
    std::size_t position = 0;
    std::string parseError;
    if (!JsonParse(bytes, position, root, parseError)) {
        error = PathText(path) + " is not valid JSON: " + parseError;
        return SettingsLoad::malformed;
    }

    if (const JsonValue* window = root.ObjectMember("window")) {
        settings.windowX = Int32Member(*window, "x", 0);
        settings.windowY = Int32Member(*window, "y", 0);
        settings.windowW = Int32Member(*window, "w", 0);
        settings.windowH = Int32Member(*window, "h", 0);
        settings.maximized = window->BoolMember("maximized");
        settings.railW = Int32Member(*window, "railW", 0);
        settings.listW = Int32Member(*window, "listW", 0);
    }
    settings.googleClientId = root.StringMember("googleClientId", "");
    settings.googleClientSecret = UnprotectSecret(root.StringMember("googleClientSecretEnc", ""));
    if (root.type != JsonType::Object) {
        error = PathText(path) + " does not hold a JSON object";
        return SettingsLoad::malformed;
    }

    if (const JsonValue* lastSel = root.ObjectMember("lastSel")) {
        settings.lastSelAccount = Int32Member(*lastSel, "a", -1);
        settings.lastSelFolder = lastSel->StringMember("f", "");
        settings.lastSelUid = ToInt64(lastSel->NumberMember("u", 0), 0);
    }

    const JsonValue* accounts = root.ArrayMember("accounts");
    if (!accounts)
        return SettingsLoad::noAccounts;
    for (const JsonValue& entry : accounts->items) {
        AccountConfig account = ReadAccount(entry);
        // Without these two the account cannot even be listed or opened.
        if (!account.email.empty() && !account.imapHost.empty())
            settings.accounts.push_back(std::move(account));
    }
    return settings.accounts.empty() ? SettingsLoad::noAccounts : SettingsLoad::loaded;
}

bool SetAsideSettingsFile(const std::filesystem::path& path, std::filesystem::path& movedTo, std::string& error)
{
    for (int attempt = 1; attempt <= 100; ++attempt) {
        std::filesystem::path target = path;
        target += attempt == 1 ? ".damaged" : ".damaged-" + std::to_string(attempt);
        std::error_code ec;
        if (std::filesystem::exists(target, ec) || ec)
            continue;
        std::filesystem::rename(path, target, ec);
        if (ec) {
            error = "cannot rename " + PathText(path) + ": " + ec.message();
            return false;
        }
        movedTo = std::move(target);
        return true;
    }
    error = "no free name beside " + PathText(path);
    return false;
}

bool LoadSettingsFrom(const std::filesystem::path& path, AppSettings& settings)
{
    std::string ignored;
    return LoadSettingsFile(path, settings, ignored) == SettingsLoad::loaded;
}

bool LoadSettings(AppSettings& settings)
{
    return LoadSettingsFrom(SettingsPath(), settings);
}

std::string SerializeSettings(const AppSettings& settings)
{
    JsonValue root = JsonValue::MakeObject();

    JsonValue accounts = JsonValue::MakeArray();
    for (const AccountConfig& account : settings.accounts)
        accounts.Push(AccountJson(account));
    root.Add("accounts", std::move(accounts));

    if (!settings.googleClientId.empty()) {
        root.Add("googleClientId", JsonValue::MakeString(settings.googleClientId));
        if (!settings.googleClientSecret.empty()) {
            root.Add("googleClientSecretEnc",
                     JsonValue::MakeString(ProtectSecret(settings.googleClientSecret)));
        }
    }

    if (settings.lastSelUid != 0 && settings.lastSelAccount >= 0) {
        JsonValue lastSel = JsonValue::MakeObject();
        lastSel.Add("a", JsonValue::MakeNumber(settings.lastSelAccount));
        lastSel.Add("f", JsonValue::MakeString(settings.lastSelFolder));
        lastSel.Add("u", JsonValue::MakeNumber(static_cast<double>(settings.lastSelUid)));
        root.Add("lastSel", std::move(lastSel));
    }

    // Pane widths are kept even before the window has a saved rectangle: a
    // user who never moved the window still set them.
    const bool rect = settings.windowW >= 1 && settings.windowH >= 1;
    if (rect || settings.railW > 0 || settings.listW > 0) {
        JsonValue window = JsonValue::MakeObject();
        if (rect) {
            window.Add("x", JsonValue::MakeNumber(settings.windowX));
            window.Add("y", JsonValue::MakeNumber(settings.windowY));
            window.Add("w", JsonValue::MakeNumber(settings.windowW));
            window.Add("h", JsonValue::MakeNumber(settings.windowH));
        }
        if (settings.railW > 0)
            window.Add("railW", JsonValue::MakeNumber(settings.railW));
        if (settings.listW > 0)
            window.Add("listW", JsonValue::MakeNumber(settings.listW));
        window.Add("maximized", JsonValue::MakeBool(settings.maximized));
        root.Add("window", std::move(window));
    }

    return JsonSerialize(root);
}

bool SaveSettingsTo(const std::filesystem::path& path, const AppSettings& settings,
                    std::string& error)
{
    return WriteFileAtomically(path, SerializeSettings(settings), error);
}

bool SaveSettings(const AppSettings& settings)
{
    std::string ignored;
    return SaveSettingsTo(SettingsPath(), settings, ignored);
}

} // namespace postern
