// DNS SRV and MX queries through libresolv with a private resolver state, so
// a test can point one query at its own server without touching the
// process's or the machine's configuration.
#include "platform/Dns.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <cstring>
#include <functional>

namespace postern {

namespace {

// The largest DNS message (a TCP answer can reach 64 KiB).
constexpr int kAnswerCapacity = 65535;

class ResolverState {
public:
    ResolverState() { std::memset(&state, 0, sizeof state); }
    ~ResolverState()
    {
        if (initialised)
            res_nclose(&state);
    }
    ResolverState(const ResolverState&) = delete;
    ResolverState& operator=(const ResolverState&) = delete;

    bool Init()
    {
        initialised = res_ninit(&state) == 0;
        return initialised;
    }

    res_state Get() { return &state; }

private:
    struct __res_state state; // "struct": a function of the same name hides the type
    bool initialised = false;
};

std::string CleanName(const char* expanded)
{
    std::string name = expanded;
    if (name.empty())
        return ".";
    if (name.size() > 1 && name.back() == '.')
        name.pop_back();
    return name;
}

// Runs the query and calls onRecord for each answer record of the type.
bool RunQuery(const std::string& name, const DnsServer& server, ns_type type,
              const std::function<bool(const ns_msg&, const ns_rr&)>& onRecord)
{
    if (name.empty() || name.find('\0') != std::string::npos)
        return false;

    ResolverState resolver;
    if (!resolver.Init())
        return false;
    res_state state = resolver.Get();
    if (!server.address.empty()) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.port);
        if (inet_pton(AF_INET, server.address.c_str(), &address.sin_addr) != 1)
            return false;
        state->nsaddr_list[0] = address;
        state->nscount = 1;
        // A named server is a local one: fail fast when it does not answer.
        state->retrans = 2;
        state->retry = 2;
    }

    std::string answer(kAnswerCapacity, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(answer.data());
    int length = res_nquery(state, name.c_str(), ns_c_in, type, bytes, kAnswerCapacity);
    if (length < 0)
        return false;
    if (length > kAnswerCapacity)
        length = kAnswerCapacity; // res_nquery reports the size it would have needed

    ns_msg message;
    if (ns_initparse(bytes, length, &message) < 0)
        return false;
    const int count = ns_msg_count(message, ns_s_an);
    for (int i = 0; i < count; ++i) {
        ns_rr record;
        if (ns_parserr(&message, ns_s_an, i, &record) < 0)
            return false;
        if (ns_rr_type(record) != type || ns_rr_class(record) != ns_c_in)
            continue;
        if (!onRecord(message, record))
            return false;
    }
    return true;
}

bool ExpandName(const ns_msg& message, const unsigned char* at, std::string& name)
{
    char expanded[NS_MAXDNAME];
    if (dn_expand(ns_msg_base(message), ns_msg_end(message), at, expanded, sizeof expanded) < 0)
        return false;
    name = CleanName(expanded);
    return true;
}

} // namespace

bool QuerySrv(const std::string& name, const DnsServer& server, std::vector<SrvRecord>& records,
              std::string& error)
{
    std::vector<SrvRecord> found;
    const bool ok = RunQuery(
        name, server, ns_t_srv,
        [&found](const ns_msg& message, const ns_rr& record) {
            const unsigned char* data = ns_rr_rdata(record);
            if (ns_rr_rdlen(record) < 7)
                return false;
            SrvRecord srv;
            srv.priority = static_cast<uint16_t>(ns_get16(data));
            srv.weight = static_cast<uint16_t>(ns_get16(data + 2));
            srv.port = static_cast<uint16_t>(ns_get16(data + 4));
            if (!ExpandName(message, data + 6, srv.target))
                return false;
            found.push_back(std::move(srv));
            return true;
        });
    if (!ok) {
        error = "DNS query failed for " + name;
        return false;
    }
    records = std::move(found);
    return true;
}

bool QueryMx(const std::string& name, const DnsServer& server, std::vector<MxRecord>& records,
             std::string& error)
{
    std::vector<MxRecord> found;
    const bool ok = RunQuery(
        name, server, ns_t_mx,
        [&found](const ns_msg& message, const ns_rr& record) {
            const unsigned char* data = ns_rr_rdata(record);
            if (ns_rr_rdlen(record) < 3)
                return false;
            MxRecord mx;
            mx.preference = static_cast<uint16_t>(ns_get16(data));
            if (!ExpandName(message, data + 2, mx.exchange))
                return false;
            found.push_back(std::move(mx));
            return true;
        });
    if (!ok) {
        error = "DNS query failed for " + name;
        return false;
    }
    records = std::move(found);
    return true;
}

} // namespace postern
