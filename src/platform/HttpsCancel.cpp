#include "platform/Https.h"

#include <utility>

namespace postern {

void HttpsCancel::Cancel()
{
    // Called under the lock, so Detach cannot return while the request's
    // own objects are being ended.
    const std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    if (end_)
        end_();
}

bool HttpsCancel::Cancelled() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

void HttpsCancel::Reset()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = false;
    end_ = nullptr;
}

bool HttpsCancel::Attach(std::function<void()> end)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_)
        return false;
    end_ = std::move(end);
    return true;
}

void HttpsCancel::Detach()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    end_ = nullptr;
}

} // namespace postern
