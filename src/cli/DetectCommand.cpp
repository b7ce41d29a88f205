// `postern-cli detect ADDRESS [--no-network] [--ca FILE]`: runs server
// autodetection for an address and prints what it found and where from.
// --no-network consults only the built-in provider table. The program's
// server overrides (POSTERN_AUTOCONFIG and friends) apply here too.
#include "cli/Command.h"
#include "cli/TrustOption.h"

#include "account/Autodetect.h"
#include "app/ServerOverrides.h"

#include <cstdio>
#include <cstdlib>

namespace postern::cli {

int RunDetect(const Arguments& args)
{
    std::string address;
    AutodetectSeams seams = EngineOptionsWithOverrides([](const char* name) -> std::optional<std::string> {
                                const char* value = std::getenv(name);
                                return value ? std::optional<std::string>(value) : std::nullopt;
                            }).detection;
    TrustOption trust;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--no-network") {
            seams.networkAllowed = false;
        } else if (trust.Accepts(args, i)) {
            continue;
        } else if (address.empty()) {
            address = args[i];
        } else {
            std::fprintf(stderr, "detect: unexpected argument %s\n", args[i].c_str());
            return 2;
        }
    }
    if (address.empty()) {
        std::fputs("usage: postern-cli detect ADDRESS [--no-network] [--ca FILE]\n", stderr);
        return 2;
    }
    std::string error;
    if (!trust.Apply(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    ServerSettings settings;
    if (!DetectServerSettings(seams, address, settings, error)) {
        std::fprintf(stderr, "detect: %s\n", error.c_str());
        return 1;
    }
    std::printf("imap: %s:%d\n", settings.imapHost.c_str(), static_cast<int>(settings.imapPort));
    std::printf("smtp: %s:%d\n", settings.smtpHost.c_str(), static_cast<int>(settings.smtpPort));
    std::printf("google sign-in: %s\n", settings.useGoogleSignIn ? "yes" : "no");
    std::printf("source: %s\n", settings.source.c_str());
    if (!settings.note.empty())
        std::printf("note: %s\n", settings.note.c_str());
    return 0;
}

} // namespace postern::cli
