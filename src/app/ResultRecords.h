// The typed records that carry results back to the UI thread. Each record is
// allocated by its sender and travels as one private window message (the
// kind's number added to WM_APP); the receiver owns it from the moment it is
// delivered and frees it after handling. Records own plain copies of their
// data, never pointers into state another thread may change.
#pragma once

#include "account/Autodetect.h"
#include "account/GoogleSignIn.h"
#include "compose/SendRequest.h"
#include "mail/FolderInfo.h"
#include "mail/MessageBuilder.h"
#include "mail/MessageHeader.h"
#include "mail/MimeParser.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace postern {

// The number of each kind is its offset from WM_APP.
enum class RecordKind : uint32_t {
    StatusText = 1,
    ErrorText = 2,
    Folders = 3,
    Headers = 4,
    Body = 5,
    Unread = 6,
    RefreshToken = 7,
    SendRequest = 8,
    SendResult = 9,
    AccountAdded = 10,
    SearchBatch = 11,
    Conversation = 12,
    IdleActivity = 41,
    // Posted to the account dialog by its sign-in and detection threads.
    SignInResult = 60,
    DetectionResult = 61,
};

inline constexpr uint32_t kFirstRecordOffset = 1;
inline constexpr uint32_t kLastRecordOffset = 61;

[[nodiscard]] constexpr uint32_t RecordOffset(RecordKind kind)
{
    return static_cast<uint32_t>(kind);
}

// The kind for a message offset, false for offsets that carry no record.
[[nodiscard]] constexpr bool RecordKindFromOffset(uint32_t offset, RecordKind& kind)
{
    const bool worker = offset >= 1 && offset <= 12;
    const bool dialog = offset == static_cast<uint32_t>(RecordKind::SignInResult)
                        || offset == static_cast<uint32_t>(RecordKind::DetectionResult);
    if (!worker && !dialog && offset != static_cast<uint32_t>(RecordKind::IdleActivity))
        return false;
    kind = static_cast<RecordKind>(offset);
    return true;
}

struct ResultRecord {
    explicit ResultRecord(RecordKind recordKind) : kind(recordKind) {}
    virtual ~ResultRecord() = default;
    ResultRecord(const ResultRecord&) = delete;
    ResultRecord& operator=(const ResultRecord&) = delete;

    const RecordKind kind;
};

// Each concrete record names its kind once, so a record cannot be sent with
// another kind's number.
template <RecordKind K>
struct RecordOf : ResultRecord {
    static constexpr RecordKind kKind = K;
    RecordOf() : ResultRecord(K) {}
};

// The record as T when it is of T's kind, else nullptr.
template <typename T>
[[nodiscard]] T* RecordAs(ResultRecord& record)
{
    return record.kind == T::kKind ? static_cast<T*>(&record) : nullptr;
}

struct StatusTextRecord : RecordOf<RecordKind::StatusText> {
    std::u16string text;
};

struct ErrorTextRecord : RecordOf<RecordKind::ErrorText> {
    std::u16string text;
};

struct FoldersResult : RecordOf<RecordKind::Folders> {
    int account = -1;
    std::vector<FolderInfo> folders;
};

struct HeadersResult : RecordOf<RecordKind::Headers> {
    int account = -1;
    std::string mailbox;
    uint32_t messageCount = 0; // of the mailbox, not of `headers`
    std::vector<MessageHeader> headers;
    bool keepView = false;
    uint32_t generation = 0;
    bool prefetch = false;
};

struct BodyResult : RecordOf<RecordKind::Body> {
    int account = -1;
    std::string mailbox;
    uint32_t uid = 0;
    ParsedMessage message;
};

struct UnreadCount : RecordOf<RecordKind::Unread> {
    int account = -1;
    std::string mailbox;
    uint32_t count = 0;
};

struct RefreshTokenRecord : RecordOf<RecordKind::RefreshToken> {
    int account = -1;
    std::string token;
};

// A message the compose window hands over for sending. `composeWindow`
// identifies the window to answer with a SendResult; the core never looks
// inside it.
struct SendRequestRecord : RecordOf<RecordKind::SendRequest> {
    uint64_t composeWindow = 0;
    SendRequest request;
};

struct SendResult : RecordOf<RecordKind::SendResult> {
    bool ok = false;
    std::u16string error;
};

// Sent by the UI thread to itself once the account dialog has appended and
// saved a new account; the new account is the last one.
struct AccountAddedRecord : RecordOf<RecordKind::AccountAdded> {
};

struct SearchHit {
    int account = -1;
    std::string mailbox;
    std::string folderLabel;
    MessageHeader header;
};

struct SearchBatch : RecordOf<RecordKind::SearchBatch> {
    uint32_t generation = 0;
    bool done = false;
    std::vector<SearchHit> hits;
};

// A new-mail watcher saw its inbox change (or has just connected).
struct IdleActivityRecord : RecordOf<RecordKind::IdleActivity> {
    int account = -1;
};

struct ConversationResult : RecordOf<RecordKind::Conversation> {
    int account = -1;
    // The list row the conversation belongs to: its UID alone is no name for
    // it, the same UID names another message in every other folder.
    std::string mailbox;
    uint32_t uid = 0;
    std::vector<ParsedMessage> members; // oldest first
};

// The end of an interactive Google sign-in the account dialog started.
struct SignInResultRecord : RecordOf<RecordKind::SignInResult> {
    bool ok = false;
    OAuthTokens tokens; // when ok
    std::string error;  // when not
};

// The end of a server detection the account dialog started.
struct DetectionResultRecord : RecordOf<RecordKind::DetectionResult> {
    bool ok = false;
    ServerSettings settings; // when ok
    std::string error;       // when not
};

} // namespace postern
