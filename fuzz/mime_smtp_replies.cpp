// The SMTP reply reader on arbitrary server output: the dialogue runs to an
// end (success or a clear error) without crashing or looping.
#include "mail/SmtpClient.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Hands the input out in pieces whose sizes come from the input itself.
class FuzzStream final : public postern::ByteStream {
public:
    explicit FuzzStream(std::string_view input) : input(input) {}

    bool Send(std::string_view, std::string&) override { return true; }

    int Receive(char* buffer, int capacity, std::string&) override
    {
        if (input.empty())
            return 0;
        const std::size_t want = 1 + static_cast<unsigned char>(input[0]) % 64;
        const std::size_t count =
            std::min({want, input.size(), static_cast<std::size_t>(capacity)});
        std::memcpy(buffer, input.data(), count);
        input.remove_prefix(count);
        return static_cast<int>(count);
    }

private:
    std::string_view input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzStream stream(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    postern::ServerLogin login;
    login.user = "alice";
    login.password = "secret";
    if (data[0] & 1)
        login.accessToken = "token";
    postern::SmtpClient client;
    std::string error;
    const postern::SmtpClient::StartTls startTls = [](std::string&) { return true; };
    const bool ok = client.RunDialogue(stream, (data[0] & 2) != 0, startTls, login, "a@x",
                                       {"b@x", "c@x"}, "Subject: x\r\n\r\n.body", error);
    if (!ok && error.empty())
        std::abort();
    return 0;
}
