// SRV and MX queries against tests/platform/dns_peer.py. Natively the query
// goes to 127.0.0.1:$POSTERN_DNS_PORT. The Windows DNS API can only ask the
// system's resolver on port 53, so under Wine these run only inside a
// network namespace whose resolv.conf names the test server on port 53.
#include "platform/Dns.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

namespace postern {
namespace {

DnsServer TestServer()
{
    return DnsServer{"127.0.0.1", static_cast<uint16_t>(test::FixturePort("POSTERN_DNS_PORT"))};
}

TEST(Dns, SrvRecordsComeInAnswerOrderWithoutAdditionalRecords)
{
    POSTERN_REQUIRE_DNS_PEER();
    std::vector<SrvRecord> records;
    std::string error;
    ASSERT_TRUE(QuerySrv("_imaps._tcp.example.test", TestServer(), records, error)) << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].priority, 10);
    EXPECT_EQ(records[0].weight, 5);
    EXPECT_EQ(records[0].port, 993);
    EXPECT_EQ(records[0].target, "imap-backup.example.test");
    EXPECT_EQ(records[1].priority, 0);
    EXPECT_EQ(records[1].weight, 1);
    EXPECT_EQ(records[1].port, 993);
    EXPECT_EQ(records[1].target, "imap.example.test");
}

TEST(Dns, RootTargetStaysADot)
{
    POSTERN_REQUIRE_DNS_PEER();
    std::vector<SrvRecord> records;
    std::string error;
    ASSERT_TRUE(QuerySrv("_submissions._tcp.example.test", TestServer(), records, error)) << error;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].target, ".");
    EXPECT_EQ(records[0].port, 0);
}

TEST(Dns, MxRecordsKeepDuplicatePreferencesAndOrder)
{
    POSTERN_REQUIRE_DNS_PEER();
    std::vector<MxRecord> records;
    std::string error;
    ASSERT_TRUE(QueryMx("EXAMPLE.test", TestServer(), records, error)) << error;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].preference, 20);
    EXPECT_EQ(records[0].exchange, "mx2.example.test");
    EXPECT_EQ(records[1].preference, 10);
    EXPECT_EQ(records[1].exchange, "mx1.example.test");
    EXPECT_EQ(records[2].preference, 10);
    EXPECT_EQ(records[2].exchange, "mx0.example.test");
}

TEST(Dns, UnknownNameFailsWithText)
{
    POSTERN_REQUIRE_DNS_PEER();
    std::vector<MxRecord> mx{MxRecord{1, "kept"}};
    std::string error;
    EXPECT_FALSE(QueryMx("nothing-here.example.test", TestServer(), mx, error));
    EXPECT_EQ(error, "DNS query failed for nothing-here.example.test");
    std::vector<SrvRecord> srv;
    EXPECT_FALSE(QuerySrv("_imaps._tcp.nothing-here.example.test", TestServer(), srv, error));
    EXPECT_EQ(error, "DNS query failed for _imaps._tcp.nothing-here.example.test");
}

} // namespace
} // namespace postern
