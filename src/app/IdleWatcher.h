// TEMPORARY stand-in.
#pragma once
#include "account/OAuthEndpoints.h"
#include <cstdint>
#include <functional>
#include <string>
namespace postern {
struct WatchedAccount { int32_t accountIndex = 0; std::string host; uint32_t port = 0; std::string user; std::string password; bool oauth = false; std::string clientId, clientSecret, refreshToken; OAuthEndpoints endpoints; };
class IdleWatcher { public: using Notify = std::function<void(int32_t)>; void Start(WatchedAccount, Notify) {} void Stop() {} bool Running() const { return false; } };
}
