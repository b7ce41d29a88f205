// Fuzzes the message and conversation pages from raw messages: the input is
// cut into up to eight messages at lines of "=====", each parsed as mail,
// then shown as one page each and as one conversation.
#include "mail/MimeParser.h"
#include "ui/ConversationPage.h"
#include "ui/MessagePage.h"
#include "ui/PageSizeLimit.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<postern::ParsedMessage> messages;
    while (messages.size() < 8) {
        const size_t cut = input.find("\n=====\n");
        messages.push_back(postern::ParseMessage(input.substr(0, cut)));
        if (cut == std::string_view::npos)
            break;
        input.remove_prefix(cut + 7);
    }
    for (const postern::ParsedMessage& message : messages) {
        std::u16string page = postern::MessagePage(message);
        postern::LimitPageSize(page);
        if (page.size() > postern::kMaxPageUnits + 100)
            std::abort();
    }
    const std::string conversation = postern::ConversationPageUtf8(messages);
    // Every message appears exactly once, loops in its references or not.
    size_t sections = 0;
    for (size_t pos = conversation.find("<details"); pos != std::string::npos;
         pos = conversation.find("<details", pos + 1))
        ++sections;
    size_t inBodies = 0;
    for (const postern::ParsedMessage& message : messages) {
        const std::string body = postern::BodyHtml(message);
        for (size_t pos = body.find("<details"); pos != std::string::npos; pos = body.find("<details", pos + 1))
            ++inBodies;
    }
    if (sections != messages.size() + inBodies)
        std::abort();
    return 0;
}
