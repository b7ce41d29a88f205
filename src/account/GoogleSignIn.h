// Google sign-in: the interactive authorization code flow with PKCE and a
// loopback redirect, the code exchange, and the later refresh of the access
// token. The client id and secret come from the caller.
#pragma once

#include "account/OAuthEndpoints.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace postern {

class HttpsCancel;

struct OAuthTokens {
    std::string accessToken;
    std::string refreshToken; // the caller stores it protected
    std::string email;        // from the ID token; empty when not reported
    int64_t expiresAt = 0;    // Unix seconds; 60 s before the stated expiry
};

// Letters, digits and "-._~" pass; every other byte becomes "%XX".
[[nodiscard]] std::string UrlEncode(std::string_view text);

// Standard Base64 to its URL-safe form without padding.
[[nodiscard]] std::string Base64Url(std::string_view base64);

// 48 random bytes as 64 URL-safe characters (RFC 7636 code verifier).
[[nodiscard]] bool MakeCodeVerifier(std::string& verifier, std::string& error);

// Base64Url(SHA-256(verifier)): the S256 code challenge, 43 characters.
[[nodiscard]] std::string CodeChallenge(std::string_view verifier);

// 16 random bytes as 22 URL-safe characters.
[[nodiscard]] bool MakeOAuthState(std::string& state, std::string& error);

// The "email" claim of an ID token (signature not checked: the token came
// over the authenticated connection to the token endpoint); empty when the
// token cannot be read.
[[nodiscard]] std::string EmailFromIdToken(std::string_view idToken);

// Posts formBody to the token endpoint and reads the answer into tokens;
// fields the answer does not carry keep their values. `cancel` (may be null)
// ends the request from another thread.
[[nodiscard]] bool RequestTokens(const OAuthEndpoints& endpoints, const std::string& formBody,
                                 OAuthTokens& tokens, bool isCodeExchange, std::string& error,
                                 HttpsCancel* cancel = nullptr);

[[nodiscard]] bool RefreshAccessToken(const std::string& clientId, const std::string& clientSecret,
                                      const std::string& refreshToken, std::string& accessToken,
                                      int64_t& expiresAt, std::string& error);
[[nodiscard]] bool RefreshAccessToken(const OAuthEndpoints& endpoints, const std::string& clientId,
                                      const std::string& clientSecret, const std::string& refreshToken,
                                      std::string& accessToken, int64_t& expiresAt, std::string& error,
                                      HttpsCancel* cancel = nullptr);

// Opens a URL in the user's browser; false with an error text on failure.
using BrowserOpener = std::function<bool(const std::string& url, std::string& error)>;

struct SignInOptions {
    OAuthEndpoints endpoints;
    BrowserOpener openBrowser;        // empty: the system's default browser
    uint32_t browserWaitMs = 180000;  // for the user to get through consent
    uint32_t redirectReadMs = 10000;  // for the redirect request, once connected
    // Asked while waiting for the browser; true gives up at once with
    // "sign-in cancelled" (the window that asked has closed). Empty: never.
    std::function<bool()> cancelled;
};

// Blocks up to browserWaitMs plus the token request's time-outs.
[[nodiscard]] bool SignInInteractive(const std::string& clientId, const std::string& clientSecret,
                                     OAuthTokens& tokens, std::string& error);
[[nodiscard]] bool SignInInteractive(const SignInOptions& options, const std::string& clientId,
                                     const std::string& clientSecret, OAuthTokens& tokens,
                                     std::string& error);

} // namespace postern
