#include "ui/app/PropertyPageDebug.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "ui/common/UiText.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CPropertyPageDebug::CPropertyPageDebug(QWidget* parent)
    : CPropertyPage(QStringLiteral("高级"), parent) {
    auto* group = new QGroupBox(QStringLiteral("调试"));
    m_use = new QCheckBox(QStringLiteral("开启调试模式"));
    auto* hint = new QLabel(
        QStringLiteral("开启后，与博客服务器之间的每次通讯都会记录到下面的调试文件中。"));
    hint->setWordWrap(true);
    m_file = new QLineEdit;
    m_browse = new QPushButton(QStringLiteral("浏览..."));
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("调试文件:")));
    row->addWidget(m_file, 1);
    row->addWidget(m_browse);
    auto* column = new QVBoxLayout(group);
    column->addWidget(m_use);
    column->addWidget(hint);
    column->addLayout(row);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();

    DebugSettings settings;
    if (CAppContext::Process().Settings().ReadDebugSettings(settings)) {
        m_use->setChecked(settings.use != 0);
        m_file->setText(FileTextFor(ToQ(settings.out)));
    }
    connect(m_browse, &QPushButton::clicked, this, &CPropertyPageDebug::Browse);
}

QString CPropertyPageDebug::FileTextFor(const QString& folder) {
    return folder + QStringLiteral("/") + QString::fromLatin1(CSettingsChecks::kDebugFileName);
}

void CPropertyPageDebug::SetFolder(const QString& folder) {
    m_file->setText(FileTextFor(folder));
}

void CPropertyPageDebug::Browse() {
    const QString current = ToQ(CSettingsChecks::DebugFolderFromText(ToStd(m_file->text())));
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("选择一个您要存放调试文件的目录"), current);
    if (!folder.isEmpty())
        SetFolder(folder);
}

bool CPropertyPageDebug::Apply() {
    DebugSettings settings;
    settings.use = m_use->isChecked() ? 1 : 0;
    settings.out = CSettingsChecks::DebugFolderFromText(ToStd(m_file->text()));
    return CAppContext::Process().Settings().WriteDebugSettings(settings) != 0;
}
