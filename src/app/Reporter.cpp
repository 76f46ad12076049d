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

std::string DescriptionWithReason(const std::string& reason, const std::string& description) {
    std::string text = "原因: " + reason;
    if (!description.empty())
        text += "\r\n" + description;
    return text;
}

void ReportErrorWithReason(int id, const std::string& reason) {
    ErrorEntry entry;
    if (!CErrorCatalog::Lookup(id, entry))
        entry.summary = kErrorEntryMissingText;
    GetReporter().ReportFault(id, entry.place, entry.summary,
                              DescriptionWithReason(reason, entry.description));
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
