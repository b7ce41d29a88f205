// `postern-cli oauth CLIENT_ID [CLIENT_SECRET]`: runs the interactive Google
// sign-in in the default browser and reports the account and how long the
// access token lasts. Tokens are never printed: a terminal's scroll-back is
// no place for a credential.
#include "cli/Command.h"

#include "account/GoogleSignIn.h"
#include "platform/Clock.h"

#include <cstdio>

namespace postern::cli {

int RunOAuth(const Arguments& args)
{
    if (args.empty() || args.size() > 2 || args[0].empty()) {
        std::fputs("usage: postern-cli oauth CLIENT_ID [CLIENT_SECRET]\n", stderr);
        return 2;
    }
    const std::string clientSecret = args.size() > 1 ? args[1] : std::string();
    std::fputs("Complete the sign-in in your browser (3 minutes at most)...\n", stderr);
    OAuthTokens tokens;
    std::string error;
    if (!SignInInteractive(args[0], clientSecret, tokens, error)) {
        std::fprintf(stderr, "sign-in failed: %s\n", error.c_str());
        return 1;
    }
    std::printf("email: %s\n", tokens.email.empty() ? "(not reported)" : tokens.email.c_str());
    std::printf("access token expires at: %lld (in %lld s)\n", static_cast<long long>(tokens.expiresAt),
                static_cast<long long>(tokens.expiresAt - NowUnixSeconds()));
    std::printf("refresh token: %s\n", tokens.refreshToken.empty() ? "none" : "received");
    return 0;
}

} // namespace postern::cli
