// Fuzzes the IMAP response reader and the parsers that read its output (LIST
// lines, header summaries, modified UTF-7 names). The first byte picks how
// the input is cut into arrival pieces, so splits are fuzzed too.
#include "mail/FolderInfo.h"
#include "mail/ImapListParser.h"
#include "mail/ImapResponseReader.h"
#include "mail/ImapSummaryParser.h"
#include "mail/MessageHeader.h"
#include "mail/ModifiedUtf7.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t piece = 1 + data[0] % 64;
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

    postern::ImapResponseReader reader;
    size_t at = 0;
    for (int guard = 0; guard < 1 << 20; ++guard) {
        postern::ImapResponse response;
        std::string error;
        const auto result = reader.NextResponse(response, error);
        if (result == postern::ImapResponseReader::Result::Failed) {
            if (error.empty())
                __builtin_trap();
            break;
        }
        if (result == postern::ImapResponseReader::Result::NeedMore) {
            if (at >= input.size())
                break;
            const size_t n = piece < input.size() - at ? piece : input.size() - at;
            reader.Append(input.substr(at, n));
            at += n;
            continue;
        }
        postern::FolderInfo folder;
        if (postern::ParseListResponse(response, folder)) {
            std::u16string shown = postern::MailboxDisplayName(folder.name);
            std::string back;
            std::string utf8Error;
            (void)postern::EncodeModifiedUtf7(folder.name, back, utf8Error);
            (void)shown;
        }
        postern::MessageHeader header;
        if (postern::ParseSummaryResponse(response, header) && header.uid == 0)
            __builtin_trap();
    }
    return 0;
}
