#pragma once

class CSqlDatabase;

// A transaction that rolls back unless it is committed. Opening one while the connection is
// already inside a transaction makes a savepoint instead, so work can nest.
//
// The outer transaction begins IMMEDIATE: it takes the write lock at once (waiting up to the
// busy timeout), so two writers never deadlock halfway through their work.
class CTransaction {
public:
    explicit CTransaction(CSqlDatabase& db);
    ~CTransaction();
    CTransaction(const CTransaction&) = delete;
    CTransaction& operator=(const CTransaction&) = delete;

    void Commit();
    void Rollback() noexcept;

private:
    CSqlDatabase& m_db;
    bool m_savepoint = false;
    bool m_active = false;
};
