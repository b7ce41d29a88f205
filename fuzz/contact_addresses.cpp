// Fuzzes address learning and completion: every input line is an address
// list to learn, the last line is also the completion query. Nothing learned
// may hold a space or control byte in its address.
#include "compose/ContactStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    postern::ContactStore store;
    std::string_view line;
    for (int guard = 0; guard < 256 && !input.empty(); ++guard) {
        const size_t end = input.find('\n');
        line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        store.RecordAddresses(line);
    }
    for (const postern::Contact& c : store.Snapshot()) {
        for (const char ch : c.email) {
            if (static_cast<unsigned char>(ch) <= 0x20)
                std::abort();
        }
    }
    if (store.Complete(line, 8).size() > 8)
        std::abort();
    return 0;
}
