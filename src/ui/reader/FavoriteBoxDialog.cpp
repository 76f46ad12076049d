#include "ui/reader/FavoriteBoxDialog.h"

#include "platform/text/TextCheck.h"
#include "reader/ChannelTree.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CFavoriteBoxDialog::CFavoriteBoxDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("收藏节点"));
    m_name = new QLineEdit;
    m_name->setMinimumWidth(300);
    m_id = new QLineEdit;
    m_id->setReadOnly(true);
    m_id->setPlaceholderText(QStringLiteral("(新建时分配)"));
    m_site = new QLineEdit;
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("名称:"), m_name);
    form->addRow(QStringLiteral("编号:"), m_id);
    form->addRow(QStringLiteral("网站地址:"), m_site);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFavoriteBoxDialog::Confirm);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CFavoriteBoxDialog::SetValues(const QString& name, const QString& idText,
                                   const QString& siteUrl) {
    m_name->setText(name);
    m_id->setText(idText);
    m_site->setText(siteUrl);
}

QString CFavoriteBoxDialog::Name() const {
    return m_name->text().trimmed();
}

QString CFavoriteBoxDialog::SiteUrl() const {
    return m_site->text().trimmed();
}

bool CFavoriteBoxDialog::Confirm() {
    std::string message;
    if (Name().isEmpty())
        message = "请输入频道名称";
    else if (std::string check = CChannelTree::CheckDirectoryName(ToStd(Name())); !check.empty())
        message = check;
    else if (SiteUrl().contains(QLatin1Char('<')) || SiteUrl().contains(QLatin1Char('>')) ||
             !CTextCheck::IsCleanText(ToStd(SiteUrl())))
        message = CTextCheck::kInvalidCharactersText;
    if (!message.empty()) {
        CMessageBox::Show(this, ToQ(message));
        m_name->setFocus();
        return false;
    }
    accept();
    return true;
}
