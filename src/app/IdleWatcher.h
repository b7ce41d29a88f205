// IdleWatcher: one per account, a thread that keeps a second IMAP
// connection idling on the inbox (RFC 2177 IDLE) and reports activity, so
// new mail shows up without waiting for the periodic refresh. It knows
// nothing of windows: it calls back on its own thread, and the owner
// forwards that to the UI thread (the shell posts a window message).
#pragma once

#include "account/OAuthEndpoints.h"
#include "mail/ImapSession.h"
#include "platform/Https.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace postern {

// The watcher's own copy of the account: an edited account gets a new
// watcher rather than a changed one.
struct WatchedAccount {
    int32_t accountIndex = 0;
    std::string host;
    uint32_t port = 0;
    std::string user;
    std::string password; // password accounts
    bool oauth = false;   // Google accounts: sign in with a fresh access token
    std::string clientId, clientSecret, refreshToken;
    OAuthEndpoints endpoints; // Google's by default; tests point it at loopback
};

// Timing of the watcher loop. The defaults are the product's; tests shorten
// them.
struct IdleWatcherOptions {
    // Retry delay after a failed connection, sign-in, token refresh or
    // SELECT: doubles from the first value up to the second.
    std::chrono::milliseconds firstBackoff{2000};
    std::chrono::milliseconds maxBackoff{60000};
    // Pause before reconnecting after an established connection broke.
    std::chrono::milliseconds reconnectPause{1500};
    // Receive time-out while idling: one PollIdle waits at most this long.
    uint32_t idleReceiveTimeoutMs = 20000;
    // PollIdle calls per IDLE command (72 x 20 s = 24 min, inside the
    // 29 minutes after which RFC 2177 lets a server drop an idle client).
    int pollsPerIdle = 72;
    // Tests only: talk over this stream instead of connecting (a scripted
    // server). Stop cannot abort it; the stream must outlive the watcher's
    // thread.
    ByteStream* stream = nullptr;
};

class IdleWatcher {
public:
    using Notify = std::function<void(int32_t accountIndex)>;

    IdleWatcher();
    explicit IdleWatcher(IdleWatcherOptions options);
    ~IdleWatcher(); // Stop()
    IdleWatcher(const IdleWatcher&) = delete;
    IdleWatcher& operator=(const IdleWatcher&) = delete;

    // Starts the thread (stopping a running one first). notify is called on
    // the watcher thread once after every (re)connection, so the window can
    // catch up, and once per IDLE pass in which the server announced new or
    // removed messages. notify must be quick (post and return) and must not
    // call Start or Stop. A server without IDLE ends the thread: the account
    // is then refreshed only by the periodic timer.
    void Start(WatchedAccount account, Notify notify);

    // Sets the stop flag, aborts the connection so that a blocked read
    // returns at once, and joins the thread. notify is not called once Stop
    // has begun. Safe to repeat and before Start; call it from one thread.
    void Stop();

    // True from Start until the thread ended (stopped, or no IDLE).
    [[nodiscard]] bool Running() const;

private:
    void Run();
    [[nodiscard]] bool Stopping() const;
    // Sleeps up to `delay`; returns early once Stop has begun.
    void Wait(std::chrono::milliseconds delay);
    void Backoff(std::chrono::milliseconds& delay);
    void Report();

    IdleWatcherOptions options_;
    WatchedAccount account_;
    Notify notify_;

    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    // Wakes Wait when Stop begins, and Stop when the thread has ended.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = true; // guarded by mutex_

    // Used by the thread only, except for Stop's Abort of its connection,
    // which the transport allows from another thread, and Stop's cancel of
    // a token refresh under way.
    ImapSession session_;
    HttpsCancel refreshCancel_;
};

} // namespace postern
