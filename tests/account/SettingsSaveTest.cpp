#include "account/Settings.h"

#include "ScratchFolder.h"
#include "mail/Base64.h"
#include "account/Json.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

using namespace std::string_view_literals;

namespace postern {
namespace {

AccountConfig PasswordAccount()
{
    AccountConfig a;
    a.name = "Work";
    a.email = "alice@example.test";
    a.displayName = "Alice \xC3\x84rger \"AA\"";
    a.imapHost = "imap.example.test";
    a.imapPort = 993;
    a.smtpHost = "smtp.example.test";
    a.smtpPort = 587;
    a.user = "alice";
    return a;
}

AccountConfig GoogleAccount()
{
    AccountConfig a;
    a.name = "G";
    a.email = "bob@gmail.test";
    a.imapHost = "imap.gmail.test";
    a.smtpHost = "smtp.gmail.test";
    a.user = "bob@gmail.test";
    a.auth = AuthKind::gmail;
    a.clientId = "cid.apps";
    return a;
}

AppSettings KnownSettings()
{
    AppSettings s;
    s.accounts = {PasswordAccount(), GoogleAccount()};
    s.windowX = -8;
    s.windowY = 10;
    s.windowW = 1200;
    s.windowH = 800;
    s.maximized = true;
    s.listW = 350;
    s.googleClientId = "gid";
    s.lastSelAccount = 1;
    s.lastSelFolder = "INBOX";
    s.lastSelUid = 230;
    return s;
}

std::vector<std::string> Keys(const JsonValue& object)
{
    std::vector<std::string> keys;
    for (const JsonMember& member : object.members)
        keys.push_back(member.key);
    return keys;
}

TEST(SettingsSave, KnownSettingsGiveExactlyThisText)
{
    EXPECT_EQ(SerializeSettings(KnownSettings()),
              R"({"accounts":[)"
              R"({"name":"Work","email":"alice@example.test","displayName":"Alice )"
              "\xC3\x84"
              R"(rger \"AA\"","imapHost":"imap.example.test","imapPort":993,)"
              R"("smtpHost":"smtp.example.test","smtpPort":587,"user":"alice","auth":"password",)"
              R"("clientId":""},)"
              R"({"name":"G","email":"bob@gmail.test","displayName":"","imapHost":"imap.gmail.test",)"
              R"("imapPort":993,"smtpHost":"smtp.gmail.test","smtpPort":465,"user":"bob@gmail.test",)"
              R"("auth":"gmail","clientId":"cid.apps"}],)"
              R"("googleClientId":"gid","lastSel":{"a":1,"f":"INBOX","u":230},)"
              R"("window":{"x":-8,"y":10,"w":1200,"h":800,"listW":350,"maximized":true}})");
}

TEST(SettingsSave, OptionalPartsAreLeftOutWhenUnset)
{
    const struct {
        std::string_view what;
        void (*change)(AppSettings&);
        std::string_view expected;
    } cases[] = {
        {"defaults", [](AppSettings&) {}, R"({"accounts":[]})"sv},
        {"width 0", [](AppSettings& s) { s.windowH = 5; }, R"({"accounts":[]})"sv},
        {"height 0", [](AppSettings& s) { s.windowW = 5; }, R"({"accounts":[]})"sv},
        {"negative size",
         [](AppSettings& s) {
             s.windowW = -5;
             s.windowH = 5;
         },
         R"({"accounts":[]})"sv},
        {"window without panes",
         [](AppSettings& s) {
             s.windowW = 1;
             s.windowH = 1;
             s.railW = -3;
         },
         R"({"accounts":[],"window":{"x":0,"y":0,"w":1,"h":1,"maximized":false}})"sv},
        {"both panes",
         [](AppSettings& s) {
             s.windowW = 1;
             s.windowH = 1;
             s.railW = 200;
             s.listW = 300;
         },
         R"({"accounts":[],"window":{"x":0,"y":0,"w":1,"h":1,"railW":200,"listW":300,"maximized":false}})"sv},
        {"uid 0", [](AppSettings& s) { s.lastSelAccount = 0; }, R"({"accounts":[]})"sv},
        {"account -1", [](AppSettings& s) { s.lastSelUid = 9; }, R"({"accounts":[]})"sv},
        {"account 0",
         [](AppSettings& s) {
             s.lastSelAccount = 0;
             s.lastSelUid = 4294967295;
         },
         R"({"accounts":[],"lastSel":{"a":0,"f":"","u":4294967295}})"sv},
        {"client secret without id", [](AppSettings& s) { s.googleClientSecret = "x"; },
         R"({"accounts":[]})"sv},
        {"client id without secret", [](AppSettings& s) { s.googleClientId = "id"; },
         R"({"accounts":[],"googleClientId":"id"})"sv},
        {"control byte in a folder name",
         [](AppSettings& s) {
             s.lastSelAccount = 0;
             s.lastSelUid = 1;
             s.lastSelFolder = "a\x01/b";
         },
         R"({"accounts":[],"lastSel":{"a":0,"f":"a\u0001/b","u":1}})"sv},
    };
    for (const auto& c : cases) {
        AppSettings s;
        c.change(s);
        EXPECT_EQ(SerializeSettings(s), c.expected) << c.what;
    }
}

