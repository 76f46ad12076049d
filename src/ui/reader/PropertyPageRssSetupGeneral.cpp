#include "ui/reader/PropertyPageRssSetupGeneral.h"

#include "app/AppContext.h"
#include "ui/common/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

CPropertyPageRssSetupGeneral::CPropertyPageRssSetupGeneral(const CAppContext& context,
                                                           QWidget* parent)
    : CPropertyPage(QStringLiteral("常规"), parent), m_context(context) {
    auto* receive = new QGroupBox(QStringLiteral("更新频道"));
    m_startup = new QCheckBox(QStringLiteral("启动时更新频道"));
    m_auto = new QCheckBox(QStringLiteral("自动更新频道"));
    m_byRank = new QRadioButton(QStringLiteral("根据RssRank自动更新"));
    m_every = new QRadioButton(QStringLiteral("每隔"));
    m_every->setAccessibleName(QStringLiteral("每隔分钟"));
    m_minutes = new QComboBox;
    m_minutes->setEditable(true);
    m_minutes->addItems({QStringLiteral("10"), QStringLiteral("15"), QStringLiteral("30"),
                         QStringLiteral("60"), QStringLiteral("90")});
    m_minutes->lineEdit()->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,6}")), m_minutes));
    m_minutes->setMinimumWidth(70);
    m_onClick = new QCheckBox(QStringLiteral("点击频道时立即更新"));
    // A site with many feeds (a planet, a newspaper) gets only this many requests at a time;
    // the other fetches go on with other sites meanwhile.
    m_hostFetches = new QSpinBox;
    m_hostFetches->setRange(1, 6);
    m_hostFetches->setValue(2);
    m_hostFetches->setToolTip(QStringLiteral("同一网站的其余频道等待, 其他网站的频道照常收取"));
    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(new QLabel(QStringLiteral("同一网站同时收取的频道数:")));
    hostRow->addWidget(m_hostFetches);
    hostRow->addWidget(new QLabel(QStringLiteral("(1~6)")));
    hostRow->addStretch();
    auto* grid = new QGridLayout(receive);
    grid->addWidget(m_startup, 0, 0, 1, 5);
    grid->addWidget(m_auto, 1, 0, 1, 5);
    // The two choices sit under the switch that enables them.
    grid->addWidget(m_byRank, 2, 1, 1, 4);
    grid->addWidget(m_every, 3, 1);
    grid->addWidget(m_minutes, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("分钟")), 3, 3);
    grid->addWidget(m_onClick, 4, 0, 1, 5);
    grid->addLayout(hostRow, 5, 0, 1, 5);
    grid->setColumnMinimumWidth(0, 20);
    grid->setColumnStretch(4, 1);

    auto* reading = new QGroupBox(QStringLiteral("阅读"));
    m_markRead = new QCheckBox(QStringLiteral("切换频道时标记上一频道为已读(推荐)"));
    m_remember = new QCheckBox(QStringLiteral("退出时记住频道未读文章数字"));
    m_pageSize = new QSpinBox;
    m_pageSize->setRange(0, 99999);
    m_pageSize->setMinimumWidth(80);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(new QLabel(QStringLiteral("每页显示文章数:")));
    pageRow->addWidget(m_pageSize);
    pageRow->addWidget(new QLabel(QStringLiteral("(30~1000)")));
    pageRow->addStretch();
    auto* column = new QVBoxLayout(reading);
    column->addWidget(m_markRead);
    column->addWidget(m_remember);
    column->addLayout(pageRow);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(receive);
    layout->addWidget(reading);
    layout->addStretch();

    ReceiveSettings settings;
    if (m_context.Settings().ReadReceiveSettings(settings)) {
        m_startup->setChecked(settings.startupAutoReceive != 0);
        m_auto->setChecked(settings.autoReceive != 0);
        (settings.autoReceiveType == ReceiveMode::kByWeight ? m_byRank : m_every)->setChecked(true);
        m_minutes->setEditText(QString::number(settings.autoReceiveTime));
        m_onClick->setChecked(settings.clickChannelAutoReceive != 0);
        m_markRead->setChecked(settings.switchChannelAutoMakeRead != 0);
        m_remember->setChecked(settings.whenExitRememberUnreadNum != 0);
        m_pageSize->setValue(settings.paginationNum);
    } else {
        m_byRank->setChecked(true);
    }
    std::string perHost;
    if (m_context.Settings().ReadAppValue("rss/hostfetches", perHost) &&
        CSettingsChecks::CheckKeyValue("rss/hostfetches", perHost).empty())
        m_hostFetches->setValue(CAppSettings::ToInt(perHost));
    connect(m_auto, &QCheckBox::toggled, this, &CPropertyPageRssSetupGeneral::UpdateEnabled);
    connect(m_every, &QRadioButton::toggled, this, &CPropertyPageRssSetupGeneral::UpdateEnabled);
    UpdateEnabled();
}

void CPropertyPageRssSetupGeneral::UpdateEnabled() {
    const bool on = m_auto->isChecked();
    m_byRank->setEnabled(on);
    m_every->setEnabled(on);
    m_minutes->setEnabled(on && m_every->isChecked());
}

int CPropertyPageRssSetupGeneral::MinutesValue() const {
    bool ok = false;
    int value = m_minutes->currentText().trimmed().toInt(&ok);
    return ok ? value : 0;
}

ReceiveSettings CPropertyPageRssSetupGeneral::Values() const {
    ReceiveSettings settings;
    settings.startupAutoReceive = m_startup->isChecked() ? 1 : 0;
    settings.autoReceive = m_auto->isChecked() ? 1 : 0;
    settings.autoReceiveType = m_every->isChecked() ? ReceiveMode::kEvery : ReceiveMode::kByWeight;
    settings.autoReceiveTime = MinutesValue();
    settings.clickChannelAutoReceive = m_onClick->isChecked() ? 1 : 0;
    settings.switchChannelAutoMakeRead = m_markRead->isChecked() ? 1 : 0;
    settings.whenExitRememberUnreadNum = m_remember->isChecked() ? 1 : 0;
    settings.paginationNum = m_pageSize->value();
    return settings;
}

QString CPropertyPageRssSetupGeneral::Validate() {
    if (const std::string message = CSettingsChecks::CheckKeyValue(
            "rss/hostfetches", std::to_string(m_hostFetches->value()));
        !message.empty()) {
        m_hostFetches->setFocus();
        return ToQ(message);
    }
    const ReceiveSettings settings = Values();
    const std::string message =
        CSettingsChecks::CheckReceivePage(settings.autoReceiveTime, settings.paginationNum);
    if (message.empty())
        return QString();
    if (settings.autoReceiveTime < 5 || settings.autoReceiveTime > 1440)
        m_minutes->setFocus();
    else
        m_pageSize->setFocus();
    return ToQ(message);
}

bool CPropertyPageRssSetupGeneral::Apply() {
    return m_context.Settings().WriteReceiveSettings(Values()) != 0 &&
           m_context.Settings().WriteAppValue("rss/hostfetches",
                                              std::to_string(m_hostFetches->value())) != 0;
}
