#include "ui/editor/MarkdownPane.h"

#include "ui/common/UiText.h"
#include "workspace/MarkdownHtml.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTimer>

namespace {

constexpr int kPreviewDelayMs = 300;

} // namespace

CMarkdownPane::CMarkdownPane(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    setObjectName(QStringLiteral("markdownPane"));
    m_source = new QPlainTextEdit(this);
    m_source->setObjectName(QStringLiteral("markdownSource"));
    m_source->setPlaceholderText(QStringLiteral("在这里用 Markdown 写文章, 右边是发布后的样子"));
    m_source->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_preview = new QTextBrowser(this);
    m_preview->setObjectName(QStringLiteral("markdownPreview"));
    // Links are shown, never followed from here.
    m_preview->setOpenLinks(false);
    m_preview->setOpenExternalLinks(false);
    addWidget(m_source);
    addWidget(m_preview);
    setStretchFactor(0, 1);
    setStretchFactor(1, 1);
    m_delay = new QTimer(this);
    m_delay->setSingleShot(true);
    m_delay->setInterval(kPreviewDelayMs);
    connect(m_delay, &QTimer::timeout, this, &CMarkdownPane::UpdatePreview);
    connect(m_source, &QPlainTextEdit::textChanged, m_delay, qOverload<>(&QTimer::start));
}

QString CMarkdownPane::Markdown() const {
    return m_source->toPlainText();
}

void CMarkdownPane::SetMarkdown(const QString& markdown) {
    m_source->setPlainText(markdown);
    UpdatePreview();
}

void CMarkdownPane::SetStyleSheet(const QString& css) {
    m_preview->document()->setDefaultStyleSheet(css);
    UpdatePreview();
}

void CMarkdownPane::UpdatePreview() {
    m_delay->stop();
    m_preview->setHtml(ToQ(CMarkdownHtml::PreviewHtml(ToStd(m_source->toPlainText()))));
    emit PreviewUpdated();
}

void CMarkdownPane::Wrap(const QString& open, const QString& close) {
    QTextCursor cursor = m_source->textCursor();
    const QString selected = cursor.selectedText();
    cursor.insertText(open + selected + close);
    if (selected.isEmpty()) {
        cursor.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, int(close.size()));
        m_source->setTextCursor(cursor);
    }
}

void CMarkdownPane::InsertLink(const QString& href, const QString& text) {
    QTextCursor cursor = m_source->textCursor();
    QString shown = text.isEmpty() ? cursor.selectedText() : text;
    if (shown.isEmpty())
        shown = href;
    QString target = href;
    if (target.contains(QLatin1Char(' ')) || target.contains(QLatin1Char(')')))
        target = QLatin1Char('<') + target + QLatin1Char('>');
    cursor.insertText(QStringLiteral("[%1](%2)").arg(shown, target));
}

void CMarkdownPane::InsertPicture(const QString& address) {
    m_source->textCursor().insertText(QStringLiteral("![](%1)").arg(address));
}
