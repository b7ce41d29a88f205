// The send job: a compose window hands over a message; the worker builds it,
// submits it, files a copy in the sent folder and flags the message it
// answers, then tells the compose window how it went.
#include "app/PosternApp.h"

#include "app/AccountLogin.h"

#include "compose/ContactStore.h"
#include "mail/ImapMailbox.h"
#include "mail/MessageBuilder.h"
#include "mail/SmtpClient.h"
#include "platform/Charset.h"

namespace postern {

void PosternApp::QueueSend(SendRequestRecord& request)
{
    auto job = std::make_shared<SendRequestRecord>();
    job->composeWindow = request.composeWindow;
    job->request = std::move(request.request);
    jobs_.EnqueueNormal([this, job] { RunSendJob(*job); });
}

void PosternApp::RunSendJob(SendRequestRecord& request)
{
    auto answer = [this, &request](bool ok, const std::string& error) {
        auto result = std::make_unique<SendResult>();
        result->ok = ok;
        result->error = Utf8ToUtf16(error);
        if (ui_)
            ui_->PostSendResult(request.composeWindow, std::move(result));
    };
    const SendRequest& send = request.request;
    if (send.accountIndex < 0 || static_cast<size_t>(send.accountIndex) >= workerAccounts_.size()) {
        answer(false, "The account no longer exists.");
        return;
    }
    const auto index = static_cast<size_t>(send.accountIndex);
    std::string error;
    // A Google account signs in to SMTP with the same access token, so it
    // has to be fresh before the submission starts.
    const bool google = workerAccounts_[index].auth == AuthKind::gmail;
    if (google && !EnsureConnected(index, error)) {
        answer(false, error);
        return;
    }
    const AccountConfig& account = workerAccounts_[index];

    const std::string text = BuildMessage(account.displayName, account.email, send.message);
    Contacts().RecordAddresses(send.message.to);
    Contacts().RecordAddresses(send.message.cc);

    PostStatus(u"Sending\u2026");
    std::vector<std::string> recipients = ExtractAddresses(send.message.to);
    for (std::string& address : ExtractAddresses(send.message.cc))
        recipients.push_back(std::move(address));
    SmtpClient smtp;
    if (!smtp.Submit(SmtpLogin(account), account.email, recipients, text, error)) {
        answer(false, error);
        return;
    }

    // Google files sent mail itself; other servers need the copy.
    const std::string& sent = sentFolder_[index];
    std::string ignored; // the message is out; a missing copy is not worth an error
    if (!google && !sent.empty() && EnsureConnected(index, ignored))
        (void)AppendMessage(sessions_[index], sent, text, "\\Seen", ignored);
    // The UID only means something in its own folder, so the flag is set
    // only where that folder is known and selected.
    if (send.answeredUid != 0 && !send.answeredMailbox.empty()
        && SelectMailbox(index, send.answeredMailbox, ignored))
        (void)StoreFlag(sessions_[index], send.answeredUid, "\\Answered", true, ignored);

    answer(true, std::string());
    PostStatus(u"Message sent.");
}

} // namespace postern
