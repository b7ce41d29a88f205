// ImapListParser: one "* LIST" response to a FolderInfo with its roles, by
// the special-use attributes (RFC 6154) or, for servers without them, by the
// usual English folder names.
#pragma once

#include "mail/FolderInfo.h"
#include "mail/ImapResponse.h"

#include <string>

namespace postern {

// False when the response is no LIST response, has no attribute list in
// parentheses, or no name: such responses are skipped.
[[nodiscard]] bool ParseListResponse(const ImapResponse& response, FolderInfo& folder);

} // namespace postern