TEST(SettingsSave, SecretsAreWrittenProtectedInTheirPlaces)
{
    test::ScratchFolder scratch;
    AppSettings s;
    s.accounts = {PasswordAccount(), GoogleAccount()};
    s.accounts[0].password = "hunter2-Password!";
    s.accounts[1].clientSecret = "GOCSPX-client-secret";
    s.accounts[1].refreshToken = "1//refresh-token-value";
    s.accounts[1].accessToken = "ya29.access-token-value";
    s.accounts[1].accessTokenExpiry = 1700000000;
    s.googleClientId = "gid";
    s.googleClientSecret = "google-client-secret";

    const std::filesystem::path path = scratch / "config.json";
    std::string error;
    ASSERT_TRUE(SaveSettingsTo(path, s, error)) << error;
    const std::string bytes = test::ReadBytes(path);

    EXPECT_EQ(bytes.find('\n'), std::string::npos);
    const std::string_view secrets[] = {"hunter2-Password!", "GOCSPX-client-secret",
                                        "1//refresh-token-value", "ya29.access-token-value",
                                        "google-client-secret"};
    for (const std::string_view secret : secrets) {
        EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;
        EXPECT_EQ(bytes.find(Base64Encode(secret)), std::string::npos) << secret;
    }
    EXPECT_EQ(bytes.find("1700000000"), std::string::npos);

    JsonValue root;
    std::size_t position = 0;
    ASSERT_TRUE(JsonParse(bytes, position, root));
    EXPECT_EQ(Keys(root), (std::vector<std::string>{"accounts", "googleClientId",
                                                    "googleClientSecretEnc"}));
    const JsonValue* accounts = root.ArrayMember("accounts");
    ASSERT_NE(accounts, nullptr);
    ASSERT_EQ(accounts->items.size(), 2u);
    EXPECT_EQ(Keys(accounts->items[0]),
              (std::vector<std::string>{"name", "email", "displayName", "imapHost", "imapPort",
                                        "smtpHost", "smtpPort", "user", "auth", "passwordEnc",
                                        "clientId"}));
    EXPECT_EQ(Keys(accounts->items[1]),
              (std::vector<std::string>{"name", "email", "displayName", "imapHost", "imapPort",
                                        "smtpHost", "smtpPort", "user", "auth", "clientId",
                                        "clientSecretEnc", "refreshTokenEnc"}));
    const std::string protectedValues[] = {
        accounts->items[0].StringMember("passwordEnc", ""),
        accounts->items[1].StringMember("clientSecretEnc", ""),
        accounts->items[1].StringMember("refreshTokenEnc", ""),
        root.StringMember("googleClientSecretEnc", ""),
    };
    for (const std::string& value : protectedValues) {
        EXPECT_FALSE(value.empty());
        EXPECT_FALSE(Base64Decode(value).empty()) << value;
    }
}

TEST(SettingsSave, LoadGivesBackWhatWasSaved)
{
    test::ScratchFolder scratch;
    AppSettings saved = KnownSettings();
    saved.railW = 210;
    saved.maximized = false;
    saved.accounts[0].password = "p\xC3\xA4ss";
    saved.accounts[1].clientSecret = "cs";
    saved.accounts[1].refreshToken = "rt";
    saved.accounts[1].accessToken = "never stored";
    saved.accounts[1].accessTokenExpiry = 99;
    saved.googleClientSecret = "gs";
    saved.lastSelFolder = "Ordner/\xC3\x9C" "bersicht";

    const std::filesystem::path path = scratch / "config.json";
    std::string error;
    ASSERT_TRUE(SaveSettingsTo(path, saved, error)) << error;
    AppSettings loaded;
    ASSERT_TRUE(LoadSettingsFrom(path, loaded));

    // The text without the protected values (fresh randomness each time)
    // covers every stored field; the secrets are compared one by one.
    auto withoutSecrets = [](AppSettings s) {
        for (AccountConfig& a : s.accounts) {
            a.password = a.clientSecret = a.refreshToken = a.accessToken = "";
            a.accessTokenExpiry = 0;
        }
        s.googleClientSecret = "";
        return SerializeSettings(s);
    };
    ASSERT_EQ(loaded.accounts.size(), 2u);
    EXPECT_EQ(loaded.accounts[0].password, "p\xC3\xA4ss");
    EXPECT_EQ(loaded.accounts[1].clientSecret, "cs");
    EXPECT_EQ(loaded.accounts[1].refreshToken, "rt");
    EXPECT_EQ(loaded.accounts[1].accessToken, "");
    EXPECT_EQ(loaded.accounts[1].accessTokenExpiry, 0);
    EXPECT_EQ(loaded.googleClientSecret, "gs");
    EXPECT_EQ(loaded.railW, 210);
    EXPECT_EQ(withoutSecrets(loaded), withoutSecrets(saved));
}

