// The TlsConnection contract against real Dovecot and the scripted TLS peers
// of tests/peers (each peer cuts its TLS output at a place a client must
// cope with). Both backends must pass these unchanged.
#include "platform/TlsConnection.h"
#include "support/FixtureEnv.h"
#include "support/Waiting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace postern {
namespace {

using test::FixturePort;
using test::FixtureValue;

constexpr uint32_t kTimeoutMs = 10000;
constexpr const char* kHost = "localhost";

// Connects and shakes hands with the peer on the port named by variable.
void ConnectTls(TlsConnection& connection, const char* variable)
{
    const uint32_t port = FixturePort(variable);
    ASSERT_NE(port, 0u) << variable << " not set";
    std::string error;
    ASSERT_TRUE(connection.Connect(kHost, port, kTimeoutMs, error)) << error;
    ASSERT_TRUE(connection.Handshake(kHost, error)) << error;
    EXPECT_TRUE(connection.IsTlsActive());
}

// Receives until size bytes have come, the peer closes or an error;
// bounded by the receive time-out on every call and by the call count.
std::string ReceiveAtLeast(TlsConnection& connection, std::size_t size, int bufferSize = 16384)
{
    std::string received;
    std::string buffer(static_cast<std::size_t>(bufferSize), '\0');
    for (int calls = 0; received.size() < size && calls < 100000; ++calls) {
        std::string error;
        const int got = connection.Receive(buffer.data(), bufferSize, error);
        if (got <= 0) {
            EXPECT_EQ(got, 0) << error;
            break;
        }
        EXPECT_LE(got, bufferSize);
        received.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return received;
}

std::string ReceiveLine(TlsConnection& connection)
{
    std::string line;
    char c = 0;
    for (int calls = 0; calls < 4096; ++calls) {
        std::string error;
        if (connection.Receive(&c, 1, error) != 1)
            break;
        line.push_back(c);
        if (c == '\n')
            break;
    }
    return line;
}

TEST(TlsConnection, DovecotGreetingArrivesOverTls)
{
    POSTERN_REQUIRE_FIXTURE();
    TlsConnection connection;
    ConnectTls(connection, "POSTERN_IMAP_PORT");
    EXPECT_TRUE(connection.IsConnected());
    const std::string greeting = ReceiveLine(connection);
    EXPECT_THAT(greeting, testing::StartsWith("* OK"));
    EXPECT_NE(greeting.find("ready"), std::string::npos) << greeting;
}

// Each peer sends a known text right after the handshake; whatever way its
// records were cut into segments, the text must come out whole and in order.
struct GreetingCase {
    const char* name;
    const char* portVariable;
    std::string expected;
    bool firstReceiveHoldsAll; // the text was in one record
    bool needsTls13 = false;
};

class TlsPeerGreeting : public testing::TestWithParam<GreetingCase> {};

TEST_P(TlsPeerGreeting, DeliversTheTextInOrder)
{
    POSTERN_REQUIRE_FIXTURE();
    const GreetingCase& c = GetParam();
    TlsConnection connection;
    if (c.needsTls13) {
        // Schannel before Windows 11 (and Wine's) has no TLS 1.3 client; the
        // peer speaks nothing older, so there is nothing to test there.
        std::string error;
        ASSERT_TRUE(connection.Connect(kHost, FixturePort(c.portVariable), kTimeoutMs, error)) << error;
        if (!connection.Handshake(kHost, error)) {
#ifdef _WIN32
            if (error.find("0x80090304") != std::string::npos)
                GTEST_SKIP() << "no TLS 1.3 client on this system";
#endif
            FAIL() << error;
        }
    } else {
        ConnectTls(connection, c.portVariable);
    }
    if (c.firstReceiveHoldsAll) {
        char buffer[16384];
        std::string error;
        const int got = connection.Receive(buffer, static_cast<int>(sizeof buffer), error);
        ASSERT_GT(got, 0) << error;
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), c.expected);
    } else {
        EXPECT_EQ(ReceiveAtLeast(connection, c.expected.size()), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Peers, TlsPeerGreeting,
    testing::Values(
        // Server Finished and the greeting in one TCP segment.
        GreetingCase{"FinalFlight", "POSTERN_PEER_FINALFLIGHT_PORT", "* OK final-flight ready\r\n", true},
        // Three records in one segment.
        GreetingCase{"RecordsInOneSegment", "POSTERN_PEER_MULTI_PORT", "one\r\ntwo\r\nthree\r\n", false},
        // TLS 1.3 session tickets come first and must not disturb reading.
        GreetingCase{"Tls13TicketsFirst", "POSTERN_PEER_TICKETS_PORT", "* OK tickets ready\r\n", true, true}),
    [](const testing::TestParamInfo<GreetingCase>& info) { return info.param.name; });

void PrintTo(const GreetingCase& c, std::ostream* out)
{
    *out << c.name;
}

TEST(TlsConnection, RecordSplitAcrossSegmentsIsReassembled)
{
    POSTERN_REQUIRE_FIXTURE();
    // One record of "SPLIT xxx...\r\n", cut inside its 5-byte header and
    // again inside its body, with pauses between the pieces.
    TlsConnection connection;
    ConnectTls(connection, "POSTERN_PEER_SPLIT_PORT");
    std::string line;
    std::string buffer(16384, '\0');
    for (int calls = 0; calls < 100 && line.find('\n') == std::string::npos; ++calls) {
        std::string error;
        const int got = connection.Receive(buffer.data(), static_cast<int>(buffer.size()), error);
        ASSERT_GT(got, 0) << error;
        line.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ASSERT_GT(line.size(), 2000u);
    EXPECT_EQ(line, "SPLIT " + std::string(line.size() - 8, 'x') + "\r\n");
}

TEST(TlsConnection, SmallBufferGetsWholeRecordInOrderThenClose)
{
    POSTERN_REQUIRE_FIXTURE();
    TlsConnection connection;
    ConnectTls(connection, "POSTERN_PEER_BIG_PORT");
    std::string expected(16000, '\0');
    for (std::size_t i = 0; i < expected.size(); ++i)
        expected[i] = static_cast<char>(i % 251);
    EXPECT_EQ(ReceiveAtLeast(connection, expected.size() + 1, 100), expected);
    char byte = 0;
    std::string error;
    EXPECT_EQ(connection.Receive(&byte, 1, error), 0) << error;
}

TEST(TlsConnection, LargeSendIsEchoedInOrder)
{
    POSTERN_REQUIRE_FIXTURE();
    TlsConnection connection;
    ConnectTls(connection, "POSTERN_PEER_ECHO_PORT");
    std::string data;
    for (int line = 0; data.size() < 100 * 1024; ++line)
        data += "line " + std::to_string(line) + " " + std::string(60, static_cast<char>('a' + line % 26)) + "\r\n";
    std::string error;
    ASSERT_TRUE(connection.Send(data, error)) << error;
    EXPECT_EQ(ReceiveAtLeast(connection, data.size()), data);
    ASSERT_TRUE(connection.Send("QUIT\r\n", error)) << error;
    EXPECT_EQ(ReceiveAtLeast(connection, 7), "QUIT\r\n"); // echoed, then closed
}

TEST(TlsConnection, ReceiveTimeOutLeavesErrorAndConnectionAlone)
{
    POSTERN_REQUIRE_FIXTURE();
    TlsConnection connection;
    ConnectTls(connection, "POSTERN_PEER_SILENT_PORT");
    connection.SetReceiveTimeout(300);
    char buffer[256];
    std::string error = "untouched";
    EXPECT_EQ(connection.Receive(buffer, static_cast<int>(sizeof buffer), error), -2);
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(connection.Receive(buffer, static_cast<int>(sizeof buffer), error), -2);
    EXPECT_EQ(error, "untouched");
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_TRUE(connection.Send("still usable\r\n", error)) << error;
}

TEST(TlsConnection, PlainReceiveTimesOutToo)
{
    POSTERN_REQUIRE_FIXTURE();
    // The silent peer waits for a ClientHello, so nothing comes in plain text.
    TlsConnection connection;
    std::string error = "untouched";
    ASSERT_TRUE(connection.Connect(kHost, FixturePort("POSTERN_PEER_SILENT_PORT"), kTimeoutMs, error));
    connection.SetReceiveTimeout(300);
    char buffer[64];
    EXPECT_EQ(connection.Receive(buffer, static_cast<int>(sizeof buffer), error), -2);
    EXPECT_EQ(error, "untouched");
    EXPECT_FALSE(connection.IsTlsActive());
}

TEST(TlsConnection, AbortFromAnotherThreadEndsABlockedReceive)
{
    POSTERN_REQUIRE_FIXTURE();
    TlsConnection connection;
    ConnectTls(connection, "POSTERN_PEER_SILENT_PORT");
    connection.SetReceiveTimeout(8000);
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::atomic<int> result{1};
    std::thread reader([&] {
        char buffer[256];
        std::string error;
        started = true;
        result = connection.Receive(buffer, static_cast<int>(sizeof buffer), error);
        done = true;
    });
    while (!started)
        std::this_thread::yield();
    connection.Abort();
    EXPECT_TRUE(test::PollUntil([&] { return done.load(); })) << "Receive still blocked after Abort";
    reader.join();
    // Without the abort the read would have ended by its time-out (-2).
    EXPECT_TRUE(result == 0 || result == -1) << result;
    connection.Close();
    EXPECT_FALSE(connection.IsConnected());
}

TEST(TlsConnection, PlainBytesBeforeUpgradeNeverReachTls)
{
    POSTERN_REQUIRE_FIXTURE();
    // The peer answers STARTTLS with "220 go ahead" and an injected
    // "250 forged" in plain text. Whatever was read in plain mode stays
    // there; TLS starts with the server's first TLS byte.
    TlsConnection connection;
    std::string error;
    ASSERT_TRUE(connection.Connect(kHost, FixturePort("POSTERN_PEER_SMTP_INJECT_PORT"), kTimeoutMs, error))
        << error;
    EXPECT_EQ(ReceiveLine(connection), "220 ready\r\n");
    ASSERT_TRUE(connection.Send("STARTTLS\r\n", error)) << error;
    EXPECT_EQ(ReceiveLine(connection), "220 go ahead\r\n");
    EXPECT_EQ(ReceiveLine(connection), "250 forged\r\n");
    ASSERT_TRUE(connection.Handshake(kHost, error)) << error;
    ASSERT_TRUE(connection.Send("EHLO client\r\n", error)) << error;
    EXPECT_EQ(ReceiveLine(connection), "250-localhost\r\n");
}

TEST(TlsConnection, MultiAddressHostFallsBackToTheNextAddress)
{
    POSTERN_REQUIRE_FIXTURE();
    const std::string host = FixtureValue("POSTERN_PEER_MULTIADDR_HOST");
    if (host.empty())
        GTEST_SKIP() << "localhost does not list a refusing address first here";
    TlsConnection connection;
    std::string error;
    ASSERT_TRUE(connection.Connect(host, FixturePort("POSTERN_PEER_MULTIADDR_PORT"), kTimeoutMs, error))
        << error;
    ASSERT_TRUE(connection.Handshake(host, error)) << error;
    EXPECT_EQ(ReceiveLine(connection), "* OK multiaddr ready\r\n");
}

// Which certificates each backend accepts for which host: the chain must
// reach the test CA in time, and only subjectAltName entries name a host
// (an address only by an IP entry, never by its common name).
struct CertificateCase {
    const char* portVariable;
    const char* host; // nullptr: read POSTERN_PEER_ECHO6_HOST
    bool accepted;
};

class TlsCertificate : public testing::TestWithParam<CertificateCase> {};

TEST_P(TlsCertificate, IsAcceptedOnlyForTheHostsItNames)
{
    POSTERN_REQUIRE_FIXTURE();
    const CertificateCase& c = GetParam();
    const std::string host = c.host ? c.host : FixtureValue("POSTERN_PEER_ECHO6_HOST");
    if (host.empty())
        GTEST_SKIP() << "no IPv6 loopback address here";
    TlsConnection connection;
    std::string error;
    ASSERT_TRUE(connection.Connect(host, FixturePort(c.portVariable), kTimeoutMs, error)) << error;
    const bool accepted = connection.Handshake(host, error);
    EXPECT_EQ(accepted, c.accepted) << error;
    EXPECT_EQ(connection.IsTlsActive(), c.accepted);
    if (c.accepted)
        return;
    const std::string prefix = "TLS handshake failed 0x";
    const std::string suffix = " (certificate or protocol error)";
    ASSERT_EQ(error.size(), prefix.size() + 8 + suffix.size()) << error;
    EXPECT_EQ(error.substr(0, prefix.size()), prefix);
    EXPECT_EQ(error.substr(error.size() - suffix.size()), suffix);
    // The connection is over: nothing, a password least of all, can follow
    // in plain text.
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_FALSE(connection.Send("a1 LOGIN user secret\r\n", error));
}

INSTANTIATE_TEST_SUITE_P(
    Peers, TlsCertificate,
    testing::Values(CertificateCase{"POSTERN_BADCA_PORT", kHost, false},
                    CertificateCase{"POSTERN_EXPIRED_PORT", kHost, false},
                    CertificateCase{"POSTERN_WRONGNAME_PORT", kHost, false},
                    CertificateCase{"POSTERN_NOSAN_PORT", kHost, false},
                    CertificateCase{"POSTERN_NOSAN_PORT", "127.0.0.1", false},
                    CertificateCase{"POSTERN_PEER_ECHO_PORT", "127.0.0.1", true},
                    CertificateCase{"POSTERN_WRONGNAME_PORT", "127.0.0.1", false},
                    CertificateCase{"POSTERN_DNSONLY_PORT", "127.0.0.1", false},
                    CertificateCase{"POSTERN_DNSONLY_PORT", kHost, true},
                    CertificateCase{"POSTERN_PEER_ECHO6_PORT", nullptr, true}));

TEST(TlsConnection, HandshakeWithoutConnectionFails)
{
    TlsConnection connection;
    std::string error;
    EXPECT_FALSE(connection.Handshake(kHost, error));
    EXPECT_EQ(error, "not connected");
    EXPECT_FALSE(connection.IsConnected());
}

TEST(TlsConnection, ConnectFailuresNameHostAndPort)
{
    TlsConnection connection;
    std::string error;
    // Port 1 (tcpmux) has no listener on loopback.
    EXPECT_FALSE(connection.Connect(kHost, 1, 2000, error));
    EXPECT_EQ(error, "connect failed to localhost:1");
    EXPECT_FALSE(connection.IsConnected());
    // .invalid never resolves (RFC 6761).
    EXPECT_FALSE(connection.Connect("nonexistent.invalid", 993, 2000, error));
    EXPECT_EQ(error, "DNS lookup failed for nonexistent.invalid");
}

TEST(TlsConnection, CloseIsIdempotentAndMovesKeepTheConnection)
{
    TlsConnection never;
    never.Close();
    never.Close();
    EXPECT_FALSE(never.IsConnected());

    POSTERN_REQUIRE_FIXTURE();
    TlsConnection first;
    std::string error;
    ASSERT_TRUE(first.Connect(kHost, FixturePort("POSTERN_PEER_FINALFLIGHT_PORT"), kTimeoutMs, error));
    TlsConnection second(std::move(first));
    EXPECT_TRUE(second.IsConnected());
    ASSERT_TRUE(second.Handshake(kHost, error)) << error;
    TlsConnection third;
    third = std::move(second);
    EXPECT_TRUE(third.IsTlsActive());
    EXPECT_EQ(ReceiveLine(third), "* OK final-flight ready\r\n");
    third.Close();
    third.Close();
    EXPECT_FALSE(third.IsConnected());
    EXPECT_FALSE(third.IsTlsActive());
}

} // namespace
} // namespace postern
