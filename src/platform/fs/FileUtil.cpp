#include "platform/fs/FileUtil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local int t_lastErrno = 0;

bool Fail() {
    t_lastErrno = errno;
    return false;
}

bool WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

std::string ParentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

bool CFileUtil::ReadFile(const std::string& path, std::string& contents) {
    contents.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail();
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return Fail();
    }
    if (st.st_size > 0)
        contents.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int saved = errno;
            ::close(fd);
            errno = saved;
            return Fail();
        }
        if (n == 0)
            break;
        contents.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool CFileUtil::WriteFile(const std::string& path, std::string_view contents) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return Fail();
    bool ok = WriteAll(fd, contents);
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        return Fail();
    }
    if (!ok) {
        errno = saved;
        return Fail();
    }
    return true;
}

bool CFileUtil::AppendFile(const std::string& path, std::string_view contents) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return Fail();
    bool ok = WriteAll(fd, contents);
    int saved = errno;
    if (::close(fd) != 0 && ok)
        return Fail();
    if (!ok) {
        errno = saved;
        return Fail();
    }
    return true;
}

bool CFileUtil::WriteFileAtomic(const std::string& path, std::string_view contents,
                                bool ownerOnly) {
    std::string folder = ParentOf(path);
    std::string temp = path + kTempMarker + "XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail();
    // The lock tells a sweep at start (RemoveStaleTempFiles) that this file is being written;
    // it is held until the file has its final name.
    ::flock(fd, LOCK_EX);

    mode_t mode = 0600;
    if (!ownerOnly) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
    }

    bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, contents) && ::fsync(fd) == 0;
    int saved = errno;
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok)
        ::unlink(temp.c_str());
    // The data is on disk already (fsync): a late close error changes nothing.
    ::close(fd);
    if (!ok) {
        errno = saved;
        return Fail();
    }
    // Make the rename itself durable.
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool CFileUtil::IsTempFileName(std::string_view name) {
    const size_t marker = name.rfind(kTempMarker);
    if (marker == std::string_view::npos || marker == 0)
        return false;
    // mkostemp fills exactly six characters after the marker.
    return name.size() - marker - std::string_view(kTempMarker).size() == 6;
}

int CFileUtil::RemoveStaleTempFiles(const std::string& folder) {
    int removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!IsTempFileName(name) || !it->is_regular_file(ec))
            continue;
        const std::string path = it->path().string();
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A writer that is still alive holds the lock: its file is left alone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

bool CFileUtil::Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::size_t CFileUtil::FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;
}

bool CFileUtil::IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CFileUtil::CreateDirectories(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec) {
        errno = ec.value();
        return Fail();
    }
    return IsDirectory(path);
}

bool CFileUtil::RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0)
        return Fail();
    return true;
}

std::string CFileUtil::LastErrorText() {
    return std::strerror(t_lastErrno);
}
