#include "ui/common/WindowReporter.h"

#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/common/UiThread.h"

CWindowReporter::CWindowReporter(QObject* parent) : QObject(parent) {}

void CWindowReporter::ReportError(int id) {
    RunOnUi(this, [this, id] { CMessageBox::ShowErrorById(m_owner, id); });
}

void CWindowReporter::ReportFault(int id, int place, const std::string& summary,
                                  const std::string& description) {
    RunOnUi(this, [this, id, place, summary, description] {
        CMessageBox::ShowErrorText(m_owner, id, place, ToQ(summary), ToQ(description));
    });
}

void CWindowReporter::ReportMessage(const std::string& text) {
    RunOnUi(this, [this, text] { CMessageBox::Show(m_owner, ToQ(text)); });
}
