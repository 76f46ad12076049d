#pragma once

#include "app/AppContext.h"

#include <mutex>
#include <string>
#include <vector>

// The local login lock of the accounts, for one run of the program: an account whose
// localloginverify asks for it is locked until its login password has been typed once; the
// flags live in memory only, so every start asks again. Thread-safe.
class CLocalLoginLock {
public:
    explicit CLocalLoginLock(const CAppContext& context) : m_context(context) {}

    enum class Answer {
        kPassed,        // not locked, or the password was right: unlocked for this run
        kWrongPassword, // "密码错误!"
        kUnreadable,    // the account's settings could not be read (reported)
    };

    // Whether the account still asks for its password in this run.
    bool IsLocked(const std::string& account);
    // Compares the typed text exactly (letter case counts) with the account's login password
    // (the weblog password for mode 1, the local one for mode 2).
    Answer Unlock(const std::string& account, const std::string& typed);
    // Forgets every unlock (the next check asks again).
    void Reset();

    static constexpr const char* kTitleText = "本地账户验证";
    static constexpr const char* kPromptText = "请输入您的密码：";
    static constexpr const char* kEmptyPasswordText = "请输入密码!";
    static constexpr const char* kWrongPasswordText = "密码错误!";

private:
    CAppContext m_context;
    std::mutex m_lock;
    std::vector<std::string> m_unlocked;
};
