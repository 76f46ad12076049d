#include "storage/LocalDatabase.h"

#include "storage/CppSQLite3Exception.h"
#include "storage/Transaction.h"

#include <exception>

CLocalDatabase::CLocalDatabase(std::string path) : m_path(std::move(path)) {}

StoreResult CLocalDatabase::Run(const std::function<void(CSqlDatabase&)>& work) {
    std::string reason;
    try {
        work(m_db);
        return {.ok = true};
    } catch (const CppSQLite3Exception& e) {
        reason = e.Message();
    } catch (const std::exception& e) {
        reason = std::string("CPPSQLITE_ERROR[1000]: ") + e.what();
    }
    // Which file failed: the program has two stores.
    if (!m_path.empty() && m_path.front() != ':')
        reason += " (" + m_path + ")";
    return StoreResult::Failed(std::move(reason));
}

StoreResult CLocalDatabase::RunInTransaction(const std::function<void(CSqlDatabase&)>& work) {
    return Run([&](CSqlDatabase& db) {
        CTransaction transaction(db);
        work(db);
        transaction.Commit();
    });
}

// Every setting of the connection, in one place.
void CLocalDatabase::Configure() {
    // Readers (the item list on the interface thread) and the one writer (a receiving worker)
    // do not block each other in WAL mode, and a crash mid-write cannot damage the file.
    // An in-memory database stays in its own mode.
    CSqlQuery mode = m_db.ExecuteQuery("PRAGMA journal_mode=WAL;");
    mode.Finalize();
    m_db.ExecuteUpdate(std::string("PRAGMA synchronous=") + SynchronousMode() + ";");
    // Sorting a channel's items for a page needs room; 8 MB of page cache per connection.
    m_db.ExecuteUpdate("PRAGMA cache_size=-8192;");
    m_db.ExecuteUpdate("PRAGMA temp_store=MEMORY;");
}

StoreResult CLocalDatabase::OpenStore() {
    return Run([&](CSqlDatabase& db) {
        // Paths are UTF-8 already; no conversion is needed before SQLite sees them.
        db.Open(m_path);
        try {
            Configure();
            CreateSchema(db);
        } catch (...) {
            db.Close();
            throw;
        }
    });
}

void CLocalDatabase::CloseStore() {
    m_db.Close();
}

StoreResult CLocalDatabase::Exec(const std::string& sql) {
    return Run([&](CSqlDatabase& db) { db.ExecuteUpdate(sql); });
}

StoreResult CLocalDatabase::CheckIntegrity() {
    std::string problems;
    const StoreResult checked = Run([&](CSqlDatabase& db) {
        for (CSqlQuery rows = db.ExecuteQuery("PRAGMA integrity_check;"); !rows.IsEnd();
             rows.Next()) {
            std::string line = rows.GetText(0);
            if (line != "ok")
                problems += (problems.empty() ? "" : "; ") + line;
        }
    });
    if (checked && !problems.empty())
        return StoreResult::Failed(GetPath() + ": " + problems);
    return checked;
}

StoreResult CLocalDatabase::GetDataVersion(int64_t& version) {
    return Run([&](CSqlDatabase& db) {
        CSqlQuery rows = db.ExecuteQuery("PRAGMA data_version;");
        version = rows.IsEnd() ? 0 : rows.GetInt64(0);
    });
}

StoreResult CLocalDatabase::BeginTransaction() {
    return Run([](CSqlDatabase& db) { db.ExecuteUpdate("BEGIN IMMEDIATE;"); });
}

StoreResult CLocalDatabase::CommitTransaction() {
    return Run([](CSqlDatabase& db) { db.ExecuteUpdate("COMMIT;"); });
}

StoreResult CLocalDatabase::RollbackTransaction() {
    return Run([](CSqlDatabase& db) {
        if (db.InTransaction())
            db.ExecuteUpdate("ROLLBACK;");
    });
}

int64_t CLocalDatabase::GetLastInsertId() const {
    return m_db.IsOpen() ? m_db.LastInsertRowId() : 0;
}
