// AccountSetupTasks: what the account dialog waits for on the network, run
// off the UI thread. Detecting an address's servers and the interactive
// Google sign-in each run on a short-lived thread of their own and end in
// one typed record for the dialog that asked (DetectionResultRecord,
// SignInResultRecord), delivered through the UI port, which drops it when
// that dialog has closed. The dialog stays responsive and can be closed at
// any time; closing it cancels what it started.
#pragma once

#include "account/Autodetect.h"
#include "account/GoogleSignIn.h"

#include "app/UiPort.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace postern {

class AccountSetupTasks {
public:
    // The defaults are the real world; tests point them at loopback servers.
    explicit AccountSetupTasks(UiPort& port, AutodetectSeams detection = {}, SignInOptions signIn = {});
    // Cancels every task and waits for its thread: a sign-in waiting for the
    // browser ends within kCancelPollMs; a detection, or a sign-in already
    // exchanging its code, after the network step it is in (bounded by that
    // step's time-out).
    ~AccountSetupTasks();
    AccountSetupTasks(const AccountSetupTasks&) = delete;
    AccountSetupTasks& operator=(const AccountSetupTasks&) = delete;

    // UI thread. Each posts exactly one record to dialog, unless cancelled.
    void StartDetection(uint64_t dialog, std::string address);
    void StartSignIn(uint64_t dialog, std::string clientId, std::string clientSecret);

    // UI thread. The dialog has closed: its tasks stop as soon as they can
    // and what they still produce is freed, not delivered.
    void Cancel(uint64_t dialog);

    // UI thread. Tasks whose thread is still running (finished ones are
    // reaped here).
    [[nodiscard]] size_t Running();

private:
    struct Task {
        uint64_t dialog = 0;
        std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
        std::shared_ptr<std::atomic<bool>> finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread;
    };
    using Work = std::function<std::unique_ptr<ResultRecord>(const std::atomic<bool>& cancelled)>;

    void Start(uint64_t dialog, Work work);
    void ReapFinished();

    UiPort& port_;
    const AutodetectSeams detection_;
    const SignInOptions signIn_;
    std::vector<Task> tasks_; // UI thread only
};

} // namespace postern
