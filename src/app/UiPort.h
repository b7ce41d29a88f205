// UiPort: everything the core asks of the window it runs in. The Win32 shell
// implements it with window messages and InvalidateRect; tests implement it
// with a queue their own thread drains, so the core runs without a window.
#pragma once

#include "app/ResultRecords.h"

#include <memory>

namespace postern {

class UiPort {
public:
    virtual ~UiPort() = default;

    // Any thread. Hands the record to the UI thread, which calls
    // PosternApp::HandleRecord with it. The port owns the record from here:
    // a record that can no longer be delivered (the window is gone) is freed
    // by the port, never leaked.
    virtual void Post(std::unique_ptr<ResultRecord> record) = 0;

    // UI thread. The window shows state that changed; paint it again.
    virtual void Repaint() = 0;
};

} // namespace postern
