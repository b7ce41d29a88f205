// The Google OAuth client built into this program, for the account dialog's
// "Sign in with Google". Empty unless the build was given one (the CMake
// options POSTERN_GOOGLE_CLIENT_ID and POSTERN_GOOGLE_CLIENT_SECRET, or the
// git-ignored file src/google_client/client.cmake that sets them); the dialog
// then asks the user for a client once. Never commit a real secret.
#pragma once

#include <string_view>

namespace postern {

struct BuiltInGoogleClient {
    std::string_view id;
    std::string_view secret;
};

[[nodiscard]] BuiltInGoogleClient BuiltInGoogleOAuthClient();

} // namespace postern
