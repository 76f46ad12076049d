#include "storage/Transaction.h"

#include "storage/SqlDatabase.h"

CTransaction::CTransaction(CSqlDatabase& db) : m_db(db) {
    m_savepoint = m_db.InTransaction();
    m_db.ExecuteUpdate(m_savepoint ? "SAVEPOINT quill_nested;" : "BEGIN IMMEDIATE;");
    m_active = true;
}

CTransaction::~CTransaction() {
    Rollback();
}

void CTransaction::Commit() {
    if (!m_active)
        return;
    m_db.ExecuteUpdate(m_savepoint ? "RELEASE quill_nested;" : "COMMIT;");
    m_active = false;
}

void CTransaction::Rollback() noexcept {
    if (!m_active)
        return;
    m_active = false;
    try {
        if (m_savepoint)
            m_db.ExecuteUpdate("ROLLBACK TO quill_nested; RELEASE quill_nested;");
        else if (m_db.InTransaction())
            m_db.ExecuteUpdate("ROLLBACK;");
    } catch (...) {
        // SQLite may have rolled back on its own already (a full disk, an interrupt).
    }
}
