// PerformHttps against tests/platform/https_peer.py (a real HTTP/1.1 server
// with the fixture's test-CA certificate), started beside the fixture with
// its port in POSTERN_HTTPS_PORT.
#include "platform/Https.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace postern {
namespace {

constexpr const char* kFailure = "HTTPS request failed (network or TLS error)";

HttpsExchange Request(const std::string& verb, const std::string& path)
{
    HttpsExchange exchange;
    exchange.verb = verb;
    exchange.host = "localhost";
    exchange.port = static_cast<uint16_t>(test::FixturePort("POSTERN_HTTPS_PORT"));
    exchange.path = path;
    return exchange;
}

#define POSTERN_REQUIRE_HTTPS_PEER()                                                  \
    do {                                                                              \
        POSTERN_REQUIRE_FIXTURE();                                                    \
        POSTERN_REQUIRE_PORT("POSTERN_HTTPS_PORT", "tests/platform/https_peer.py");   \
    } while (0)

struct ResponseCase {
    const char* name;
    const char* verb;
    const char* path;
    const char* contentType;
    std::string body;
    uint32_t status;
    std::string expected;
};

void PrintTo(const ResponseCase& c, std::ostream* out)
{
    *out << c.name;
}

class HttpsResponse : public testing::TestWithParam<ResponseCase> {};

TEST_P(HttpsResponse, StatusAndBodyArrive)
{
    POSTERN_REQUIRE_HTTPS_PEER();
    const ResponseCase& c = GetParam();
    HttpsExchange exchange = Request(c.verb, c.path);
    exchange.contentType = c.contentType;
    exchange.body = c.body;
    std::string body = "stale";
    uint32_t status = 0;
    std::string error;
    ASSERT_TRUE(PerformHttps(exchange, body, status, error)) << error;
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(body, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Peer, HttpsResponse,
    testing::Values(
        ResponseCase{"Get", "GET", "/ok", "", "", 200, "hello"},
        ResponseCase{"FormPost", "POST", "/echo", "application/x-www-form-urlencoded",
                     "grant_type=refresh_token&code=a%2Bb", 200,
                     "application/x-www-form-urlencoded|grant_type=refresh_token&code=a%2Bb"},
        // No Content-Type header at all when none is set.
        ResponseCase{"PostWithoutType", "POST", "/echo", "", "x", 200, "|x"},
        ResponseCase{"Chunked", "GET", "/chunked", "", "", 200, "first piece, second; and the end"},
        ResponseCase{"EndsAtClose", "GET", "/unframed", "", "", 200, "until the end"},
        // An error status is still a response.
        ResponseCase{"NotFound", "GET", "/missing", "", "", 404, "no such page"}),
    [](const testing::TestParamInfo<ResponseCase>& info) { return info.param.name; });

TEST(Https, LargeBodyArrivesWhole)
{
    POSTERN_REQUIRE_HTTPS_PEER();
    std::string body;
    uint32_t status = 0;
    std::string error;
    ASSERT_TRUE(PerformHttps(Request("GET", "/big"), body, status, error)) << error;
    EXPECT_EQ(status, 200u);
    ASSERT_EQ(body.size(), 1000000u);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < body.size(); ++i)
        wrong += static_cast<unsigned char>(body[i]) != i % 251 ? 1 : 0;
    EXPECT_EQ(wrong, 0u);
}

TEST(Https, MalformedResponsesFailCleanly)
{
    POSTERN_REQUIRE_HTTPS_PEER();
    for (const char* path : {"/bad-chunk", "/huge-header"}) {
        std::string body;
        uint32_t status = 0;
        std::string error;
        const bool answered = PerformHttps(Request("GET", path), body, status, error);
#ifdef _WIN32
        // WinHTTP parses responses itself, and Wine's accepts both of these.
        if (answered) {
            EXPECT_EQ(status, 200u) << path;
            continue;
        }
#endif
        EXPECT_FALSE(answered) << path;
        EXPECT_EQ(error, kFailure) << path;
    }
}

TEST(Https, CertificateFailuresStopTheRequest)
{
    POSTERN_REQUIRE_FIXTURE();
    // The no-SAN peer answers any request with 200: only the certificate
    // check (subjectAltName entries, never the common name) can stop it.
    for (const char* peer : {"POSTERN_BADCA_PORT", "POSTERN_NOSAN_PORT"}) {
        HttpsExchange exchange = Request("POST", "/token");
        exchange.body = "refresh_token=secret";
        exchange.port = static_cast<uint16_t>(test::FixturePort(peer));
        std::string body;
        uint32_t status = 0;
        std::string error;
        EXPECT_FALSE(PerformHttps(exchange, body, status, error)) << peer << ": " << status;
        EXPECT_EQ(error, kFailure) << peer;
    }
}

TEST(Https, TimeOutFailsCleanly)
{
    POSTERN_REQUIRE_HTTPS_PEER();
    HttpsExchange exchange = Request("GET", "/slow");
    exchange.timeoutMs = 500; // the server answers after 3 s
    std::string body;
    uint32_t status = 0;
    std::string error;
    EXPECT_FALSE(PerformHttps(exchange, body, status, error));
    EXPECT_EQ(error, kFailure);
}

TEST(Https, NothingListeningFails)
{
    HttpsExchange exchange = Request("GET", "/ok");
    exchange.port = 1;
    exchange.timeoutMs = 2000;
    std::string body;
    uint32_t status = 0;
    std::string error;
    EXPECT_FALSE(PerformHttps(exchange, body, status, error));
    EXPECT_EQ(error, kFailure);
}

} // namespace
} // namespace postern
