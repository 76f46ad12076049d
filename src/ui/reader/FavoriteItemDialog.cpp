#include "ui/reader/FavoriteItemDialog.h"

#include "reader/RssFavorites.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CFavoriteItemDialog::CFavoriteItemDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("添加收藏项"));
    m_title = new QLineEdit;
    m_title->setMinimumWidth(360);
    m_link = new QLineEdit;
    m_author = new QLineEdit;
    m_date = new QLineEdit(ToQ(CRssFavorites::NowText()));
    m_description = new QPlainTextEdit;
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("标题:"), m_title);
    form->addRow(QStringLiteral("链接:"), m_link);
    form->addRow(QStringLiteral("作者:"), m_author);
    form->addRow(QStringLiteral("日期:"), m_date);
    form->addRow(QStringLiteral("描述:"), m_description);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFavoriteItemDialog::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

FeedItem CFavoriteItemDialog::Item() const {
    return {.title = ToStd(m_title->text().trimmed()),
            .link = ToStd(m_link->text().trimmed()),
            .description = ToStd(m_description->toPlainText()),
            .pubDate = ToStd(m_date->text().trimmed()),
            .author = ToStd(m_author->text().trimmed())};
}

bool CFavoriteItemDialog::Confirm() {
    const FeedItem item = Item();
    const std::string message = CRssFavorites::CheckItem(item);
    if (!message.empty()) {
        CMessageBox::Show(this, ToQ(message));
        QLineEdit* field = item.title.empty() ? m_title : item.link.empty() ? m_link : nullptr;
        if (field)
            field->setFocus();
        return false;
    }
    accept();
    return true;
}
