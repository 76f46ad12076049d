#include "workspace/ReasonRecorder.h"

#include "app/ErrorCatalog.h"

void CReasonRecorder::ReportError(int id) {
    ErrorEntry entry;
    if (!CErrorCatalog::Lookup(id, entry))
        entry.summary = kErrorEntryMissingText;
    m_texts.push_back("错误 " + std::to_string(id) + ": " + entry.summary);
}

void CReasonRecorder::ReportFault(int id, int place, const std::string& summary,
                                  const std::string& description) {
    std::string text = "错误 " + std::to_string(id) + ": " + summary;
    if (!description.empty())
        text += "\n" + description;
    m_texts.push_back(std::move(text));
}

void CReasonRecorder::ReportMessage(const std::string& text) {
    m_texts.push_back(text);
}

std::string CReasonRecorder::Take() {
    std::string joined;
    for (const std::string& text : m_texts)
        joined += (joined.empty() ? "" : "\n") + text;
    m_texts.clear();
    return joined;
}

std::string CReasonRecorder::TakeOr(const std::string& fallback) {
    std::string text = Take();
    return text.empty() ? fallback : text;
}
