#include "ui/reader/StorageRuleBox.h"

#include "app/AppSettings.h"
#include "ui/common/UiText.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

CStorageRuleBox::CStorageRuleBox(QWidget* parent) : QWidget(parent) {
    m_group = new QButtonGroup(this);
    m_choices[0] = new QRadioButton(QStringLiteral("只保留频道源中现有的文章"));
    m_choices[1] = new QRadioButton(QStringLiteral("只保留最新的"));
    m_choices[2] = new QRadioButton(QStringLiteral("保留所有文章"));
    for (int i = 0; i < 3; ++i)
        m_group->addButton(m_choices[i], i + 1);
    m_count = new QComboBox;
    m_count->setEditable(true);
    m_count->addItems({QStringLiteral("100"), QStringLiteral("200"), QStringLiteral("300"),
                       QStringLiteral("500"), QStringLiteral("1000")});
    m_count->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,12}")), m_count));
    m_count->setMinimumWidth(90);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_choices[0], 0, 0, 1, 3);
    grid->addWidget(m_choices[1], 1, 0);
    grid->addWidget(m_count, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("篇文章")), 1, 2);
    grid->addWidget(m_choices[2], 2, 0, 1, 3);
    grid->setColumnStretch(3, 1);
}

StorageRule CStorageRuleBox::Type() const {
    int id = m_group->checkedId();
    return id >= 1 && id <= 3 ? static_cast<StorageRule>(id) : StorageRule::kDefault;
}

void CStorageRuleBox::SetType(StorageRule rule) {
    // The choices' button ids are the rules' values.
    if (const int type = static_cast<int>(rule); type >= 1 && type <= 3) {
        m_choices[type - 1]->setChecked(true);
        return;
    }
    m_group->setExclusive(false);
    for (QRadioButton* choice : m_choices)
        choice->setChecked(false);
    m_group->setExclusive(true);
}

long long CStorageRuleBox::Count() const {
    bool ok = false;
    long long value = m_count->currentText().trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

void CStorageRuleBox::SetCount(long long count) {
    m_count->setEditText(QString::number(count));
}

QString CStorageRuleBox::Check() const {
    return ToQ(CSettingsChecks::CheckStoragePage(static_cast<int>(Type()), Count()));
}
