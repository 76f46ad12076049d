#pragma once

#include "app/Reporter.h"

#include <string>
#include <vector>

// A fresh program directory under /tmp for one test, seeded from data/ and removed afterwards.
class CTempHome {
public:
    explicit CTempHome(bool seed = true);
    ~CTempHome();
    CTempHome(const CTempHome&) = delete;
    CTempHome& operator=(const CTempHome&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& relative) const { return m_path + "/" + relative; }

private:
    std::string m_path;
};

// Remembers what the logic reported, instead of showing it.
class CRecordingReporter : public CReporter {
public:
    void ReportError(int id) override { errors.push_back(id); }
    void ReportFault(int id, int place, const std::string& summary,
                     const std::string& description) override {
        errors.push_back(id);
        messages.push_back(summary);
    }
    void ReportMessage(const std::string& text) override { messages.push_back(text); }

    std::vector<int> errors;
    std::vector<std::string> messages;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& contents);
// A unique folder under /tmp, created empty.
std::string MakeTempDir();
void RemoveTree(const std::string& path);
