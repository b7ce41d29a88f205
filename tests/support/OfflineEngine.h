// The engine fed with records as the worker would post them: no server and
// no worker, so every case is exact and instant. The jobs it queues stay
// queued.
#pragma once

#include "support/QueuedUiPort.h"
#include "support/TempFolder.h"

#include "app/PosternApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern::test {

inline FolderInfo Folder(std::string name, bool noSelect = false)
{
    FolderInfo folder;
    folder.name = std::move(name);
    folder.noSelect = noSelect;
    return folder;
}

inline FolderInfo Role(std::string name, bool FolderInfo::*role)
{
    FolderInfo folder = Folder(std::move(name));
    folder.*role = true;
    return folder;
}

inline MessageHeader Header(uint32_t uid, std::string subject, int64_t date, bool seen = true)
{
    MessageHeader header;
    header.uid = uid;
    header.seq = uid;
    header.subject = std::move(subject);
    header.from = "Someone <someone@example.test>";
    header.date = date;
    header.seen = seen;
    return header;
}

// An engine whose worker never starts.
class Offline {
public:
    explicit Offline(size_t accounts) : app(folder.Path() / "config.json")
    {
        AppSettings settings;
        for (size_t i = 0; i < accounts; ++i) {
            AccountConfig account;
            account.name = "acct" + std::to_string(i);
            account.email = account.name + "@example.test";
            account.imapHost = "imap.example.test";
            settings.accounts.push_back(account);
        }
        std::string error;
        EXPECT_TRUE(SaveSettingsTo(folder.Path() / "config.json", settings, error)) << error;
        EXPECT_TRUE(app.LoadSettings());
        app.AttachUi(port);
        app.PrepareState();
    }

    void Folders(int account, std::vector<FolderInfo> folders)
    {
        auto record = std::make_unique<FoldersResult>();
        record->account = account;
        record->folders = std::move(folders);
        app.HandleRecord(std::move(record));
    }

    void Headers(int account, std::string mailbox, std::vector<MessageHeader> headers)
    {
        auto record = std::make_unique<HeadersResult>();
        record->account = account;
        record->mailbox = std::move(mailbox);
        record->messageCount = static_cast<uint32_t>(headers.size());
        record->headers = std::move(headers);
        record->generation = app.LoadGeneration();
        app.HandleRecord(std::move(record));
    }

    std::vector<std::u16string> Labels() const
    {
        std::vector<std::u16string> labels;
        for (const RailItem& item : app.RailItems())
            labels.push_back(std::u16string(static_cast<size_t>(item.depth) * 2, u' ') + item.label +
                             (item.bright || item.isAccount ? u"" : u" (dim)"));
        return labels;
    }

    int32_t Index(const std::u16string& label) const
    {
        const auto& items = app.RailItems();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].label == label)
                return static_cast<int32_t>(i);
        return -1;
    }

    TempFolder folder;
    QueuedUiPort port;
    PosternApp app;
};

} // namespace postern::test
