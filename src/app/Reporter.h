#pragma once

#include <string>

// How the logic tells the user that something failed. The logic never shows anything itself:
// it reports a catalogue id (see CErrorCatalog), a fault with texts of its own, or a plain
// message, and whoever runs it shows that: the windows with the error dialog and message boxes,
// quillmark-cli on stderr, tests by recording.
class CReporter {
public:
    virtual ~CReporter() = default;
    // A failure described by the error catalogue.
    virtual void ReportError(int id) = 0;
    // A failure whose texts come from elsewhere (a server's fault): id, place and texts given.
    virtual void ReportFault(int id, int place, const std::string& summary,
                             const std::string& description) = 0;
    // A plain message box text.
    virtual void ReportMessage(const std::string& text) = 0;
};

// The reporter in force on this thread: the one installed with CScopedReporter on this thread,
// else the process-wide one (SetReporter), else one that prints to stderr.
CReporter& GetReporter();
void SetReporter(CReporter* reporter);

// Installs a reporter for the current thread while it lives.
class CScopedReporter {
public:
    explicit CScopedReporter(CReporter& reporter);
    ~CScopedReporter();
    CScopedReporter(const CScopedReporter&) = delete;
    CScopedReporter& operator=(const CScopedReporter&) = delete;

private:
    CReporter* m_previous;
};

// Reports a catalogue failure together with what exactly went wrong this time (for example
// "连接超时" or "HTTP 500"): a fault with the catalogue's id, place and summary whose description
// is the reason followed by the catalogue's description. The error dialog shows it in its
// details, quillmark-cli prints it below the summary.
void ReportErrorWithReason(int id, const std::string& reason);

// Reports a plain message with why below it ("message\n原因: reason"; the message alone while
// the reason is not known) and answers false, so that a failing step can return it.
bool ReportFailure(CReporter& reporter, const std::string& message, const std::string& reason);

// Prints each report on stderr as "错误 <id>: <summary>" (or the message alone).
class CStderrReporter : public CReporter {
public:
    void ReportError(int id) override;
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override;
    void ReportMessage(const std::string& text) override;
};

// Tells nobody: for a read whose failure is no news to the user (an optional setting, values
// that have a fallback), given to a context with CAppContext::WithReporter.
class CSilentReporter : public CReporter {
public:
    void ReportError(int) override {}
    void ReportFault(int, int, const std::string&, const std::string&) override {}
    void ReportMessage(const std::string&) override {}
};
