// Fuzzes the defusing of HTML mail: a second pass must find nothing left to
// defuse (every handler, srcdoc and script URL the scanner reads in its own
// output was already renamed), and nothing but "x-" prefixes is added.
#include "ui/DefuseScripts.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    const std::string once = postern::DefuseScripts(html);
    if (postern::DefuseScripts(once) != once)
        std::abort();
    // "<script" (7 bytes) becomes "&lt;script" (10), a renamed attribute
    // gains two; at most one change per three input bytes.
    if (once.size() > size + size)
        std::abort();
    return 0;
}
