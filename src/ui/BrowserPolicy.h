// What the reading pane's browser may load and where its links go. A
// received message is written by a stranger: only what the program itself
// shows, and passive content (images, style sheets, fonts, media), may load;
// a link leaves for the user's browser or mail program only when the user
// clicked it, never because the page navigated by itself.
#pragma once

#include <string_view>

namespace postern {

// The kinds of request a page makes, as the browser reports them.
enum class ResourceKind {
    document,
    stylesheet,
    image,
    media,
    font,
    script,
    request, // XHR, fetch, event sources, sockets
    other,
};

// Whether a request of this kind for this URI may go ahead; the rest are
// answered "403 Blocked".
[[nodiscard]] bool ResourceAllowed(std::string_view uri, ResourceKind kind);

enum class LinkAction {
    proceed,     // the program's own page loads
    block,       // nothing happens
    openOutside, // cancelled here, handed to the system's handler
};

// A navigation of the page itself. `programPage`: the navigation that the
// program's own page load starts. `userInitiated`: the user clicked.
[[nodiscard]] LinkAction NavigationAction(std::string_view uri, bool userInitiated, bool programPage);

// A request for a new window (a link with a target); no window ever opens.
[[nodiscard]] LinkAction NewWindowAction(std::string_view uri, bool userInitiated);

} // namespace postern
