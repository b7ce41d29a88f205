// DNS SRV and MX queries. Results hold only answer-section records of the
// asked type, in the order the answer gave them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace postern {

struct SrvRecord {
    uint16_t priority = 0;
    uint16_t weight = 0;
    uint16_t port = 0;
    std::string target; // without a trailing dot; "." stays "."
};

struct MxRecord {
    uint16_t preference = 0;
    std::string exchange; // without a trailing dot
};

// Which server to ask. An empty address means the system's resolver; tests
// name a loopback server (the Windows backend can only use port 53).
struct DnsServer {
    std::string address;
    uint16_t port = 53;
};

// False when the query failed or the name does not exist (error text set).
[[nodiscard]] bool QuerySrv(const std::string& name, const DnsServer& server,
                            std::vector<SrvRecord>& records, std::string& error);
[[nodiscard]] bool QueryMx(const std::string& name, const DnsServer& server,
                           std::vector<MxRecord>& records, std::string& error);

} // namespace postern
