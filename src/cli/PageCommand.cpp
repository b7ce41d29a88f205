// `postern-cli page FILE [FILE...]`: prints the HTML page the reading pane
// would show, as UTF-8: the message page of one message file, or the
// conversation page of several (in the order given). For looking at pages in
// a browser and for checking the page builders against real mail.
#include "cli/Command.h"

#include "mail/MimeParser.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "ui/ConversationPage.h"
#include "ui/MessagePage.h"

#include <cstdio>
#include <string>
#include <vector>

namespace postern::cli {

int RunPage(const Arguments& args)
{
    if (args.empty()) {
        std::fputs("usage: postern-cli page FILE [FILE...]\n", stderr);
        return 2;
    }
    std::vector<ParsedMessage> messages;
    for (const std::string& name : args) {
        std::string raw;
        std::string error;
        if (!ReadWholeFile(PathFromUtf8(name), raw, error)) {
            std::fprintf(stderr, "page: %s: %s\n", name.c_str(), error.c_str());
            return 1;
        }
        messages.push_back(ParseMessage(raw));
    }
    const std::string page = messages.size() == 1 ? MessagePageUtf8(messages.front()) : ConversationPageUtf8(messages);
    SetStandardOutputBinary();
    if (std::fwrite(page.data(), 1, page.size(), stdout) != page.size() || std::fflush(stdout) != 0) {
        std::fputs("page: writing the page failed\n", stderr);
        return 1;
    }
    return 0;
}

} // namespace postern::cli
