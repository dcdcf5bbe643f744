#include "server/FeedbackStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace tessaro::feedbackd {

namespace {

FeedbackStore::Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) stmt = nullptr;
    return FeedbackStore::Statement(stmt, &sqlite3_finalize);
}

void bind(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string column(sqlite3_stmt* stmt, int index) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, index)))
                : std::string();
}

// Each statement is fixed text; values are bound, never spliced in.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS messages ("
    " id INTEGER PRIMARY KEY,"
    " received_at TEXT NOT NULL,"
    " address TEXT NOT NULL,"
    " name TEXT NOT NULL,"
    " email TEXT NOT NULL,"
    " comment TEXT NOT NULL);"
    "CREATE INDEX IF NOT EXISTS messages_by_address ON messages (address, received_at);";

}  // namespace

FeedbackStore::FeedbackStore() = default;

FeedbackStore::~FeedbackStore() {
    m_seen.reset();
    m_insert.reset();
    if (m_db) sqlite3_close_v2(m_db);
}

bool FeedbackStore::open(const std::string& path, bool readOnly, std::string& error) {
    if (!readOnly) {
        // SQLite gives the -wal and -shm files the database's own mode; the
        // database is made here with 0600 rather than by SQLite with the
        // umask's, and older files are narrowed. A file this user cannot
        // change is left for SQLite to refuse.
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            fchmod(fd, 0600);
            ::close(fd);
        }
        for (const char* suffix : {"-wal", "-shm"}) chmod((path + suffix).c_str(), 0600);
    }
    const int flags = readOnly ? SQLITE_OPEN_READONLY
                               : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
        error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    if (readOnly) return true;
    // WAL: readers (the export) never block the receiver; FULL: an answered
    // message survives a power cut, not only a crash.
    const char* setup = "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;";
    char* message = nullptr;
    for (const char* sql : {setup, kSchema}) {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
            error = message ? message : sqlite3_errmsg(m_db);
            sqlite3_free(message);
            return false;
        }
    }
    // Made once; each message only binds its values.
    m_seen = prepare(m_db,
                     "SELECT 1 FROM messages WHERE address = ?1 AND name = ?2 AND email = ?3"
                     " AND comment = ?4 AND received_at >= strftime('%Y-%m-%dT%H:%M:%fZ',"
                     " 'now', '-' || ?5 || ' seconds') LIMIT 1");
    m_insert = prepare(m_db,
                       "INSERT INTO messages (received_at, address, name, email, comment)"
                       " VALUES (strftime('%Y-%m-%dT%H:%M:%fZ', 'now'), ?1, ?2, ?3, ?4)");
    if (!m_seen || !m_insert) {
        error = sqlite3_errmsg(m_db);
        return false;
    }
    // SQLite opens a file it may only read without a word: find it now.
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        error = sqlite3_errstr(SQLITE_READONLY);
        return false;
    }
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE; COMMIT;", nullptr, nullptr, &message) != SQLITE_OK) {
        error = message ? message : sqlite3_errmsg(m_db);
        sqlite3_free(message);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

void FeedbackStore::store(std::vector<Item*>& items, int retryWindow) {
    std::lock_guard<std::mutex> guard(m_lock);
    const auto fail = [&] {
        const std::string error = sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        for (Item* item : items) {
            item->result = Result::Failed;
            item->error = error;
        }
    };
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail();
    for (Item* item : items) {
        // Both statements take the address and the three fields as ?1 to ?4.
        // Reset at once, so that no read stays open on the database.
        const auto run = [&](sqlite3_stmt* stmt) {
            bind(stmt, 1, item->address);
            bind(stmt, 2, item->message.name);
            bind(stmt, 3, item->message.email);
            bind(stmt, 4, item->message.comment);
            const int step = sqlite3_step(stmt);
            sqlite3_reset(stmt);
            return step;
        };
        sqlite3_bind_int(m_seen.get(), 5, retryWindow);
        const int found = run(m_seen.get());
        if (found == SQLITE_ROW) {
            item->result = Result::Retry;
            continue;
        }
        if (found != SQLITE_DONE || run(m_insert.get()) != SQLITE_DONE) return fail();
        item->result = Result::Stored;
    }
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail();
}

FeedbackStore::Result FeedbackStore::store(const FeedbackMessage& message,
                                           const std::string& address, int retryWindow,
                                           std::string* error) {
    Item item{message, address, Result::Failed, {}};
    std::vector<Item*> items{&item};
    store(items, retryWindow);
    if (error) *error = item.error;
    return item.result;
}

bool FeedbackStore::all(std::vector<StoredMessage>& out, std::string& error) {
    std::lock_guard<std::mutex> guard(m_lock);
    const Statement select =
        prepare(m_db,
                "SELECT id, received_at, address, name, email, comment FROM messages"
                " ORDER BY id");
    if (!select) {
        error = sqlite3_errmsg(m_db);
        return false;
    }
    int step;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
        StoredMessage row;
        row.id = sqlite3_column_int64(select.get(), 0);
        row.receivedAt = column(select.get(), 1);
        row.address = column(select.get(), 2);
        row.message = {column(select.get(), 3), column(select.get(), 4), column(select.get(), 5)};
        out.push_back(std::move(row));
    }
    if (step != SQLITE_DONE) {
        error = sqlite3_errmsg(m_db);
        return false;
    }
    return true;
}

}  // namespace tessaro::feedbackd
