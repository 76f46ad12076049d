#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Whole-file reads and writes. Files that hold the user's state are replaced atomically: the new
// contents go to a temporary file in the same folder, are flushed to disk, and then renamed over
// the old file, so a crash or a full disk leaves either the old file or the new one, never half.
class CFileUtil {
public:
    // Reads every byte of the file (NUL bytes included). False when it cannot be opened or read.
    static bool ReadFile(const std::string& path, std::string& contents);

    // Creates or truncates the file and writes the bytes in place (not atomic).
    static bool WriteFile(const std::string& path, std::string_view contents);

    // Adds the bytes at the end of the file in one write, creating the file (readable by its
    // owner only) when it is not there.
    static bool AppendFile(const std::string& path, std::string_view contents);

    // Replaces the file atomically. A replaced file keeps its permissions; ownerOnly makes it
    // readable and writable by its owner alone.
    // The temporary file is named path + kTempMarker + six random characters.
    static bool WriteFileAtomic(const std::string& path, std::string_view contents,
                                bool ownerOnly = false);

    // Marks the temporary files of WriteFileAtomic.
    static constexpr const char* kTempMarker = ".quilltmp-";
    static bool IsTempFileName(std::string_view name);
    // Removes the temporary files that an atomic write killed half-way left in the folder (not
    // below it); a file that a live writer still holds stays. Returns how many were removed.
    static int RemoveStaleTempFiles(const std::string& folder);

    static bool Exists(const std::string& path);
    // The file's size in bytes; 0 when it cannot be found.
    static std::size_t FileSize(const std::string& path);
    static bool IsDirectory(const std::string& path);
    // Creates the folder and its parents; true when it exists afterwards.
    static bool CreateDirectories(const std::string& path);
    static bool RemoveFile(const std::string& path);

    // The text of errno from the last failed call on this thread.
    static std::string LastErrorText();
};
