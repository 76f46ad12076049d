#include "ui/reader/PropertyPageRssSetupAppearance.h"

#include "app/AppContext.h"
#include "ui/common/UiText.h"
#include "ui/reader/ArticlesReportView.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

CColorButton::CColorButton(QWidget* parent) : QPushButton(parent) {
    setMinimumWidth(90);
    connect(this, &QPushButton::clicked, this, &CColorButton::Choose);
}

void CColorButton::SetColor(const QColor& color) {
    m_color = color;
    QPixmap swatch(36, 14);
    swatch.fill(color);
    QPainter painter(&swatch);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(0, 0, swatch.width() - 1, swatch.height() - 1);
    setIcon(QIcon(swatch));
    setIconSize(swatch.size());
    setText(color.name().toUpper());
    emit ColorChanged(color);
}

void CColorButton::Choose() {
    QColor chosen = QColorDialog::getColor(m_color, this, QStringLiteral("选择颜色"));
    if (chosen.isValid())
        SetColor(chosen);
}

CPropertyPageRssSetupAppearance::CPropertyPageRssSetupAppearance(const CAppContext& context,
                                                                 QWidget* parent)
    : CPropertyPage(QStringLiteral("外观"), parent), m_context(context) {
    auto* colors = new QGroupBox(QStringLiteral("颜色"));
    m_unread = new CColorButton;
    m_read = new CColorButton;
    m_date = new CColorButton;
    auto* form = new QFormLayout(colors);
    form->addRow(QStringLiteral("未读文章标题:"), m_unread);
    form->addRow(QStringLiteral("已读文章标题:"), m_read);
    form->addRow(QStringLiteral("日期和作者:"), m_date);

    auto* fonts = new QGroupBox(QStringLiteral("标题字体"));
    m_big = new QCheckBox(QStringLiteral("使用大号标题字体"));
    m_bold = new QCheckBox(QStringLiteral("使用粗体标题字体"));
    auto* fontColumn = new QVBoxLayout(fonts);
    fontColumn->addWidget(m_big);
    fontColumn->addWidget(m_bold);

    auto* pane = new QGroupBox(QStringLiteral("阅读窗格"));
    m_noImages = new QCheckBox(QStringLiteral("不自动加载远程图片"));
    m_noImages->setToolTip(QStringLiteral("文章中的网络图片显示为“点击加载图片”，点击后才加载"));
    auto* paneColumn = new QVBoxLayout(pane);
    paneColumn->addWidget(m_noImages);

    auto* sampleBox = new QGroupBox(QStringLiteral("示例"));
    m_sample = new QLabel;
    m_sample->setTextFormat(Qt::RichText);
    m_sample->setAutoFillBackground(true);
    QPalette palette = m_sample->palette();
    palette.setColor(QPalette::Window, Qt::white);
    m_sample->setPalette(palette);
    m_sample->setMargin(8);
    auto* sampleColumn = new QVBoxLayout(sampleBox);
    sampleColumn->addWidget(m_sample);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(colors);
    layout->addWidget(fonts);
    layout->addWidget(pane);
    layout->addWidget(sampleBox);
    layout->addStretch();

    AppearanceSettings settings;
    m_context.Settings().ReadAppearanceSettings(settings);
    m_unread->SetColor(ColorFromSetting(settings.titleUnreadColor));
    m_read->SetColor(ColorFromSetting(settings.titleReadColor));
    m_date->SetColor(ColorFromSetting(settings.dateAndAuthorColor));
    m_big->setChecked(settings.useBigTitleFont != 0);
    m_bold->setChecked(settings.useBoldTitleFont != 0);
    std::string noImages;
    m_context.Settings().ReadAppValue("rss/noremoteimages", noImages);
    m_noImages->setChecked(noImages == "1");

    for (CColorButton* button : {m_unread, m_read, m_date})
        connect(button, &CColorButton::ColorChanged, this,
                &CPropertyPageRssSetupAppearance::UpdateSample);
    connect(m_big, &QCheckBox::toggled, this, &CPropertyPageRssSetupAppearance::UpdateSample);
    connect(m_bold, &QCheckBox::toggled, this, &CPropertyPageRssSetupAppearance::UpdateSample);
    UpdateSample();
}

void CPropertyPageRssSetupAppearance::UpdateSample() {
    const AppearanceSettings settings = Values();
    const QFont unreadFont = CArticlesReportView::TitleFont(settings, false);
    const QFont readFont = CArticlesReportView::TitleFont(settings, true);
    auto line = [&](const QFont& font, const QColor& color, const QString& title) {
        return QStringLiteral("<div style=\"font-family:'%1'; font-size:%2px; font-weight:%3;"
                              " color:%4\">%5 <span style=\"font-size:12px; font-weight:normal;"
                              " color:%6\">2006-11-01 08:30:00 · 作者</span></div>")
            .arg(font.family())
            .arg(font.pixelSize())
            .arg(font.bold() ? 700 : 400)
            .arg(color.name(), title, m_date->Color().name());
    };
    m_sample->setText(line(unreadFont, m_unread->Color(), QStringLiteral("未读文章的标题")) +
                      line(readFont, m_read->Color(), QStringLiteral("已读文章的标题")));
}

AppearanceSettings CPropertyPageRssSetupAppearance::Values() const {
    AppearanceSettings settings;
    settings.titleUnreadColor = ColorToSetting(m_unread->Color());
    settings.titleReadColor = ColorToSetting(m_read->Color());
    settings.dateAndAuthorColor = ColorToSetting(m_date->Color());
    settings.useBigTitleFont = m_big->isChecked() ? 1 : 0;
    settings.useBoldTitleFont = m_bold->isChecked() ? 1 : 0;
    return settings;
}

bool CPropertyPageRssSetupAppearance::Apply() {
    return m_context.Settings().WriteAppearanceSettings(Values()) != 0 &&
           m_context.Settings().WriteAppValue("rss/noremoteimages",
                                              m_noImages->isChecked() ? "1" : "0") != 0;
}
