#pragma once

#include <string>

// How a step of an export ended (a backup written or read, a preview rendered, a book
// compiled): done, or the reason it was not.
struct ExportResult {
    bool ok = false;
    std::string reason;
    explicit operator bool() const { return ok; }

    static ExportResult Done() { return {.ok = true, .reason = {}}; }
    static ExportResult Failed(std::string reason) {
        return {.ok = false, .reason = std::move(reason)};
    }
};
