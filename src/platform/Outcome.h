#pragma once

#include <string>

// How an operation ended: done, or the reason it was not, in words for the user. Tests as a
// bool. The layers name it after what answers it (StoreResult, ExportResult).
struct Outcome {
    bool ok = false;
    std::string reason;
    explicit operator bool() const { return ok; }

    static Outcome Done() { return {.ok = true, .reason = {}}; }
    static Outcome Failed(std::string reason) { return {.ok = false, .reason = std::move(reason)}; }
};
