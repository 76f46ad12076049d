#include "ui/editor/PostOptionsPanel.h"

#include "ui/common/UiText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Greys the widgets when the interface lacks the option, and says why.
void Allow(const std::string& why, std::initializer_list<QWidget*> widgets) {
    for (QWidget* widget : widgets) {
        widget->setEnabled(why.empty());
        widget->setToolTip(ToQ(why));
    }
}

} // namespace

CPostOptionsPanel::CPostOptionsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("postOptions"));
    auto* layout = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    head->addWidget(new QLabel(QStringLiteral("分类:"), this), 1);
    m_refresh = new QPushButton(QStringLiteral("刷新"), this);
    m_refresh->setToolTip(QStringLiteral("重新从网志取得分类"));
    connect(m_refresh, &QPushButton::clicked, this, &CPostOptionsPanel::RefreshRequested);
    head->addWidget(m_refresh);
    layout->addLayout(head);
    m_categories = new QListWidget(this);
    layout->addWidget(m_categories, 1);
    m_categoryStatus = new QLabel(this);
    m_categoryStatus->setWordWrap(true);
    m_categoryStatus->hide();
    layout->addWidget(m_categoryStatus);

    auto* form = new QFormLayout;
    m_excerpt = new QPlainTextEdit(this);
    m_excerpt->setMaximumHeight(80);
    form->addRow(QStringLiteral("摘要:"), m_excerpt);
    m_slug = new QLineEdit(this);
    m_slug->setPlaceholderText(QStringLiteral("文章网址中的名字, 例如 my-first-post"));
    form->addRow(QStringLiteral("网址名:"), m_slug);
    m_scheduled = new QCheckBox(QStringLiteral("指定发布时间"), this);
    m_date = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_date->setEnabled(false);
    m_date->setToolTip(QStringLiteral("以后的时间: 文章到时才公开"));
    connect(m_scheduled, &QCheckBox::toggled, m_date, &QWidget::setEnabled);
    form->addRow(m_scheduled, m_date);
    m_status = new QComboBox(this);
    m_status->addItems({QStringLiteral("发布"), QStringLiteral("服务器草稿")});
    form->addRow(QStringLiteral("状态:"), m_status);
    m_comments = new QCheckBox(QStringLiteral("允许评论"), this);
    m_comments->setChecked(true);
    form->addRow(QString(), m_comments);
    layout->addLayout(form);
}

void CPostOptionsPanel::SetSupport(const PostOptionSupport& support) {
    Allow(support.categories, {m_categories, m_refresh});
    Allow(support.excerpt, {m_excerpt});
    Allow(support.slug, {m_slug});
    Allow(support.date, {m_scheduled});
    m_date->setEnabled(support.date.empty() && m_scheduled->isChecked());
    Allow(support.status, {m_status});
    Allow(support.comments, {m_comments});
}

void CPostOptionsPanel::SetCategories(const std::vector<std::string>& names) {
    const std::vector<std::string> ticked = Options().categories;
    m_categories->clear();
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(ToQ(name), m_categories);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(std::find(ticked.begin(), ticked.end(), name) != ticked.end()
                                ? Qt::Checked
                                : Qt::Unchecked);
    }
    // A ticked category the weblog no longer lists stays, ticked, at the end.
    for (const std::string& name : ticked) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            auto* item = new QListWidgetItem(ToQ(name), m_categories);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
    }
}

void CPostOptionsPanel::SetCategoryStatus(const QString& text) {
    m_categoryStatus->setText(text);
    m_categoryStatus->setVisible(!text.isEmpty());
}

void CPostOptionsPanel::SetOptions(const PostOptions& options) {
    std::vector<std::string> names;
    for (int i = 0; i < m_categories->count(); ++i)
        names.push_back(ToStd(m_categories->item(i)->text()));
    for (int i = 0; i < m_categories->count(); ++i)
        m_categories->item(i)->setCheckState(Qt::Unchecked);
    for (const std::string& name : options.categories) {
        const auto found = std::find(names.begin(), names.end(), name);
        if (found != names.end()) {
            m_categories->item(static_cast<int>(found - names.begin()))->setCheckState(Qt::Checked);
        } else {
            auto* item = new QListWidgetItem(ToQ(name), m_categories);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
    }
    m_excerpt->setPlainText(ToQ(options.excerpt));
    m_slug->setText(ToQ(options.slug));
    m_scheduled->setChecked(options.publishTime != 0);
    if (options.publishTime != 0)
        m_date->setDateTime(QDateTime::fromSecsSinceEpoch(options.publishTime));
    m_status->setCurrentIndex(options.status == PostStatus::kServerDraft ? 1 : 0);
    m_comments->setChecked(options.allowComments);
}

PostOptions CPostOptionsPanel::Options() const {
    PostOptions options;
    for (int i = 0; i < m_categories->count(); ++i) {
        if (m_categories->item(i)->checkState() == Qt::Checked)
            options.categories.push_back(ToStd(m_categories->item(i)->text()));
    }
    if (m_excerpt->isEnabled())
        options.excerpt = ToStd(m_excerpt->toPlainText().trimmed());
    if (m_slug->isEnabled())
        options.slug = ToStd(m_slug->text().trimmed());
    if (m_scheduled->isEnabled() && m_scheduled->isChecked())
        options.publishTime = m_date->dateTime().toSecsSinceEpoch();
    options.status =
        m_status->currentIndex() == 1 ? PostStatus::kServerDraft : PostStatus::kPublish;
    options.allowComments = m_comments->isChecked();
    return options;
}
