#include "account/Settings.h"

#include "ScratchFolder.h"
#include "account/SecretProtection.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace std::string_view_literals;

namespace postern {
namespace {

// Values no file would produce by accident, to see which fields a load
// leaves alone.
AppSettings Sentinels()
{
    AppSettings s;
    AccountConfig stale;
    stale.email = "stale@example.test";
    stale.imapHost = "stale.example.test";
    s.accounts.push_back(stale);
    s.windowX = 11;
    s.windowY = 12;
    s.windowW = 13;
    s.windowH = 14;
    s.maximized = true;
    s.railW = 15;
    s.listW = 16;
    s.googleClientId = "old-id";
    s.googleClientSecret = "old-secret";
    s.lastSelAccount = 17;
    s.lastSelFolder = "Old";
    s.lastSelUid = 18;
    return s;
}

class SettingsFile : public testing::Test {
protected:
    SettingsLoad Load(std::string_view document, AppSettings& settings, std::string& error)
    {
        const std::filesystem::path path = scratch / "config.json";
        test::WriteBytes(path, std::string(document));
        return LoadSettingsFile(path, settings, error);
    }

    AccountConfig LoadOneAccount(std::string_view entry)
    {
        AppSettings settings;
        std::string error;
        const std::string document = R"({"accounts":[)" + std::string(entry) + "]}";
        EXPECT_EQ(Load(document, settings, error), SettingsLoad::loaded) << entry;
        return settings.accounts.empty() ? AccountConfig() : settings.accounts.front();
    }

