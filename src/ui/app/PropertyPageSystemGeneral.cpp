#include "ui/app/PropertyPageSystemGeneral.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

CPropertyPageSystemGeneral::CPropertyPageSystemGeneral(QWidget* parent)
    : CPropertyPage(QStringLiteral("常规"), parent) {
    auto* group = new QGroupBox(QStringLiteral("启动和窗口"));
    m_updateCheck = new QCheckBox(QStringLiteral("启动时检查更新*"));
    m_minimizeToTray = new QCheckBox(QStringLiteral("最小化到系统托盘"));
    auto* note = new QLabel(QStringLiteral("* 下次启动程序时生效"));
    note->setEnabled(false);
    auto* column = new QVBoxLayout(group);
    column->addWidget(m_updateCheck);
    column->addWidget(m_minimizeToTray);
    column->addSpacing(6);
    column->addWidget(note);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();

    StartupOptions options;
    if (CAppContext::Process().Settings().ReadStartupOptions(options)) {
        m_updateCheck->setChecked(options.enableAutoUpdate != 0);
        m_minimizeToTray->setChecked(options.enableMinimizeToNotifyArea != 0);
    }
}

bool CPropertyPageSystemGeneral::Apply() {
    StartupOptions options;
    options.enableAutoUpdate = m_updateCheck->isChecked() ? 1 : 0;
    options.enableMinimizeToNotifyArea = m_minimizeToTray->isChecked() ? 1 : 0;
    return CAppContext::Process().Settings().WriteStartupOptions(options) != 0;
}
