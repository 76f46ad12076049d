#include "ui/common/WindowJobs.h"

#include "platform/jobs/JobRunner.h"

#include <QObject>
#include <QWidget>

namespace {

constexpr const char* kLentName = "quillmarkWindowJobs";

// The loan, a child of the window: it goes with the window.
class CLentJobs : public QObject {
public:
    CLentJobs(QWidget& window, CJobRunner& jobs, const CAppContext& context)
        : QObject(&window), m_jobs(jobs), m_context(context) {
        setObjectName(QString::fromLatin1(kLentName));
    }

    WindowJobs Loan() const { return {.jobs = m_jobs, .context = m_context}; }

private:
    CJobRunner& m_jobs;
    CAppContext m_context;
};

} // namespace

void LendWindowJobs(QWidget& window, CJobRunner& jobs, const CAppContext& context) {
    new CLentJobs(window, jobs, context);
}

std::optional<WindowJobs> WindowJobsOf(const QWidget* widget) {
    for (const QWidget* at = widget; at; at = at->parentWidget()) {
        const auto children =
            at->findChildren<QObject*>(QString::fromLatin1(kLentName), Qt::FindDirectChildrenOnly);
        for (QObject* child : children) {
            if (const auto* lent = dynamic_cast<const CLentJobs*>(child))
                return lent->Loan();
        }
    }
    return std::nullopt;
}
