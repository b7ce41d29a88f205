// Where the account dialog's controls go and what they say, in pixels at
// 96 DPI (the window scales them to its monitor). Which rows exist depends
// on two things: adding or editing (the Google sign-in button is only for a
// new account), and whether a Google client is remembered (then the client
// fields and the one-time setup steps are not shown).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace postern {

namespace account_control {
inline constexpr int label = 201;
inline constexpr int email = 202;
inline constexpr int displayName = 203;
inline constexpr int user = 204;
inline constexpr int imapHost = 205;
inline constexpr int imapPort = 206;
inline constexpr int smtpHost = 207;
inline constexpr int smtpPort = 208;
inline constexpr int passwordRadio = 209;
inline constexpr int googleRadio = 210;
inline constexpr int password = 211;
inline constexpr int clientId = 212;
inline constexpr int clientSecret = 213;
inline constexpr int gmailPreset = 214;
inline constexpr int save = 215;
inline constexpr int cancel = 216;
inline constexpr int status = 217;
inline constexpr int detect = 218;
inline constexpr int info = 219;
inline constexpr int googleConsole = 220;
inline constexpr int googleSignIn = 221;
inline constexpr int none = -1; // the field names
} // namespace account_control

inline constexpr int kAccountDialogWidth = 620;
inline constexpr int kAccountDialogHeight = 650;

struct DialogControl {
    enum class Kind {
        caption, // a field's name
        edit,    // single line
        number,  // an edit that takes digits only
        secret,  // an edit that shows no characters
        radio,   // `first`: the first of its group
        button,  // drawn by the program
        text,    // information text, no prefix processing
        status,  // the status line
    };
    int id = account_control::none;
    Kind kind = Kind::caption;
    std::u16string_view text;
    int x = 0, y = 0, width = 0, height = 0;
    bool first = false;  // radio: starts a group
    bool accent = false; // button: filled in the accent colour, semibold
};

[[nodiscard]] std::vector<DialogControl> AccountDialogControls(bool adding, bool clientFields);

// The window's title.
[[nodiscard]] std::u16string_view AccountDialogTitle(bool adding);

} // namespace postern
