// The DNS sources of autodetection: SRV records (RFC 6186) and MX hosts.
#include "account/Autodetect.h"

#include <algorithm>

namespace postern {

bool LookupSrv(const std::string& name, const DnsServer& server, std::string& host, uint32_t& port)
{
    std::vector<SrvRecord> records;
    std::string error;
    if (!QuerySrv(name, server, records, error))
        return false;
    const SrvRecord* best = nullptr;
    for (const SrvRecord& record : records) {
        if (record.target.empty() || record.target == ".")
            continue;
        if (best == nullptr || record.priority < best->priority)
            best = &record;
    }
    if (best == nullptr)
        return false;
    host = best->target;
    port = best->port;
    return true;
}

std::vector<std::string> LookupMx(const std::string& domain, const DnsServer& server)
{
    std::vector<MxRecord> records;
    std::string error;
    if (!QueryMx(domain, server, records, error))
        return {};
    std::vector<std::pair<uint16_t, std::string>> ranked;
    for (const MxRecord& record : records) {
        if (!record.exchange.empty())
            ranked.emplace_back(record.preference, record.exchange);
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<std::string> hosts;
    hosts.reserve(ranked.size());
    for (auto& entry : ranked)
        hosts.push_back(std::move(entry.second));
    return hosts;
}

} // namespace postern
