// `postern-cli account add|list`: sets up and shows the accounts of the
// settings file the program itself reads, so scripts can prepare a machine
// without the account dialog. Secrets go in through standard input only and
// never come out.
#include "cli/Command.h"

#include "account/AccountArguments.h"
#include "account/Settings.h"
#include "platform/Console.h"

#include <cstdio>
#include <string>

namespace postern::cli {

namespace {

constexpr const char* kUsage =
    "usage: postern-cli account add --name N --email E [--display-name D] --imap-host H\n"
    "                               [--imap-port 993] --smtp-host H [--smtp-port 465] [--user U]\n"
    "           (the password is read as one line from standard input; none when it is empty)\n"
    "       postern-cli account list\n";

int Usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

// Loads the file for a change; false when it exists but cannot be
// understood, because writing it back would throw away what is in it.
bool LoadForUpdate(const std::filesystem::path& path, AppSettings& settings)
{
    std::string error;
    switch (LoadSettingsFile(path, settings, error)) {
    case SettingsLoad::missing:
    case SettingsLoad::noAccounts:
    case SettingsLoad::loaded:
        return true;
    case SettingsLoad::unreadable:
    case SettingsLoad::malformed:
        break;
    }
    std::fprintf(stderr, "postern-cli account add: %s; the file was left as it is\n",
                 error.c_str());
    return false;
}

int Add(const Arguments& args)
{
    AccountConfig account;
    std::string error;
    if (!ParseAccountAddArguments(Arguments(args.begin() + 1, args.end()), account, error)) {
        std::fprintf(stderr, "postern-cli account add: %s\n", error.c_str());
        return Usage();
    }
    std::string password;
    if (ReadStandardInputLine(password))
        account.password = password;

    const std::filesystem::path path = SettingsPath();
    AppSettings settings;
    if (!LoadForUpdate(path, settings))
        return 1;
    settings.accounts.push_back(account);
    if (!SaveSettingsTo(path, settings, error)) {
        std::fprintf(stderr, "postern-cli account add: cannot save the settings: %s\n",
                     error.c_str());
        return 1;
    }
    std::printf("added account %zu: %s <%s>\n", settings.accounts.size() - 1, account.name.c_str(),
                account.email.c_str());
    return 0;
}

int List(const Arguments& args)
{
    if (args.size() != 1)
        return Usage();
    AppSettings settings;
    std::string error;
    switch (LoadSettingsFile(SettingsPath(), settings, error)) {
    case SettingsLoad::unreadable:
    case SettingsLoad::malformed:
        std::fprintf(stderr, "postern-cli account list: %s\n", error.c_str());
        return 1;
    case SettingsLoad::missing:
    case SettingsLoad::noAccounts:
    case SettingsLoad::loaded:
        break;
    }
    for (std::size_t i = 0; i < settings.accounts.size(); ++i) {
        const AccountConfig& a = settings.accounts[i];
        std::printf("%zu: %s <%s>, imap %s:%d, smtp %s:%d, user %s, auth %s, password: %s\n", i,
                    a.name.c_str(), a.email.c_str(), a.imapHost.c_str(), static_cast<int>(a.imapPort),
                    a.smtpHost.c_str(), static_cast<int>(a.smtpPort), a.user.c_str(),
                    a.auth == AuthKind::gmail ? "gmail" : "password",
                    a.password.empty() ? "none" : "stored");
    }
    return 0;
}

} // namespace

int RunAccount(const Arguments& args)
{
    if (args.empty())
        return Usage();
    if (args[0] == "add")
        return Add(args);
    if (args[0] == "list")
        return List(args);
    return Usage();
}

} // namespace postern::cli
