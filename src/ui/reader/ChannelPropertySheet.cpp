#include "ui/reader/ChannelPropertySheet.h"

#include "storage/FeedDatabase.h"
#include "ui/common/UiText.h"
#include "ui/reader/RssReader.h"
#include "ui/reader/StorageRuleBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

CPropertyPageChannelGeneral::CPropertyPageChannelGeneral(const ChannelRecord& record,
                                                         QWidget* parent)
    : CPropertyPage(QStringLiteral("常规"), parent) {
    auto* channel = new QGroupBox(QStringLiteral("频道"));
    m_title = new QLineEdit(ToQ(record.title));
    m_url = new QLineEdit(ToQ(record.xmlUrl));
    m_site = new QLineEdit(ToQ(record.htmlUrl));
    m_url->setMinimumWidth(320);
    auto* form = new QFormLayout(channel);
    form->addRow(QStringLiteral("频道名称:"), m_title);
    form->addRow(QStringLiteral("RSS地址:"), m_url);
    form->addRow(QStringLiteral("网站地址:"), m_site);

    auto* receive = new QGroupBox(QStringLiteral("更新"));
    m_byWeight = new QRadioButton(QStringLiteral("按权重更新此频道"));
    m_always = new QRadioButton(QStringLiteral("总是更新此频道"));
    (record.rssRank != 0 ? m_always : m_byWeight)->setChecked(true);
    m_autoUpdate = new QCheckBox(QStringLiteral("全部更新时包括此频道"));
    m_autoUpdate->setChecked(record.autoUpdate == 1);
    m_showTip = new QCheckBox(QStringLiteral("有新文章时弹出提示"));
    m_showTip->setChecked(record.newItemShowTip == 1);
    auto* column = new QVBoxLayout(receive);
    column->addWidget(m_byWeight);
    column->addWidget(m_always);
    column->addSpacing(4);
    column->addWidget(m_autoUpdate);
    column->addWidget(m_showTip);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(channel);
    layout->addWidget(receive);
    layout->addStretch();
}

QString CPropertyPageChannelGeneral::Validate() {
    const std::string url = ToStd(m_url->text().trimmed());
    const std::string title = ToStd(m_title->text().trimmed());
    const std::string message = CChannelTree::CheckSubscription(url, title);
    if (message.empty())
        return QString();
    (url.empty() ? m_url : m_title)->setFocus();
    return ToQ(message);
}

void CPropertyPageChannelGeneral::Fill(ChannelProperties& properties) const {
    properties.title = ToStd(m_title->text().trimmed());
    properties.xmlUrl = ToStd(m_url->text().trimmed());
    properties.htmlUrl = ToStd(m_site->text().trimmed());
    properties.rssRank = m_always->isChecked() ? 5 : 0;
    properties.autoUpdate = m_autoUpdate->isChecked() ? 1 : 0;
    properties.newItemShowTip = m_showTip->isChecked() ? 1 : 0;
}

CPropertyPageChannelStorage::CPropertyPageChannelStorage(const ChannelRecord& record,
                                                         QWidget* parent)
    : CPropertyPage(QStringLiteral("存储"), parent) {
    auto* group = new QGroupBox(QStringLiteral("保存方式"));
    m_own = new QCheckBox(QStringLiteral("为此频道单独设置保存方式"));
    m_rule = new CStorageRuleBox;
    m_rule->SetType(record.storageType);
    m_rule->SetCount(record.storageNum);
    m_own->setChecked(record.storageType != StorageRule::kDefault);
    m_rule->setEnabled(m_own->isChecked());
    connect(m_own, &QCheckBox::toggled, m_rule, &QWidget::setEnabled);
    auto* column = new QVBoxLayout(group);
    column->addWidget(m_own);
    column->addWidget(m_rule);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

QString CPropertyPageChannelStorage::Validate() {
    const long long count = m_rule->Count();
    if (count < 10 || count > 16000000) {
        m_rule->CountBox()->setFocus();
        return QStringLiteral("不是合理的存储数量!");
    }
    if (m_own->isChecked() && m_rule->Type() == StorageRule::kDefault)
        return QStringLiteral("请选择一个设置");
    return QString();
}

void CPropertyPageChannelStorage::Fill(ChannelProperties& properties) const {
    properties.storageType = m_own->isChecked() ? m_rule->Type() : StorageRule::kDefault;
    properties.storageNum = static_cast<int>(m_rule->Count());
}

CChannelPropertySheet::CChannelPropertySheet(CRssReader& reader, int index, QWidget* parent)
    : CPropertySheet(QStringLiteral("频道设置"), parent), m_reader(reader), m_index(index) {
    const ChannelRecord record = reader.Tree().Record(index);
    m_general = new CPropertyPageChannelGeneral(record);
    m_storage = new CPropertyPageChannelStorage(record);
    AddPage(m_general);
    AddPage(m_storage);
}

bool CChannelPropertySheet::Commit() {
    ChannelProperties properties;
    m_general->Fill(properties);
    m_storage->Fill(properties);
    return m_reader.Tree().SetChannelProperties(m_index, properties, m_reader.Store());
}
