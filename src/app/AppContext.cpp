#include "app/AppContext.h"

#include "app/AppPaths.h"
#include "app/Reporter.h"

#include <utility>

namespace {

std::string WithoutTrailingSlash(std::string dir) {
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

} // namespace

CAppContext::CAppContext(std::string programDir, CReporter* reporter)
    : m_dir(WithoutTrailingSlash(std::move(programDir))), m_settings(m_dir, reporter),
      m_accounts(m_dir, reporter), m_reporter(reporter) {}

std::string CAppContext::FilePath(const std::string& relativePath) const {
    return ProgramFilePath(m_dir, relativePath);
}

CReporter& CAppContext::Reporter() const {
    return m_reporter ? *m_reporter : GetReporter();
}

CAppContext CAppContext::WithReporter(CReporter& reporter) const {
    return CAppContext(m_dir, &reporter);
}

CAppContext CAppContext::Process() {
    return CAppContext(GetModuleDir());
}
