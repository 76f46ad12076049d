#include "app/Reporter.h"

#include "app/ErrorCatalog.h"

#include <atomic>
#include <cstdio>

namespace {
std::atomic<CReporter*> g_reporter{nullptr};
thread_local CReporter* t_reporter = nullptr;
} // namespace

CReporter& GetReporter() {
    if (t_reporter)
        return *t_reporter;
    if (CReporter* reporter = g_reporter.load())
        return *reporter;
    static CStderrReporter fallback;
    return fallback;
}

void SetReporter(CReporter* reporter) {
    g_reporter.store(reporter);
}

CScopedReporter::CScopedReporter(CReporter& reporter) : m_previous(t_reporter) {
    t_reporter = &reporter;
}

CScopedReporter::~CScopedReporter() {
    t_reporter = m_previous;
}

void ReportErrorWithReason(int id, const std::string& reason) {
    ErrorEntry entry;
    if (!CErrorCatalog::Lookup(id, entry))
        entry.summary = kErrorEntryMissingText;
    std::string description = "原因: " + reason;
    if (!entry.description.empty())
        description += "\r\n" + entry.description;
    GetReporter().ReportFault(id, entry.place, entry.summary, description);
}

bool ReportFailure(CReporter& reporter, const std::string& message, const std::string& reason) {
    reporter.ReportMessage(reason.empty() ? message : message + "\n原因: " + reason);
    return false;
}

void CStderrReporter::ReportError(int id) {
    ErrorEntry entry;
    if (CErrorCatalog::Lookup(id, entry))
        std::fprintf(stderr, "错误 %d: %s\n", id, entry.summary.c_str());
    else
        std::fprintf(stderr, "错误 %d: %s\n", id, kErrorEntryMissingText);
}

void CStderrReporter::ReportFault(int id, int place, const std::string& summary,
                                  const std::string& description) {
    std::fprintf(stderr, "错误 %d: %s\n", id, summary.c_str());
    if (!description.empty())
        std::fprintf(stderr, "%s\n", description.c_str());
}

void CStderrReporter::ReportMessage(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}
