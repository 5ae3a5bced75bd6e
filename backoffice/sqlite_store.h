#pragma once

#include "backoffice/storage.h"

#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sqlite3;

namespace backoffice {

namespace sqlite {
class Database;
}

// The store in one SQLite file, in WAL mode: readers never wait for the
// writer, and a committed exchange survives a killed process. Every write of
// the process takes one path, the queue of the writer thread: exchanges join
// its group commit, and whoever needs a write transaction of its own (an
// import's switch, a backup, loading data) waits in the same queue for a turn
// in which the writer stands aside. SQLite's own write lock, taken at the
// start of every write transaction, keeps the reads of a write transaction
// and its updates together also against another process on the file.
// Connections are pooled, one per concurrent transaction.
class SqliteStore : public Store {
public:
    // Opens the file, creating it when missing, and brings its schema to the
    // current version. `fullSync` makes every commit wait for the disk (safe
    // against power loss, slower); otherwise a commit survives the process
    // but not the machine losing power.
    explicit SqliteStore(std::string path, bool fullSync = false);
    ~SqliteStore() override;

    std::unique_ptr<StoreTransaction> begin(bool write) override;
    void write(const std::function<void(StoreTransaction&)>& work) override;

    // Queries of their own (the dashboard's) in a read transaction on a
    // pooled connection: they never wait for the writer nor hold it up.
    void read(const std::function<void(sqlite::Database&)>& work);
    // Changes of their own, in the writer's batch like every other write.
    void writeDatabase(const std::function<void(sqlite::Database&)>& work);

    const std::string& path() const { return path_; }
    // The schema version this program writes.
    static int currentVersion();
    int version();

    // For the import, export, retention and backup (sqlite_site_data): a
    // connection of their own, and the writers' turn, taken while an import
    // switches its staged rows in.
    class WriterTurn {
    public:
        explicit WriterTurn(SqliteStore& store) : store_(store) {}
        void lock();
        void unlock();

    private:
        SqliteStore& store_;
    };
    std::unique_ptr<sqlite::Database> connect();
    std::unique_lock<WriterTurn> writerTurn() { return std::unique_lock(turn_); }

private:
    friend class SqliteTransaction;
    std::unique_ptr<sqlite::Database> acquire();
    void release(std::unique_ptr<sqlite::Database> db);
    std::unique_ptr<sqlite::Database> open();
    void migrate();
    void checkpoints();
    void writeBatches();
    void startWriter();
    static int walHook(void* store, ::sqlite3* db, const char* name, int pages);

    std::string path_;
    bool fullSync_;
    WriterTurn turn_{*this};
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<sqlite::Database>> pool_;
    // Checkpoints run on a thread of their own: in the committing thread they
    // would stall every writer behind the disk.
    std::mutex checkpointMutex_;
    std::condition_variable checkpointWanted_;
    bool checkpointDue_ = false;
    bool closing_ = false;
    std::thread checkpointer_;

    struct Job {
        const std::function<void(StoreTransaction&)>* work = nullptr; // none: a turn
        std::exception_ptr error;
        bool done = false; // for a turn: granted
    };
    std::mutex jobsMutex_;
    std::condition_variable jobsWanted_;
    std::condition_variable jobDone_;
    std::condition_variable turnEnded_;
    bool turnHeld_ = false;
    std::vector<Job*> jobs_;
    bool stopping_ = false;
    std::thread writerThread_;
};

} // namespace backoffice
