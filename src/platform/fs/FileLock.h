#pragma once

#include <string>

// An advisory lock beside a file, shared by every process (and thread) that changes the file:
// path + ".lock" is opened (created readable by its owner alone) and locked exclusively with
// flock until the object goes. Whoever reads, changes and replaces the file while holding it
// works on the current file, so two writers never lose each other's change.
class CFileLock {
public:
    // Waits until the lock is had, or fails (see Locked).
    explicit CFileLock(const std::string& path);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    bool Locked() const { return m_fd >= 0; }
    // Why the lock could not be had: the lock file and the system's text.
    const std::string& Error() const { return m_error; }

    static constexpr const char* kSuffix = ".lock";

private:
    int m_fd = -1;
    std::string m_error;
};
