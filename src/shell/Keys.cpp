#include "shell/Keys.h"

namespace postern::shell {

Key KeyOf(WPARAM virtualKey)
{
    switch (virtualKey) {
    case VK_UP:
        return Key::up;
    case VK_DOWN:
        return Key::down;
    case VK_PRIOR:
        return Key::pageUp;
    case VK_NEXT:
        return Key::pageDown;
    case VK_HOME:
        return Key::home;
    case VK_END:
        return Key::end;
    case VK_DELETE:
        return Key::del;
    case VK_F5:
        return Key::f5;
    case 'F':
        return Key::letterF;
    case 'K':
        return Key::letterK;
    case 'N':
        return Key::letterN;
    case 'R':
        return Key::letterR;
    default:
        return Key::other;
    }
}

bool BodyKeyReachesWindow(WPARAM virtualKey, bool ctrl)
{
    return ReachesWindowFromBody(KeyOf(virtualKey), ctrl);
}

} // namespace postern::shell
