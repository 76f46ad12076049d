#pragma once

#include "storage/SqlDatabase.h"

#include <cstdint>
#include <functional>
#include <string>

// What a store operation came to: done, or the reason it was not (the text GetLastError() then
// gives as well). Tests as a bool.
struct StoreResult {
    bool ok = false;
    std::string reason;
    explicit operator bool() const { return ok; }
};

// The base of the stores: one connection to one file, operations that report 1 or 0 (the newer
// ones a StoreResult), and the text of the last failure. No operation lets an exception reach its
// caller, and none leaves a transaction open.
class CLocalDatabase {
public:
    explicit CLocalDatabase(std::string path);
    virtual ~CLocalDatabase() = default;
    CLocalDatabase(const CLocalDatabase&) = delete;
    CLocalDatabase& operator=(const CLocalDatabase&) = delete;

    // Opens the file (created when absent), sets up the connection and lets the store make
    // its tables and indexes. 1 on success; 0 with the reason in GetLastError().
    int OpenStore();
    void CloseStore();

    // Runs SQL text that holds no values.
    int Exec(const std::string& sql);
    int BeginTransaction();
    int CommitTransaction();
    int RollbackTransaction();

    // The message of the last failure; success never clears it.
    std::string GetLastError() const { return m_lastError; }
    int64_t GetLastInsertId() const;
    // SQLite's full consistency check of the file: 1 when it finds nothing wrong; 0 with the
    // problems it lists (or why it could not run) in GetLastError().
    int CheckIntegrity();
    const std::string& GetPath() const { return m_path; }
    // A number that changes whenever another connection (another program or thread) commits
    // to the file; this connection's own commits leave it as it is. Cheap enough to poll.
    int GetDataVersion(int64_t& version);

    // Runs the work; an exception becomes 0 and the last error.
    int Run(const std::function<void(CSqlDatabase&)>& work);
    // Runs the work in one transaction: committed when it finishes, rolled back completely
    // when anything in it fails.
    int RunInTransaction(const std::function<void(CSqlDatabase&)>& work);

    CSqlDatabase& Db() { return m_db; }

protected:
    // Called once the connection is open and configured: create what is missing.
    virtual void CreateSchema(CSqlDatabase& db) {}
    // "FULL" waits for the disk at every commit; a store whose contents can be fetched again
    // may choose "NORMAL" (still safe from corruption in WAL mode, only slower to be durable).
    virtual const char* SynchronousMode() const { return "FULL"; }

    void SetLastError(const std::string& text) { m_lastError = text; }
    // The result of an operation that answered 1 or 0, with the reason of a 0.
    StoreResult ResultOf(int answer) const {
        return answer ? StoreResult{.ok = true} : StoreResult{.reason = m_lastError};
    }

private:
    void Configure();

    std::string m_path;
    std::string m_lastError;
    CSqlDatabase m_db;
};
