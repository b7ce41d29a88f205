#include "account/AccountArguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

using Args = std::vector<std::string>;

const Args kRequired = {"--name", "Work", "--email", "a@x.test", "--imap-host", "imap.x.test",
                        "--smtp-host", "smtp.x.test"};

Args With(Args extra)
{
    Args args = kRequired;
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

TEST(AccountArguments, ValidOptionsFillTheAccount)
{
    const struct {
        Args args;
        std::string displayName, user;
        int32_t imapPort, smtpPort;
    } cases[] = {
        {kRequired, "", "a@x.test", 993, 465},
        {With({"--imap-port", "143", "--smtp-port", "587"}), "", "a@x.test", 143, 587},
        {With({"--user", "alice", "--display-name", "Alice A"}), "Alice A", "alice", 993, 465},
        {With({"--imap-port", "1", "--smtp-port", "65535"}), "", "a@x.test", 1, 65535},
        {With({"--imap-port", "00993"}), "", "a@x.test", 993, 465},
        {{"--smtp-host", "s", "--imap-host", "imap.x.test", "--email", "a@x.test", "--name", "Work"},
         "", "a@x.test", 993, 465},
    };
    for (const auto& c : cases) {
        AccountConfig account;
        std::string error;
        ASSERT_TRUE(ParseAccountAddArguments(c.args, account, error)) << error;
        EXPECT_EQ(account.name, "Work");
        EXPECT_EQ(account.email, "a@x.test");
        EXPECT_EQ(account.imapHost, "imap.x.test");
        EXPECT_EQ(account.displayName, c.displayName);
        EXPECT_EQ(account.user, c.user);
        EXPECT_EQ(account.imapPort, c.imapPort);
        EXPECT_EQ(account.smtpPort, c.smtpPort);
        EXPECT_EQ(account.auth, AuthKind::password);
        EXPECT_EQ(account.password, "");
    }
}

TEST(AccountArguments, InvalidOptionsFailWithAClearText)
{
    const struct {
        Args args;
        std::string error;
    } cases[] = {
        {{}, "missing --name"},
        {{"--name", "Work", "--imap-host", "h", "--smtp-host", "s"}, "missing --email"},
        {{"--name", "Work", "--email", "a@x.test", "--smtp-host", "s"}, "missing --imap-host"},
        {{"--name", "Work", "--email", "a@x.test", "--imap-host", "h"}, "missing --smtp-host"},
        {With({"--imap-port", "abc"}), "--imap-port needs a port number from 1 to 65535, not \"abc\""},
        {With({"--smtp-port", "0"}), "--smtp-port needs a port number from 1 to 65535, not \"0\""},
        {With({"--smtp-port", "65536"}), "--smtp-port needs a port number from 1 to 65535, not \"65536\""},
        {With({"--smtp-port", "-1"}), "--smtp-port needs a port number from 1 to 65535, not \"-1\""},
        {With({"--smtp-port", "99999999999"}),
         "--smtp-port needs a port number from 1 to 65535, not \"99999999999\""},
        {With({"--smtp-port", ""}), "--smtp-port needs a port number from 1 to 65535, not \"\""},
        {With({"--smtp-port", " 25"}), "--smtp-port needs a port number from 1 to 65535, not \" 25\""},
        {With({"--password", "x"}), "unknown option \"--password\""},
        {With({"extra"}), "unknown option \"extra\""},
        {With({"--user"}), "--user needs a value"},
        {With({"--name", "Again"}), "--name given twice"},
        {{"--name", "W", "--email", "", "--imap-host", "h", "--smtp-host", "s"},
         "--email must not be empty"},
        {{"--name", "W", "--email", "a@x.test", "--imap-host", "", "--smtp-host", "s"},
         "--imap-host must not be empty"},
    };
    for (const auto& c : cases) {
        AccountConfig account;
        std::string error;
        EXPECT_FALSE(ParseAccountAddArguments(c.args, account, error));
        EXPECT_EQ(error, c.error);
    }
}

} // namespace
} // namespace postern
