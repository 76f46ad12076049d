#include "ui/reader/PropertyPageRssSetupStorage.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "ui/reader/StorageRuleBox.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

CPropertyPageRssSetupStorage::CPropertyPageRssSetupStorage(const CAppContext& context,
                                                           QWidget* parent)
    : CPropertyPage(QStringLiteral("存储"), parent), m_context(context) {
    auto* group = new QGroupBox(QStringLiteral("收到的文章的保存方式"));
    m_rule = new CStorageRuleBox;
    auto* hint = new QLabel(QStringLiteral(
        "每次更新频道后按此方式整理保存的文章；在频道属性中可以为单个频道另行设置。"));
    hint->setWordWrap(true);
    hint->setEnabled(false);
    auto* column = new QVBoxLayout(group);
    column->addWidget(m_rule);
    column->addSpacing(6);
    column->addWidget(hint);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();

    StorageSettings settings;
    if (m_context.Settings().ReadStorageSettings(settings)) {
        m_rule->SetType(static_cast<StorageRule>(settings.storageType));
        m_rule->SetCount(settings.storageNum);
    }
}

QString CPropertyPageRssSetupStorage::Validate() {
    QString message = m_rule->Check();
    if (!message.isEmpty() && (m_rule->Count() < 10 || m_rule->Count() > 16000000))
        m_rule->CountBox()->setFocus();
    return message;
}

bool CPropertyPageRssSetupStorage::Apply() {
    StorageSettings settings;
    settings.storageType = static_cast<int>(m_rule->Type());
    settings.storageNum = static_cast<int>(m_rule->Count());
    return m_context.Settings().WriteStorageSettings(settings) != 0;
}
