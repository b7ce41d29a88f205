#include "account/GoogleSignIn.h"

#include "mail/Base64.h"
#include "account/HttpsRequest.h"
#include "account/Json.h"
#include "account/LoopbackListener.h"
#include "platform/Clock.h"
#include "platform/Crypto.h"
#include "platform/Shell.h"

namespace postern {

namespace {

constexpr int64_t kExpirySafetySeconds = 60;
constexpr double kDefaultExpiresIn = 3500;
// A year: anything longer is nonsense, and clamping keeps the sum in range.
constexpr double kMaxExpiresIn = 365.0 * 24 * 3600;

bool RandomUrlText(std::size_t byteCount, std::string& text, std::string& error)
{
    std::string bytes;
    if (!RandomBytes(byteCount, bytes)) {
        error = "no random bytes from the system";
        return false;
    }
    text = Base64Url(Base64Encode(bytes));
    return true;
}

std::string HostAndPort(const std::string& host, uint16_t port)
{
    return port == 443 ? host : host + ":" + std::to_string(port);
}

} // namespace

std::string UrlEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')
            || (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' || byte == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string Base64Url(std::string_view base64)
{
    std::string out;
    out.reserve(base64.size());
    for (const char c : base64) {
        if (c == '+')
            out += '-';
        else if (c == '/')
            out += '_';
        else if (c != '=')
            out += c;
    }
    return out;
}

bool MakeCodeVerifier(std::string& verifier, std::string& error)
{
    return RandomUrlText(48, verifier, error);
}

std::string CodeChallenge(std::string_view verifier)
{
    return Base64Url(Base64Encode(Sha256(verifier)));
}

bool MakeOAuthState(std::string& state, std::string& error)
{
    return RandomUrlText(16, state, error);
}

std::string EmailFromIdToken(std::string_view idToken)
{
    const std::size_t first = idToken.find('.');
    if (first == std::string_view::npos)
        return {};
    const std::size_t second = idToken.find('.', first + 1);
    if (second == std::string_view::npos)
        return {};
    std::string payload(idToken.substr(first + 1, second - first - 1));
    for (char& c : payload) {
        if (c == '-')
            c = '+';
        else if (c == '_')
            c = '/';
    }
    while (payload.size() % 4 != 0)
        payload += '=';
    const std::string json = Base64Decode(payload);
    JsonValue claims;
    std::size_t position = 0;
    if (json.empty() || !JsonParse(json, position, claims))
        return {};
    return claims.StringMember("email", "");
}

bool RequestTokens(const OAuthEndpoints& endpoints, const std::string& formBody, OAuthTokens& tokens,
                   bool isCodeExchange, std::string& error, HttpsCancel* cancel)
{
    std::string body;
    uint32_t status = 0;
    if (!HttpsPostForm(endpoints.tokenHost, endpoints.tokenPort, endpoints.tokenPath, formBody, cancel, body,
                       status, error))
        return false;
    JsonValue answer;
    std::size_t position = 0;
    if (!JsonParse(body, position, answer) || answer.type != JsonType::Object) {
        error = "token endpoint returned malformed JSON";
        return false;
    }
    if (status != 200) {
        const std::string description = answer.StringMember("error_description", body.substr(0, 200));
        const std::string code = answer.StringMember("error", "http error");
        error = "token exchange failed: " + code + " - " + description;
        return false;
    }
    const std::string accessToken = answer.StringMember("access_token", "");
    if (accessToken.empty()) {
        error = "no access_token in response";
        return false;
    }
    const std::string refreshToken = answer.StringMember("refresh_token", "");
    if (refreshToken.empty() && isCodeExchange && tokens.refreshToken.empty()) {
        error = "Google did not return a refresh token (revoke Postern's access at " + endpoints.permissionsPage
            + " and retry)";
        return false;
    }
    tokens.accessToken = accessToken;
    if (!refreshToken.empty())
        tokens.refreshToken = refreshToken;
    const std::string idToken = answer.StringMember("id_token", "");
    if (!idToken.empty())
        tokens.email = EmailFromIdToken(idToken);
    double expiresIn = answer.NumberMember("expires_in", kDefaultExpiresIn);
    if (!(expiresIn >= 0))
        expiresIn = 0;
    if (expiresIn > kMaxExpiresIn)
        expiresIn = kMaxExpiresIn;
    tokens.expiresAt = static_cast<int64_t>(expiresIn) + NowUnixSeconds() - kExpirySafetySeconds;
    return true;
}

bool RefreshAccessToken(const std::string& clientId, const std::string& clientSecret,
                        const std::string& refreshToken, std::string& accessToken, int64_t& expiresAt,
                        std::string& error)
{
    return RefreshAccessToken(OAuthEndpoints{}, clientId, clientSecret, refreshToken, accessToken, expiresAt,
                              error);
}

bool RefreshAccessToken(const OAuthEndpoints& endpoints, const std::string& clientId,
                        const std::string& clientSecret, const std::string& refreshToken,
                        std::string& accessToken, int64_t& expiresAt, std::string& error, HttpsCancel* cancel)
{
    const std::string body = "client_id=" + UrlEncode(clientId) + "&client_secret=" + UrlEncode(clientSecret)
        + "&refresh_token=" + UrlEncode(refreshToken) + "&grant_type=refresh_token";
    OAuthTokens tokens;
    tokens.refreshToken = refreshToken;
    if (!RequestTokens(endpoints, body, tokens, false, error, cancel))
        return false;
    accessToken = tokens.accessToken;
    expiresAt = tokens.expiresAt;
    return true;
}

bool SignInInteractive(const std::string& clientId, const std::string& clientSecret, OAuthTokens& tokens,
                       std::string& error)
{
    return SignInInteractive(SignInOptions{}, clientId, clientSecret, tokens, error);
}

bool SignInInteractive(const SignInOptions& options, const std::string& clientId,
                       const std::string& clientSecret, OAuthTokens& tokens, std::string& error)
{
    LoopbackListener listener;
    if (!listener.Open(error))
        return false;
    const std::string redirectUri = listener.RedirectUri();

    std::string verifier;
    std::string state;
    if (!MakeCodeVerifier(verifier, error) || !MakeOAuthState(state, error))
        return false;

    const OAuthEndpoints& endpoints = options.endpoints;
    const std::string url = "https://" + HostAndPort(endpoints.authorizationHost, endpoints.authorizationPort)
        + endpoints.authorizationPath + "?client_id=" + UrlEncode(clientId)
        + "&redirect_uri=" + UrlEncode(redirectUri) + "&response_type=code&scope=" + UrlEncode(endpoints.scope)
        + "&code_challenge=" + CodeChallenge(verifier) + "&code_challenge_method=S256&state=" + state
        + "&access_type=offline&prompt=consent";
    std::string openError;
    const bool opened = options.openBrowser ? options.openBrowser(url, openError) : OpenUrl(url, openError);
    if (!opened) {
        error = "could not open the browser: " + openError;
        return false;
    }

    std::string code;
    if (!listener.ReceiveCode(state, options.browserWaitMs, options.redirectReadMs, code, error, options.cancelled))
        return false;

    const std::string body = "client_id=" + UrlEncode(clientId) + "&client_secret=" + UrlEncode(clientSecret)
        + "&code=" + UrlEncode(code) + "&code_verifier=" + verifier
        + "&grant_type=authorization_code&redirect_uri=" + UrlEncode(redirectUri);
    return RequestTokens(endpoints, body, tokens, true, error);
}

} // namespace postern