TEST(SettingsSave, SecretFromAnotherUserLoadsAsEmpty)
{
    test::ScratchFolder scratch;
    AppSettings s;
    s.accounts = {PasswordAccount()};
    s.accounts[0].password = "hunter2";
    std::string document = SerializeSettings(s);
#ifndef _WIN32
    // Natively another roaming folder means another key: a true stranger.
    test::ScratchFolder::RedirectRoaming(scratch / "another-machine");
#else
    // DPAPI cannot be made a stranger here; a damaged blob stands in. Wine
    // ignores damage to much of the blob's header, so the damage goes into
    // the integrity check at its end.
    const std::size_t start = document.find("\"passwordEnc\":\"") + 15;
    const std::size_t end = document.find_last_not_of('=', document.find('"', start) - 1);
    document[end - 4] = document[end - 4] == 'A' ? 'B' : 'A';
#endif
    const std::filesystem::path path = scratch / "config.json";
    test::WriteBytes(path, document);
    AppSettings loaded;
    ASSERT_TRUE(LoadSettingsFrom(path, loaded));
    ASSERT_EQ(loaded.accounts.size(), 1u);
    EXPECT_EQ(loaded.accounts[0].password, "");
    EXPECT_EQ(loaded.accounts[0].email, "alice@example.test");
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(SettingsSave, AFailedReplaceLeavesTheOldContentWhole)
{
    test::ScratchFolder scratch;
    const std::filesystem::path folder = scratch / "data";
    std::filesystem::create_directories(folder);
    // The target cannot be replaced: it is a folder with a file in it. The
    // temporary file is written and flushed, then the replace fails.
    const std::filesystem::path path = folder / "config.json";
    std::filesystem::create_directories(path);
    test::WriteBytes(path / "inside", "old content");

    std::string error;
    EXPECT_FALSE(SaveSettingsTo(path, KnownSettings(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(test::ReadBytes(path / "inside"), "old content");
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"config.json"});
}

TEST(SettingsSave, AFailedSaveIntoAMissingFolderCreatesNothing)
{
    test::ScratchFolder scratch;
    std::string error;
    EXPECT_FALSE(SaveSettingsTo(scratch / "missing" / "config.json", KnownSettings(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));
}

TEST(SettingsSave, ASecondSaveReplacesTheFirstWhole)
{
    test::ScratchFolder scratch;
    const std::filesystem::path path = scratch / "config.json";
    AppSettings big = KnownSettings();
    big.accounts[0].displayName = std::string(5000, 'x');
    std::string error;
    ASSERT_TRUE(SaveSettingsTo(path, big, error)) << error;
    const AppSettings small;
    ASSERT_TRUE(SaveSettingsTo(path, small, error)) << error;
    EXPECT_EQ(test::ReadBytes(path), R"({"accounts":[]})");
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::string>{"config.json"});
}

TEST(SettingsFolder, IsCreatedUnderTheRoamingFolder)
{
    test::ScratchFolder scratch;
    const std::filesystem::path folder = SettingsFolder();
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(folder.filename(), "Postern");
    EXPECT_EQ(folder.parent_path().filename(), "Halvorsoft");
    EXPECT_EQ(SettingsPath(), folder / "config.json");
#ifndef _WIN32
    EXPECT_EQ(folder, scratch / "roaming" / "Halvorsoft" / "Postern");
#endif
}

#ifndef _WIN32
// Under Windows the roaming folder is the real one of the prefix; the
// parameterless calls are the same code as the explicit-path ones.
TEST(SettingsFolder, ParameterlessCallsUseTheDataFolder)
{
    test::ScratchFolder scratch;
    AppSettings saved = KnownSettings();
    saved.accounts[0].password = "pw";
    ASSERT_TRUE(SaveSettings(saved));
    EXPECT_TRUE(std::filesystem::exists(scratch / "roaming" / "Halvorsoft" / "Postern" / "config.json"));
    AppSettings loaded;
    ASSERT_TRUE(LoadSettings(loaded));
    ASSERT_EQ(loaded.accounts.size(), 2u);
    EXPECT_EQ(loaded.accounts[0].password, "pw");
}
#endif

} // namespace
} // namespace postern
