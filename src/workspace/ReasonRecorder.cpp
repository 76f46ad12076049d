#include "workspace/ReasonRecorder.h"

#include "app/ErrorCatalog.h"

namespace {

// One line: the catalogue's descriptions hold line breaks.
std::string OneLine(std::string text) {
    std::string line;
    bool blank = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            blank = !line.empty();
            continue;
        }
        if (blank) {
            line += ' ';
            blank = false;
        }
        line += c;
    }
    return line;
}

} // namespace

void CReasonRecorder::ReportError(int id) {
    ErrorEntry entry;
    if (!CErrorCatalog::Lookup(id, entry))
        entry.summary = kErrorEntryMissingText;
    m_texts.push_back("错误 " + std::to_string(id) + ": " + OneLine(entry.summary));
}

void CReasonRecorder::ReportFault(int id, int place, const std::string& summary,
                                  const std::string& description) {
    std::string text = "错误 " + std::to_string(id) + ": " + OneLine(summary);
    if (!description.empty())
        text += " (" + OneLine(description) + ")";
    m_texts.push_back(std::move(text));
}

void CReasonRecorder::ReportMessage(const std::string& text) {
    m_texts.push_back(OneLine(text));
}

std::string CReasonRecorder::Take() {
    std::string joined;
    for (const std::string& text : m_texts)
        joined += (joined.empty() ? "" : "; ") + text;
    m_texts.clear();
    return joined;
}

std::string CReasonRecorder::TakeOr(const std::string& fallback) {
    std::string text = Take();
    return text.empty() ? fallback : text;
}
