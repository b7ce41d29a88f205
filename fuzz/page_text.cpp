// Fuzzes the text steps of the message page: escaping, linking, script
// defusing and inline images. Linking must only add tags: with them removed
// the escaped text comes back unchanged.
#include "compose/ReplyDrafting.h"
#include "ui/DefuseScripts.h"
#include "ui/HtmlEscape.h"
#include "ui/InlineCidImages.h"
#include "ui/Linkify.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const std::string escaped = postern::EscapeHtml(input);
    const std::string linked = postern::LinkifyText(escaped);
    if (postern::StripTags(linked) != escaped)
        std::abort();

    const std::string defused = postern::DefuseScripts(input);
    if (defused.size() < input.size())
        std::abort();

    // The first line names content IDs of parts whose data is the rest.
    const size_t lineEnd = input.find('\n');
    std::vector<postern::MimePart> parts;
    if (lineEnd != std::string_view::npos) {
        std::string_view ids = input.substr(0, lineEnd);
        for (size_t k = 0; k < 4 && !ids.empty(); ++k) {
            const size_t space = ids.find(' ');
            postern::MimePart part;
            part.contentId = std::string(ids.substr(0, space));
            part.contentType = k % 2 == 0 ? "" : "image/gif";
            part.data = std::string(input.substr(lineEnd + 1, 64));
            parts.push_back(part);
            ids = space == std::string_view::npos ? std::string_view() : ids.substr(space + 1);
        }
    }
    (void)postern::InlineCidImages(defused, parts);
    return 0;
}
