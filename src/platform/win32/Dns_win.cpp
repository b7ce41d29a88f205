// SRV and MX queries through the Windows DNS client (DnsQuery_UTF8).
#include "platform/Dns.h"

#include "platform/win32/WinsockStartup_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <windns.h>

#include <memory>

namespace postern {

namespace {

struct RecordListFree {
    void operator()(DNS_RECORDA* list) const { DnsFree(list, DnsFreeRecordList); }
};
using RecordList = std::unique_ptr<DNS_RECORDA, RecordListFree>;

// The Windows SDK declares DnsQuery_UTF8's server list as PVOID and its
// result as PDNS_RECORD, mingw-w64 as PIP4_ARRAY and PDNS_RECORDA; taking the
// types from the declaration compiles with both. The records hold UTF-8 text
// whatever the declared type.
template <typename Servers, typename Results>
DNS_STATUS CallQuery(DNS_STATUS(WINAPI* query)(PCSTR, WORD, DWORD, Servers, Results*, PVOID*),
                     const std::string& name, WORD type, IP4_ARRAY* servers, RecordList& list)
{
    Results results = nullptr;
    const DNS_STATUS status =
        query(name.c_str(), type, DNS_QUERY_STANDARD, servers, &results, nullptr);
    list.reset(reinterpret_cast<DNS_RECORDA*>(results));
    return status;
}

bool RunQuery(const std::string& name, WORD type, const DnsServer& server, RecordList& list,
              std::string& error)
{
    if (name.empty() || name.find('\0') != std::string::npos) {
        error = "DNS query failed for " + name + " (not a name)";
        return false;
    }
    IP4_ARRAY servers{};
    IP4_ARRAY* serverList = nullptr;
    if (!server.address.empty()) {
        // The server list of DnsQuery has no port, and Wine's resolver
        // honours only port 53 anyway.
        if (server.port != 53) {
            error = "DNS server port " + std::to_string(server.port) +
                    " not supported (Windows queries port 53 only)";
            return false;
        }
        IN_ADDR address{};
        if (!EnsureWinsockStarted() || InetPtonA(AF_INET, server.address.c_str(), &address) != 1) {
            error = "DNS server address is not an IPv4 address: " + server.address;
            return false;
        }
        servers.AddrCount = 1;
        servers.AddrArray[0] = address.S_un.S_addr;
        serverList = &servers;
    }
    // A name without records of the type (DNS_INFO_NO_RECORDS) fails too, as
    // it does with the C library's resolver.
    const DNS_STATUS status = CallQuery(DnsQuery_UTF8, name, type, serverList, list);
    if (status != 0) {
        error = "DNS query failed for " + name;
        return false;
    }
    return true;
}

// Resolvers that add the targets' addresses put them in the same list.
bool IsAnswerOfType(const DNS_RECORDA& record, WORD type)
{
    return record.Flags.S.Section == DnsSectionAnswer && record.wType == type;
}

// "." (the root) is how a record says that the service is not offered.
std::string HostName(const char* text)
{
    std::string name = text != nullptr ? text : "";
    if (name.empty())
        return ".";
    if (name.size() > 1 && name.back() == '.')
        name.pop_back();
    return name;
}

} // namespace

bool QuerySrv(const std::string& name, const DnsServer& server, std::vector<SrvRecord>& records,
              std::string& error)
{
    records.clear();
    RecordList list;
    if (!RunQuery(name, DNS_TYPE_SRV, server, list, error))
        return false;
    for (const DNS_RECORDA* record = list.get(); record != nullptr; record = record->pNext) {
        if (!IsAnswerOfType(*record, DNS_TYPE_SRV))
            continue;
        SrvRecord srv;
        srv.priority = record->Data.SRV.wPriority;
        srv.weight = record->Data.SRV.wWeight;
        srv.port = record->Data.SRV.wPort;
        srv.target = HostName(record->Data.SRV.pNameTarget);
        records.push_back(std::move(srv));
    }
    return true;
}

bool QueryMx(const std::string& name, const DnsServer& server, std::vector<MxRecord>& records,
             std::string& error)
{
    records.clear();
    RecordList list;
    if (!RunQuery(name, DNS_TYPE_MX, server, list, error))
        return false;
    for (const DNS_RECORDA* record = list.get(); record != nullptr; record = record->pNext) {
        if (!IsAnswerOfType(*record, DNS_TYPE_MX))
            continue;
        MxRecord mx;
        mx.preference = record->Data.MX.wPreference;
        mx.exchange = HostName(record->Data.MX.pNameExchange);
        records.push_back(std::move(mx));
    }
    return true;
}

} // namespace postern
