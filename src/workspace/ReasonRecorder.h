#pragma once

#include "app/Reporter.h"

#include <string>
#include <vector>

// Keeps what the layers below report on a worker thread as text, so that a failure travels to
// the window or the cli with its reason instead of being shown from the worker. Installed for
// the worker's thread with CScopedReporter.
class CReasonRecorder : public CReporter {
public:
    void ReportError(int id) override;
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override;
    void ReportMessage(const std::string& text) override;

    // The reports since the last Take, one per line as quillmark-cli prints them on stderr
    // ("错误 3001: summary" with the details on the lines below), "" when nothing was reported;
    // forgets them.
    std::string Take();
    // The same, or the fallback when nothing was reported.
    std::string TakeOr(const std::string& fallback);

private:
    std::vector<std::string> m_texts;
};
