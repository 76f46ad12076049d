#pragma once

#include "app/AccountStore.h"
#include "app/AppSettings.h"

#include <string>

class CReporter;

// What a use-case needs of the program directory: where its files are, its settings, its
// weblog accounts and whom to tell of a failure. Each program makes one at its start and hands it
// down (a test makes one over a temporary folder: CAppContext context(dir);); nothing below the
// programs and the main window reaches these through statics. Cheap to copy, and a copy may be
// used on any thread: the settings and accounts load their files on every call.
class CAppContext {
public:
    // reporter: whom the use-cases tell of failures; null for the one in force on the calling
    // thread (GetReporter), which is what a window's workers install.
    explicit CAppContext(std::string programDir, CReporter* reporter = nullptr);

    // The program directory, without a trailing "/".
    const std::string& Dir() const { return m_dir; }
    // A file below it (see ProgramFilePath for the spellings it folds).
    std::string FilePath(const std::string& relativePath) const;

    // The settings and the accounts tell their failures to Reporter().
    const CAppSettings& Settings() const { return m_settings; }
    const CAccountStore& Accounts() const { return m_accounts; }
    CReporter& Reporter() const;

    // A copy that tells its failures, and those of its settings and accounts, to reporter (which
    // must outlive the copy and whatever holds it): a program's own reporter, a use-case's
    // recorder, or a CSilentReporter for a read whose failure is no news.
    CAppContext WithReporter(CReporter& reporter) const;

    // The context of this process's program directory (GetModuleDir). For the programs' mains
    // and the main window, which hand it down; nothing else calls it.
    static CAppContext Process();

private:
    std::string m_dir;
    CAppSettings m_settings;
    CAccountStore m_accounts;
    CReporter* m_reporter = nullptr;
};
