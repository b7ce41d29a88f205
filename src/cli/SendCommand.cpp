// `postern-cli send`: builds a message the way the compose window does and
// submits it over SMTP, for scripting and for checking an account's
// outgoing server. The password comes from standard input only, so it never
// shows in a process list or a shell history.
#include "cli/Command.h"
#include "cli/TrustOption.h"

#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"
#include "mail/SmtpClient.h"
#include "platform/Console.h"
#include "platform/Files.h"

#include <cstdio>
#include <string>
#include <vector>

namespace postern::cli {

namespace {

constexpr const char* kUsage =
    "usage: postern-cli send --host H --port P --user U --from ADDRESS [--display-name NAME]\n"
    "         --to LINE [--cc LINE] [--subject S] [--text TEXT] [--html-file FILE]\n"
    "         [--attach PATH...] [--tls implicit|starttls] [--ca FILE]   password on stdin\n";

int Fail(const std::string& message)
{
    std::fprintf(stderr, "send: %s\n", message.c_str());
    return 1;
}

struct SendOptions {
    std::string host;
    std::string port;
    std::string user;
    std::string from;
    std::string displayName;
    std::string tls;
    std::string htmlFile;
    std::vector<std::string> attachments;
    OutgoingMessage message;
};

// Options with one value each; --attach takes every argument up to the
// next option and may also be repeated.
bool ParseOptions(const Arguments& args, SendOptions& options, TrustOption& trust,
                  std::string& error)
{
    struct ValueOption {
        const char* name;
        std::string* value;
    };
    const ValueOption values[] = {
        {"--host", &options.host},         {"--port", &options.port},
        {"--user", &options.user},         {"--from", &options.from},
        {"--display-name", &options.displayName},
        {"--to", &options.message.to},     {"--cc", &options.message.cc},
        {"--subject", &options.message.subject},
        {"--text", &options.message.textBody},
        {"--html-file", &options.htmlFile}, {"--tls", &options.tls},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (trust.Accepts(args, i))
            continue;
        if (args[i] == "--attach") {
            std::size_t taken = 0;
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                options.attachments.push_back(args[++i]);
                ++taken;
            }
            if (taken == 0) {
                error = "--attach needs at least one file";
                return false;
            }
            continue;
        }
        bool known = false;
        for (const ValueOption& option : values) {
            if (args[i] != option.name)
                continue;
            if (i + 1 >= args.size()) {
                error = std::string(option.name) + " needs a value";
                return false;
            }
            *option.value = args[++i];
            known = true;
            break;
        }
        if (!known) {
            error = "unknown argument " + args[i];
            return false;
        }
    }
    if (options.host.empty() || options.port.empty() || options.user.empty()
        || options.from.empty() || options.message.to.empty()) {
        error = "--host, --port, --user, --from and --to are required";
        return false;
    }
    if (!options.tls.empty() && options.tls != "implicit" && options.tls != "starttls") {
        error = "--tls must be implicit or starttls";
        return false;
    }
    return true;
}

bool LoadFiles(SendOptions& options, std::string& error)
{
    if (!options.htmlFile.empty()
        && !ReadWholeFile(PathFromUtf8(options.htmlFile), options.message.htmlBody, error)) {
        error = "--html-file: " + error;
        return false;
    }
    for (const std::string& path : options.attachments) {
        OutgoingAttachment attachment;
        const std::filesystem::path file = PathFromUtf8(path);
        if (!ReadWholeFile(file, attachment.data, error)) {
            error = "--attach: " + error;
            return false;
        }
        attachment.filename = PathToUtf8(file.filename());
        options.message.attachments.push_back(std::move(attachment));
    }
    return true;
}

} // namespace

int RunSend(const Arguments& args)
{
    SendOptions options;
    TrustOption trust;
    std::string error;
    if (!ParseOptions(args, options, trust, error)) {
        std::fprintf(stderr, "send: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    ServerLogin login;
    login.host = options.host;
    login.user = options.user;
    if (!ParsePort(options.port, login.port))
        return Fail("--port: not a port number: " + options.port);
    if (!trust.Apply(error) || !LoadFiles(options, error))
        return Fail(error);
    if (!ReadStandardInputLine(login.password))
        return Fail("no password on standard input");

    std::string message;
    std::vector<std::string> recipients;
    if (!PrepareSubmission(options.displayName, options.from, options.message, message, recipients, error))
        return Fail(error);
    SmtpClient client;
    if (!options.tls.empty())
        client.SetImplicitTls(options.tls == "implicit");
    if (!client.Submit(login, options.from, recipients, message, error))
        return Fail(error);
    const std::string line = "sent " + FindHeader(ParseHeaders(message), "message-id") + " to "
                             + std::to_string(recipients.size()) + " recipient(s), "
                             + std::to_string(message.size()) + " bytes\n";
    std::fputs(line.c_str(), stdout);
    return 0;
}

} // namespace postern::cli
