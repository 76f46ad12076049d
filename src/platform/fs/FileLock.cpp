#include "platform/fs/FileLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CFileLock::CFileLock(const std::string& path) {
    const std::string lockPath = path + kSuffix;
    int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    int result = fd < 0 ? -1 : 0;
    if (fd >= 0) {
        while ((result = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
    }
    if (result != 0) {
        m_error = lockPath + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return;
    }
    m_fd = fd;
}

CFileLock::~CFileLock() {
    // Closing the last descriptor lets the lock go.
    if (m_fd >= 0)
        ::close(m_fd);
}
