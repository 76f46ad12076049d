#include "workspace/LocalLoginLock.h"

#include "app/AccountStore.h"

#include <algorithm>

bool CLocalLoginLock::IsLocked(const std::string& account) {
    {
        std::lock_guard guard(m_lock);
        if (std::find(m_unlocked.begin(), m_unlocked.end(), account) != m_unlocked.end())
            return false;
    }
    int mode = 0;
    std::string password;
    // An account whose settings cannot be read stays locked: Unlock says why.
    if (!m_context.Accounts().GetLoginSettings(account, mode, password))
        return true;
    return mode != 0;
}

CLocalLoginLock::Answer CLocalLoginLock::Unlock(const std::string& account,
                                                const std::string& typed) {
    int mode = 0;
    std::string password;
    if (!m_context.Accounts().GetLoginSettings(account, mode, password))
        return Answer::kUnreadable;
    if (mode != 0 && typed != password)
        return Answer::kWrongPassword;
    std::lock_guard guard(m_lock);
    if (std::find(m_unlocked.begin(), m_unlocked.end(), account) == m_unlocked.end())
        m_unlocked.push_back(account);
    return Answer::kPassed;
}

void CLocalLoginLock::Reset() {
    std::lock_guard guard(m_lock);
    m_unlocked.clear();
}