    test::ScratchFolder scratch;
};

TEST_F(SettingsFile, AccountFieldsAndTheirDefaults)
{
    const struct {
        std::string_view entry;
        std::string_view name, user;
        int32_t imapPort, smtpPort;
        AuthKind auth;
    } cases[] = {
        {R"({"name":"Work","email":"a@x.test","imapHost":"imap.x.test","imapPort":143,)"
         R"("smtpHost":"smtp.x.test","smtpPort":587,"user":"alice","auth":"gmail"})"sv,
         "Work", "alice", 143, 587, AuthKind::gmail},
        // No user: the address; no ports: the implicit-TLS defaults.
        {R"({"email":"a@x.test","imapHost":"h"})"sv, "", "a@x.test", 993, 465, AuthKind::password},
        // Values of the wrong type count as absent.
        {R"({"name":7,"email":"a@x.test","imapHost":"h","imapPort":"143","smtpPort":null,"user":1})"sv,
         "", "a@x.test", 993, 465, AuthKind::password},
        {R"({"email":"a@x.test","imapHost":"h","user":""})"sv, "", "", 993, 465, AuthKind::password},
        // Numbers are truncated toward zero.
        {R"({"email":"a@x.test","imapHost":"h","imapPort":993.9,"smtpPort":-1.9})"sv, "", "a@x.test",
         993, -1, AuthKind::password},
        // A number no 32-bit integer holds is as good as absent.
        {R"({"email":"a@x.test","imapHost":"h","imapPort":1e10,"smtpPort":-3e9})"sv, "", "a@x.test",
         993, 465, AuthKind::password},
        {R"({"email":"a@x.test","imapHost":"h","imapPort":2147483647,"smtpPort":-2147483648.5})"sv, "",
         "a@x.test", 2147483647, -2147483647 - 1, AuthKind::password},
        // Only the exact word selects Google sign-in.
        {R"({"email":"a@x.test","imapHost":"h","auth":"Gmail"})"sv, "", "a@x.test", 993, 465,
         AuthKind::password},
        {R"({"email":"a@x.test","imapHost":"h","auth":"gmail "})"sv, "", "a@x.test", 993, 465,
         AuthKind::password},
        {R"({"email":"a@x.test","imapHost":"h","auth":1})"sv, "", "a@x.test", 993, 465,
         AuthKind::password},
        {R"({"email":"a@x.test","imapHost":"h","auth":"password","auth":"gmail"})"sv, "", "a@x.test",
         993, 465, AuthKind::password},
    };
    for (const auto& c : cases) {
        const AccountConfig account = LoadOneAccount(c.entry);
        EXPECT_EQ(account.name, c.name) << c.entry;
        EXPECT_EQ(account.user, c.user) << c.entry;
        EXPECT_EQ(account.imapPort, c.imapPort) << c.entry;
        EXPECT_EQ(account.smtpPort, c.smtpPort) << c.entry;
        EXPECT_EQ(account.auth, c.auth) << c.entry;
    }
}

TEST_F(SettingsFile, AccountsWithoutAddressOrImapHostAreDropped)
{
    const struct {
        std::string_view accounts;
        std::size_t kept;
        SettingsLoad result;
    } cases[] = {
        {R"([{"email":"a@x.test"}])"sv, 0, SettingsLoad::noAccounts},
        {R"([{"imapHost":"h"}])"sv, 0, SettingsLoad::noAccounts},
        {R"([{"email":"","imapHost":"h"}])"sv, 0, SettingsLoad::noAccounts},
        {R"([{"email":"a@x.test","imapHost":7}])"sv, 0, SettingsLoad::noAccounts},
        {R"([5,"text",null,[],{}])"sv, 0, SettingsLoad::noAccounts},
        {R"([])"sv, 0, SettingsLoad::noAccounts},
        {R"([{"email":"a@x.test"},{"email":"b@x.test","imapHost":"h"},3])"sv, 1,
         SettingsLoad::loaded},
        {R"([{"email":"a@x.test","imapHost":"h"},{"email":"b@x.test","imapHost":"h"}])"sv, 2,
         SettingsLoad::loaded},
    };
    for (const auto& c : cases) {
        AppSettings settings = Sentinels();
        std::string error;
        EXPECT_EQ(Load(R"({"accounts":)" + std::string(c.accounts) + "}", settings, error), c.result)
            << c.accounts;
        EXPECT_EQ(settings.accounts.size(), c.kept) << c.accounts;
    }
}

TEST_F(SettingsFile, WindowAndLastSelectionReadOnlyWhenTheirObjectsExist)
{
    const struct {
        std::string_view document;
        int32_t x, y, w, h;
        bool maximized;
        int32_t railW, listW;
        int32_t lastAccount;
        std::string_view lastFolder;
        int64_t lastUid;
    } cases[] = {
        // Absent or of another type: every field keeps its value.
        {R"({"accounts":[]})"sv, 11, 12, 13, 14, true, 15, 16, 17, "Old", 18},
        {R"({"window":[1,2],"lastSel":"x"})"sv, 11, 12, 13, 14, true, 15, 16, 17, "Old", 18},
        // Present but empty: the defaults.
        {R"({"window":{},"lastSel":{}})"sv, 0, 0, 0, 0, false, 0, 0, -1, "", 0},
        {R"({"window":{"x":-5.7,"y":3,"w":800,"h":600,"maximized":true,"railW":200.4,"listW":"x"},)"
         R"("lastSel":{"a":2,"f":"INBOX/Sub","u":4294967295}})"sv,
         -5, 3, 800, 600, true, 200, 0, 2, "INBOX/Sub", 4294967295},
        {R"({"window":{"maximized":1,"w":3e9,"h":"600"},"lastSel":{"a":"1","u":1e30}})"sv, 0, 0, 0, 0,
         false, 0, 0, -1, "", 0},
        // The first of duplicate objects counts.
        {R"({"window":{"x":1},"window":{"x":2}})"sv, 1, 0, 0, 0, false, 0, 0, 17, "Old", 18},
    };
    for (const auto& c : cases) {
        AppSettings s = Sentinels();
        std::string error;
        (void)Load(c.document, s, error);
        EXPECT_EQ(s.windowX, c.x) << c.document;
        EXPECT_EQ(s.windowY, c.y) << c.document;
        EXPECT_EQ(s.windowW, c.w) << c.document;
        EXPECT_EQ(s.windowH, c.h) << c.document;
        EXPECT_EQ(s.maximized, c.maximized) << c.document;
        EXPECT_EQ(s.railW, c.railW) << c.document;
        EXPECT_EQ(s.listW, c.listW) << c.document;
        EXPECT_EQ(s.lastSelAccount, c.lastAccount) << c.document;
        EXPECT_EQ(s.lastSelFolder, c.lastFolder) << c.document;
        EXPECT_EQ(s.lastSelUid, c.lastUid) << c.document;
        // The Google client is read from every object root, absent or not.
        EXPECT_EQ(s.googleClientId, "") << c.document;
        EXPECT_EQ(s.googleClientSecret, "") << c.document;
    }
}

TEST_F(SettingsFile, BrokenFilesFailAndChangeNothingButTheAccountList)
{
    const std::string valid =
        R"({"accounts":[{"email":"a@x.test","imapHost":"h"}],"window":{"x":1,"y":2,"w":3,"h":4}})";
    const struct {
        std::string document;
        SettingsLoad result;
    } cases[] = {
        {"", SettingsLoad::malformed},
        {"   \n", SettingsLoad::malformed},
        {"\xEF\xBB\xBF" + valid, SettingsLoad::malformed},
        {valid.substr(0, valid.size() / 2), SettingsLoad::malformed},
        {valid.substr(0, valid.size() - 1), SettingsLoad::malformed},
        {std::string("\x00\x01\x02garbage", 10), SettingsLoad::malformed},
        {std::string(100000, '{'), SettingsLoad::malformed},
        {std::string(100000, '['), SettingsLoad::malformed},
    };
    for (const auto& c : cases) {
        AppSettings s = Sentinels();
        std::string error;
        EXPECT_EQ(Load(c.document, s, error), c.result) << c.document.substr(0, 40);
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(s.accounts.empty());
        EXPECT_EQ(s.windowX, 11);
        EXPECT_EQ(s.windowW, 13);
        EXPECT_EQ(s.googleClientId, "old-id");
        EXPECT_EQ(s.lastSelUid, 18);
    }
}

TEST_F(SettingsFile, ResultTellsMissingFromDamagedFromEmpty)
{
    AppSettings s = Sentinels();
    std::string error;
    EXPECT_EQ(LoadSettingsFile(scratch / "absent.json", s, error), SettingsLoad::missing);
    EXPECT_TRUE(s.accounts.empty());
    EXPECT_EQ(s.googleClientId, "old-id");
    EXPECT_FALSE(LoadSettingsFrom(scratch / "absent.json", s));

    std::filesystem::create_directories(scratch / "folder.json" / "inside");
    EXPECT_EQ(LoadSettingsFile(scratch / "folder.json", s, error), SettingsLoad::unreadable);
    EXPECT_FALSE(error.empty());

    const struct {
        std::string_view document;
        SettingsLoad result;
        bool loaded;
    } cases[] = {
        {"{}"sv, SettingsLoad::noAccounts, false},
        {R"({"accounts":{}})"sv, SettingsLoad::noAccounts, false},
        {R"({"accounts":[{"email":"a@x.test","imapHost":"h"}]} trailing text)"sv,
         SettingsLoad::loaded, true},
        {"[]"sv, SettingsLoad::malformed, false},
        {"\"config\""sv, SettingsLoad::malformed, false},
    };
    for (const auto& c : cases) {
        AppSettings settings;
        EXPECT_EQ(Load(c.document, settings, error), c.result) << c.document;
        EXPECT_EQ(LoadSettingsFrom(scratch / "config.json", settings), c.loaded) << c.document;
    }

    // A root that is not an object clears the Google client but keeps the
    // window: those are read in that order before the root is judged.
    s = Sentinels();
    EXPECT_EQ(Load("[1]", s, error), SettingsLoad::malformed);
    EXPECT_EQ(s.googleClientId, "");
    EXPECT_EQ(s.googleClientSecret, "");
    EXPECT_EQ(s.windowX, 11);
    EXPECT_EQ(s.lastSelUid, 18);
}

TEST_F(SettingsFile, ADamagedFileIsSetAsideWithItsBytesUnderAFreeName)
{
    const std::filesystem::path path = scratch / "config.json";
    std::filesystem::path moved;
    std::string error;
    for (const char* expected : {"config.json.damaged", "config.json.damaged-2", "config.json.damaged-3"}) {
        test::WriteBytes(path, std::string("{broken ") + expected);
        ASSERT_TRUE(SetAsideSettingsFile(path, moved, error)) << error;
        EXPECT_EQ(moved.filename(), expected);
        EXPECT_EQ(test::ReadBytes(moved), std::string("{broken ") + expected);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    EXPECT_FALSE(SetAsideSettingsFile(path, moved, error)); // nothing there
    EXPECT_FALSE(error.empty());
}

TEST_F(SettingsFile, SecretsComeOnlyFromTheirProtectedKeys)
{
    const std::string password = ProtectSecret("pw");
    const std::string refresh = ProtectSecret("rt");
    const std::string google = ProtectSecret("gs");
    ASSERT_FALSE(password.empty());
    const std::string document = R"({"accounts":[{"email":"a@x.test","imapHost":"h",)"
                                 R"("password":"plain","clientSecret":"plain",)"
                                 R"("passwordEnc":")" + password + R"(","clientId":"cid",)"
                                 R"("clientSecretEnc":"garbage!","refreshTokenEnc":")" + refresh +
                                 R"("}],"googleClientId":"gid","googleClientSecretEnc":")" + google +
                                 R"(","googleClientSecret":"plain"})";
    AppSettings s;
    std::string error;
    ASSERT_EQ(Load(document, s, error), SettingsLoad::loaded);
    ASSERT_EQ(s.accounts.size(), 1u);
    EXPECT_EQ(s.accounts[0].password, "pw");
    EXPECT_EQ(s.accounts[0].clientId, "cid");
    EXPECT_EQ(s.accounts[0].clientSecret, "");
    EXPECT_EQ(s.accounts[0].refreshToken, "rt");
    EXPECT_EQ(s.googleClientId, "gid");
    EXPECT_EQ(s.googleClientSecret, "gs");

    const std::string plainOnly =
        R"({"accounts":[{"email":"a@x.test","imapHost":"h","password":"plain"}]})";
    ASSERT_EQ(Load(plainOnly, s, error), SettingsLoad::loaded);
    EXPECT_EQ(s.accounts[0].password, "");
}

} // namespace
} // namespace postern
