#include "ui/common/PropertySheet.h"

#include "ui/common/MessageBox.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CPropertySheet::CPropertySheet(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setMinimumWidth(420);
    m_tabs = new QTabWidget;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPropertySheet::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CPropertySheet::AddPage(CPropertyPage* page) {
    m_pages.push_back(page);
    m_tabs->addTab(page, page->Caption());
}

bool CPropertySheet::Confirm() {
    for (CPropertyPage* page : m_pages) {
        const QString message = page->Validate();
        if (!message.isEmpty()) {
            m_tabs->setCurrentWidget(page);
            QWidget* focus = page->focusWidget();
            CMessageBox::Show(this, message);
            if (focus)
                focus->setFocus();
            return false;
        }
    }
    if (!Commit())
        return false;
    accept();
    return true;
}

bool CPropertySheet::Commit() {
    for (CPropertyPage* page : m_pages) {
        if (!page->Apply())
            return false;
    }
    return true;
}
