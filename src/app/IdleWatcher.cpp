#include "app/IdleWatcher.h"

#include "account/GoogleSignIn.h"
#include "mail/ImapIdle.h"
#include "mail/ImapMailbox.h"
#include "mail/ServerLogin.h"

#include <algorithm>
#include <utility>

namespace postern {

namespace {

// How often Stop repeats its Abort while the thread has not ended.
constexpr std::chrono::milliseconds kAbortRepeat{50};

} // namespace

IdleWatcher::IdleWatcher() = default;

IdleWatcher::IdleWatcher(IdleWatcherOptions options) : options_(options) {}

IdleWatcher::~IdleWatcher()
{
    Stop();
}

void IdleWatcher::Start(WatchedAccount account, Notify notify)
{
    Stop();
    account_ = std::move(account);
    notify_ = std::move(notify);
    stop_ = false;
    refreshCancel_.Reset();
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        finished_ = false;
    }
    running_ = true;
    thread_ = std::thread([this] {
        Run();
        running_ = false;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        changed_.notify_all();
    });
}

void IdleWatcher::Stop()
{
    {
        // Under the mutex, so a Wait that has just checked the flag cannot
        // miss the wake-up.
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_.exchange(true);
    }
    changed_.notify_all();
    if (!thread_.joinable())
        return;
    // One Abort is not enough: between the thread's last look at the flag
    // and the moment its next connection has a socket there is nothing to
    // abort, and that connection would then run into its time-outs. So
    // Abort again until the thread has ended.
    std::unique_lock<std::mutex> lock(mutex_);
    while (!finished_) {
        lock.unlock();
        session_.Connection().Abort();
        refreshCancel_.Cancel();
        lock.lock();
        changed_.wait_for(lock, kAbortRepeat, [this] { return finished_; });
    }
    lock.unlock();
    thread_.join();
}

bool IdleWatcher::Running() const
{
    return running_;
}

bool IdleWatcher::Stopping() const
{
    return stop_;
}

void IdleWatcher::Wait(std::chrono::milliseconds delay)
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, delay, [this] { return stop_.load(); });
}

void IdleWatcher::Backoff(std::chrono::milliseconds& delay)
{
    session_.Logout(); // a refused sign-in leaves the socket open
    Wait(delay);
    delay = std::min(delay * 2, options_.maxBackoff);
}

void IdleWatcher::Report()
{
    // Under the mutex that Stop sets the flag under: once Stop has begun, no
    // notification starts, and the owner may free what notify refers to.
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!Stopping() && notify_)
        notify_(account_.accountIndex);
}

void IdleWatcher::Run()
{
    session_.UseStream(options_.stream);
    std::chrono::milliseconds delay = options_.firstBackoff;
    while (!Stopping()) {
        ServerLogin login;
        login.host = account_.host;
        login.port = account_.port;
        login.user = account_.user;
        std::string error;
        if (account_.oauth) {
            int64_t expiresAt = 0;
            if (!RefreshAccessToken(account_.endpoints, account_.clientId, account_.clientSecret,
                                    account_.refreshToken, login.accessToken, expiresAt, error, &refreshCancel_)) {
                Backoff(delay);
                continue;
            }
        } else {
            login.password = account_.password;
        }
        if (Stopping())
            break;
        if (!session_.Open(login, error)) {
            Backoff(delay);
            continue;
        }

        // Only a CAPABILITY answer without IDLE ends the watcher; a
        // connection lost while asking is retried like any other failure,
        // or one network hiccup would end push mail until the next start.
        std::string capabilities;
        if (!session_.Capability(capabilities, error)) {
            Backoff(delay);
            continue;
        }
        // The word IDLE in the list, not the letters anywhere in it.
        if (!session_.HasCapability("IDLE")) {
            session_.Logout();
            return;
        }

        uint32_t count = 0;
        if (!Select(session_, "INBOX", count, error)) {
            Backoff(delay);
            continue;
        }
        session_.SetReceiveTimeout(options_.idleReceiveTimeoutMs);
        Report();

        bool healthy = true;
        // A connection that never got through one poll (IDLE refused at
        // once, say) counts as a failed attempt: reconnecting at the short
        // pause would log in, sweep the unread counts and reload the list
        // every second or two for as long as the server misbehaves.
        bool polled = false;
        while (healthy && !Stopping()) {
            if (!StartIdle(session_, error))
                break;
            bool activity = false;
            for (int poll = 0; poll < options_.pollsPerIdle && !Stopping(); ++poll) {
                const int result = PollIdle(session_);
                if (result == -1) {
                    healthy = false;
                    break;
                }
                polled = true;
                if (result == 1) {
                    activity = true;
                    break;
                }
            }
            if (!StopIdle(session_, error))
                break;
            if (activity)
                Report();
        }

        if (!polled) {
            Backoff(delay);
            continue;
        }
        session_.Logout();
        if (!Stopping())
            Wait(options_.reconnectPause);
        delay = options_.firstBackoff;
    }
    session_.Logout();
}

} // namespace postern
