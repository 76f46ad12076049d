#include "ui/reader/DirectoryPropertySheet.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "reader/ChannelTree.h"
#include "storage/FeedDatabase.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/reader/RssReader.h"
#include "ui/reader/StorageRuleBox.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

CPropertyPageDirectoryGeneral::CPropertyPageDirectoryGeneral(const QString& title,
                                                             const QString& site, QWidget* parent)
    : CPropertyPage(QStringLiteral("常规"), parent) {
    auto* group = new QGroupBox(QStringLiteral("目录"));
    m_title = new QLineEdit(title);
    m_site = new QLineEdit(site);
    m_title->setMinimumWidth(300);
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("目录名称:"), m_title);
    form->addRow(QStringLiteral("网站地址:"), m_site);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

QString CPropertyPageDirectoryGeneral::Validate() {
    const std::string message = CChannelTree::CheckDirectoryName(ToStd(Title()));
    if (message.empty())
        return QString();
    m_title->setFocus();
    return ToQ(message);
}

QString CPropertyPageDirectoryGeneral::Title() const {
    return m_title->text().trimmed();
}

QString CPropertyPageDirectoryGeneral::Site() const {
    return m_site->text().trimmed();
}

CPropertyPageDirectoryConfig::CPropertyPageDirectoryConfig(CRssReader& reader, int index,
                                                           QWidget* parent)
    : CPropertyPage(QStringLiteral("配置"), parent), m_reader(reader), m_index(index) {
    auto* intro = new QLabel(QStringLiteral("以下设置将应用到该目录下的所有频道。"));
    for (QPushButton*& button : m_buttons) {
        button = new QPushButton(QStringLiteral("设置"));
        button->setMinimumWidth(80);
    }

    auto* rank = new QGroupBox(QStringLiteral("更新方式"));
    m_byWeight = new QRadioButton(QStringLiteral("按权重更新"));
    m_always = new QRadioButton(QStringLiteral("总是更新"));
    m_byWeight->setChecked(true);
    auto* rankRow = new QHBoxLayout(rank);
    rankRow->addWidget(m_byWeight);
    rankRow->addWidget(m_always);
    rankRow->addStretch();
    rankRow->addWidget(m_buttons[kRank]);

    auto* storage = new QGroupBox(QStringLiteral("保存方式"));
    m_rule = new CStorageRuleBox;
    StorageSettings defaults;
    m_reader.Context().Settings().ReadStorageSettings(defaults);
    m_rule->SetType(static_cast<StorageRule>(defaults.storageType));
    m_rule->SetCount(defaults.storageNum);
    auto* storageRow = new QHBoxLayout(storage);
    storageRow->addWidget(m_rule, 1);
    storageRow->addWidget(m_buttons[kStorage], 0, Qt::AlignBottom);

    auto* autoUpdate = new QGroupBox(QStringLiteral("全部更新"));
    m_autoUpdate = new QCheckBox(QStringLiteral("全部更新时包括这些频道"));
    m_autoUpdate->setChecked(true);
    auto* autoRow = new QHBoxLayout(autoUpdate);
    autoRow->addWidget(m_autoUpdate);
    autoRow->addStretch();
    autoRow->addWidget(m_buttons[kAutoUpdate]);

    auto* tip = new QGroupBox(QStringLiteral("新文章提示"));
    m_showTip = new QCheckBox(QStringLiteral("有新文章时弹出提示"));
    auto* tipRow = new QHBoxLayout(tip);
    tipRow->addWidget(m_showTip);
    tipRow->addStretch();
    tipRow->addWidget(m_buttons[kShowTip]);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(rank);
    layout->addWidget(storage);
    layout->addWidget(autoUpdate);
    layout->addWidget(tip);
    layout->addStretch();

    for (int group = kRank; group <= kShowTip; ++group)
        connect(m_buttons[group], &QPushButton::clicked, this,
                [this, group] { ApplyGroup(static_cast<Group>(group)); });
}

bool CPropertyPageDirectoryConfig::ApplyGroup(Group group) {
    if (group == kStorage) {
        const QString message = m_rule->Check();
        if (!message.isEmpty()) {
            CMessageBox::Show(this, message);
            return false;
        }
    }
    QPushButton* button = m_buttons[group];
    button->setText(QStringLiteral("设置中..."));
    button->setEnabled(false);
    button->repaint();

    // Each channel keeps its other settings; only this group's values change.
    ChannelProperties values;
    values.rssRank = m_always->isChecked() ? 5 : 0;
    values.storageType = m_rule->Type();
    values.storageNum = static_cast<int>(m_rule->Count());
    values.autoUpdate = m_autoUpdate->isChecked() ? 1 : 0;
    values.newItemShowTip = m_showTip->isChecked() ? 1 : 0;
    static constexpr FeedSettingsGroup kWhat[] = {
        FeedSettingsGroup::kRank, FeedSettingsGroup::kStorage, FeedSettingsGroup::kAutoUpdate,
        FeedSettingsGroup::kNewItemTip};
    const bool ok =
        m_reader.Tree().ApplyToChannelsBelow(m_index, kWhat[group], values, m_reader.Store());
    button->setText(QStringLiteral("设置完毕!"));
    QTimer::singleShot(1200, button, [button] {
        button->setText(QStringLiteral("设置"));
        button->setEnabled(true);
    });
    return ok;
}

CDirectoryPropertySheet::CDirectoryPropertySheet(CRssReader& reader, int index, QWidget* parent)
    : CPropertySheet(QStringLiteral("频道目录设置"), parent), m_reader(reader), m_index(index) {
    const ChannelRecord record = reader.Tree().Record(index);
    m_general = new CPropertyPageDirectoryGeneral(ToQ(record.title), ToQ(record.htmlUrl));
    m_config = new CPropertyPageDirectoryConfig(reader, index);
    AddPage(m_general);
    AddPage(m_config);
}

bool CDirectoryPropertySheet::Commit() {
    return m_reader.Tree().SetDirectoryProperties(m_index, ToStd(m_general->Title()),
                                                  ToStd(m_general->Site()));
}
