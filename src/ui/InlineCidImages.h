// Inline images of HTML mail: a quoted "cid:" reference to a part of the
// message becomes a data: URI carrying that part, so the page needs no
// fetches. Unquoted references stay as they are (the browser host blocks
// them).
#pragma once

#include "mail/MimeParser.h"

#include <string>
#include <string_view>
#include <vector>

namespace postern {

[[nodiscard]] std::string InlineCidImages(std::string_view html, const std::vector<MimePart>& parts);

} // namespace postern
