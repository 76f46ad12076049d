#include "ui/editor/LinkDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

CLinkDialog::CLinkDialog(const QString& href, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(href.isEmpty() ? QStringLiteral("插入链接") : QStringLiteral("编辑链接"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_href = new QLineEdit(href.isEmpty() ? QStringLiteral("https://") : href, this);
    m_text = new QLineEdit(text, this);
    m_text->setPlaceholderText(QStringLiteral("留空则显示地址"));
    form->addRow(QStringLiteral("链接地址:"), m_href);
    form->addRow(QStringLiteral("显示文字:"), m_text);
    layout->addLayout(form);
    m_problem = new QLabel(this);
    m_problem->setStyleSheet(QStringLiteral("color:#b00020;"));
    m_problem->setWordWrap(true);
    layout->addWidget(m_problem);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_href, &QLineEdit::textChanged, this, &CLinkDialog::Recheck);
    Recheck();
    m_href->setFocus();
    m_href->selectAll();
}

QString CLinkDialog::Href() const {
    return m_href->text().trimmed();
}

QString CLinkDialog::Text() const {
    return m_text->text();
}

QString CLinkDialog::ProblemText() const {
    return m_problem->text();
}

void CLinkDialog::Recheck() {
    const QString problem = CheckAddress(Href());
    m_problem->setText(problem);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(problem.isEmpty());
}

QString CLinkDialog::CheckAddress(const QString& href) {
    if (href.isEmpty() || href == QStringLiteral("https://") || href == QStringLiteral("http://"))
        return QStringLiteral("请输入链接地址");
    for (const QChar c : href) {
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("链接地址里不能有空格或控制字符");
    }
    const QUrl url(href, QUrl::StrictMode);
    if (!url.isValid())
        return QStringLiteral("链接地址无效: ") + url.errorString();
    const QString scheme = url.scheme().toLower();
    if (scheme.isEmpty())
        return {}; // a path of the weblog itself, or an anchor
    if (scheme != QStringLiteral("http") && scheme != QStringLiteral("https") &&
        scheme != QStringLiteral("ftp") && scheme != QStringLiteral("mailto"))
        return QStringLiteral("不能链接到 \"%1:\" 地址: 只能是 http、https、ftp 或 mailto")
            .arg(scheme);
    if (scheme != QStringLiteral("mailto") && url.host().isEmpty())
        return QStringLiteral("链接地址缺少网站名, 例如 https://example.com/");
    return {};
}
