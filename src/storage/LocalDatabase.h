#pragma once

#include "platform/Outcome.h"
#include "storage/SqlDatabase.h"

#include <cstdint>
#include <functional>
#include <string>

// What an operation on a store or a file of the program directory came to: done, or the reason
// it was not. Tests as a bool.
using StoreResult = Outcome;

// The base of the stores: one connection to one file, and operations that answer a StoreResult.
// No operation lets an exception reach its caller, and none leaves a transaction open.
class CLocalDatabase {
public:
    explicit CLocalDatabase(std::string path);
    virtual ~CLocalDatabase() = default;
    CLocalDatabase(const CLocalDatabase&) = delete;
    CLocalDatabase& operator=(const CLocalDatabase&) = delete;

    // Opens the file (created when absent), sets up the connection and lets the store make
    // its tables and indexes.
    StoreResult OpenStore();
    void CloseStore();

    // Runs SQL text that holds no values.
    StoreResult Exec(const std::string& sql);
    StoreResult BeginTransaction();
    StoreResult CommitTransaction();
    StoreResult RollbackTransaction();

    int64_t GetLastInsertId() const;
    // SQLite's full consistency check of the file: done when it finds nothing wrong; else the
    // problems it lists (or why it could not run).
    StoreResult CheckIntegrity();
    const std::string& GetPath() const { return m_path; }
    // A number that changes whenever another connection (another program or thread) commits
    // to the file; this connection's own commits leave it as it is. Cheap enough to poll.
    StoreResult GetDataVersion(int64_t& version);

    // Runs the work; an exception becomes the reason of the result, with the file's path.
    StoreResult Run(const std::function<void(CSqlDatabase&)>& work);
    // Runs the work in one transaction: committed when it finishes, rolled back completely
    // when anything in it fails.
    StoreResult RunInTransaction(const std::function<void(CSqlDatabase&)>& work);

    CSqlDatabase& Db() { return m_db; }

protected:
    // Called once the connection is open and configured: create what is missing.
    virtual void CreateSchema(CSqlDatabase& db) {}
    // "FULL" waits for the disk at every commit; a store whose contents can be fetched again
    // may choose "NORMAL" (still safe from corruption in WAL mode, only slower to be durable).
    virtual const char* SynchronousMode() const { return "FULL"; }

private:
    void Configure();

    std::string m_path;
    CSqlDatabase m_db;
};
