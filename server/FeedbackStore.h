#pragma once
// The receiver's SQLite database: one table `messages` (id, received_at,
// address, name, email, comment), in WAL mode, written through prepared
// statements only. Safe to call from several threads: one connection, one
// lock.

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
    // `error` set when it cannot.
    bool open(const std::string& path, bool readOnly, std::string& error);

    enum class Result { Stored, Retry, Failed };

    // Stores `message` from `address` now, unless the same address sent the
    // same three fields within the last `retryWindow` seconds (a retry of
    // the form, stored once). Stored rows are on disk when this returns.
    Result store(const FeedbackMessage& message, const std::string& address, int retryWindow);

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
