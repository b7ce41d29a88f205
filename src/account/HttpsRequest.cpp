#include "account/HttpsRequest.h"

#include "platform/Https.h"

namespace postern {

bool HttpsRequest(const std::string& verb, const std::string& host, uint16_t port, const std::string& path,
                  const std::string& body, const std::string& contentType, HttpsCancel* cancel,
                  std::string& responseBody, uint32_t& status, std::string& error)
{
    HttpsExchange exchange;
    exchange.verb = verb;
    exchange.host = host;
    exchange.port = port;
    exchange.path = path;
    exchange.body = body;
    exchange.contentType = contentType;
    exchange.timeoutMs = kHttpsTimeoutMs;
    exchange.cancel = cancel;
    responseBody.clear();
    status = 0;
    return PerformHttps(exchange, responseBody, status, error);
}

bool HttpsPostForm(const std::string& host, uint16_t port, const std::string& path, const std::string& body,
                   HttpsCancel* cancel, std::string& responseBody, uint32_t& status, std::string& error)
{
    return HttpsRequest("POST", host, port, path, body, "application/x-www-form-urlencoded", cancel,
                        responseBody, status, error);
}

bool HttpsGet(const std::string& host, uint16_t port, const std::string& path, std::string& responseBody,
              uint32_t& status, std::string& error)
{
    return HttpsRequest("GET", host, port, path, "", "", nullptr, responseBody, status, error);
}

} // namespace postern
