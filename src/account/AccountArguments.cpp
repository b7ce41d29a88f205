#include "account/AccountArguments.h"

#include "account/AccountForm.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace postern {

namespace {

enum class Field { name, email, displayName, imapHost, imapPort, smtpHost, smtpPort, user };

struct Option {
    std::string_view flag;
    Field field;
    bool required;
};

constexpr Option kOptions[] = {
    {"--name", Field::name, true},
    {"--email", Field::email, true},
    {"--display-name", Field::displayName, false},
    {"--imap-host", Field::imapHost, true},
    {"--imap-port", Field::imapPort, false},
    {"--smtp-host", Field::smtpHost, true},
    {"--smtp-port", Field::smtpPort, false},
    {"--user", Field::user, false},
};
constexpr std::size_t kOptionCount = sizeof kOptions / sizeof kOptions[0];

bool ParsePort(std::string_view flag, const std::string& text, int32_t& port, std::string& error)
{
    const std::optional<int32_t> value = ParsePortNumber(text);
    if (!value) {
        error = std::string(flag) + " needs a port number from 1 to 65535, not \"" + text + "\"";
        return false;
    }
    port = *value;
    return true;
}

} // namespace

bool ParseAccountAddArguments(const std::vector<std::string>& args, AccountConfig& account,
                              std::string& error)
{
    account = AccountConfig();
    bool seen[kOptionCount] = {};
    bool userGiven = false;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        std::size_t which = kOptionCount;
        for (std::size_t k = 0; k < kOptionCount; ++k) {
            if (args[i] == kOptions[k].flag)
                which = k;
        }
        if (which == kOptionCount) {
            error = "unknown option \"" + args[i] + "\"";
            return false;
        }
        const Option& option = kOptions[which];
        if (seen[which]) {
            error = std::string(option.flag) + " given twice";
            return false;
        }
        seen[which] = true;
        if (i + 1 >= args.size()) {
            error = std::string(option.flag) + " needs a value";
            return false;
        }
        const std::string& value = args[i + 1];
        switch (option.field) {
        case Field::name:
            account.name = value;
            break;
        case Field::email:
            account.email = value;
            break;
        case Field::displayName:
            account.displayName = value;
            break;
        case Field::imapHost:
            account.imapHost = value;
            break;
        case Field::imapPort:
            if (!ParsePort(option.flag, value, account.imapPort, error))
                return false;
            break;
        case Field::smtpHost:
            account.smtpHost = value;
            break;
        case Field::smtpPort:
            if (!ParsePort(option.flag, value, account.smtpPort, error))
                return false;
            break;
        case Field::user:
            account.user = value;
            userGiven = true;
            break;
        }
    }
    for (std::size_t k = 0; k < kOptionCount; ++k) {
        if (kOptions[k].required && !seen[k]) {
            error = "missing " + std::string(kOptions[k].flag);
            return false;
        }
    }
    // The settings file drops an account without these, so an empty value
    // would be saved and silently lost on the next start.
    if (account.email.empty() || account.imapHost.empty()) {
        error = account.email.empty() ? "--email must not be empty" : "--imap-host must not be empty";
        return false;
    }
    if (!userGiven)
        account.user = account.email;
    return true;
}

} // namespace postern
