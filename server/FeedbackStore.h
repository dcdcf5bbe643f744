#pragma once
// The receiver's SQLite database: one table `messages` (id, received_at,
// address, name, email, comment), in WAL mode, written through prepared
// statements only. Safe to call from several threads: one connection, one
// lock. The file and its -wal and -shm files are readable by their owner
// only, whatever the umask.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "server/FeedbackMessage.h"

struct sqlite3;
struct sqlite3_stmt;

namespace tessaro::feedbackd {

class FeedbackStore {
public:
    FeedbackStore();
    ~FeedbackStore();
    FeedbackStore(const FeedbackStore&) = delete;
    FeedbackStore& operator=(const FeedbackStore&) = delete;

    // Opens (and for writing creates) the database at `path`; false with
    // `error` set to SQLite's reason when it cannot. For writing, it takes
    // the write lock once, so that a database it cannot write is found now.
    bool open(const std::string& path, bool readOnly, std::string& error);

    enum class Result { Stored, Retry, Failed };

    struct Item {
        FeedbackMessage message;
        std::string address;
        Result result = Result::Failed;
        std::string error;  // SQLite's message when Failed
    };

    // Stores each item's message from its address now, unless the same
    // address sent the same three fields within the last `retryWindow`
    // seconds (a retry of the form, stored once), all in one transaction:
    // one write to disk for many messages. Stored rows are on disk when this
    // returns; when the transaction fails, every item has Failed.
    void store(std::vector<Item*>& items, int retryWindow);
    Result store(const FeedbackMessage& message, const std::string& address, int retryWindow,
                 std::string* error = nullptr);

    // Every stored message, oldest first.
    bool all(std::vector<StoredMessage>& out, std::string& error);

    using Statement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

private:
    std::mutex m_lock;
    sqlite3* m_db = nullptr;
    // The retry lookup and the insert, prepared when the database opens for writing.
    Statement m_seen{nullptr, nullptr};
    Statement m_insert{nullptr, nullptr};
};

}  // namespace tessaro::feedbackd
