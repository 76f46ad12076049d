#pragma once

#include <QSplitter>

class QPlainTextEdit;
class QTextBrowser;
class QTimer;

// The article in Markdown: the source on the left, the HTML it gives (cmark-gfm, as it will be
// published) on the right, drawn again a moment after typing stops.
class CMarkdownPane : public QSplitter {
    Q_OBJECT
public:
    explicit CMarkdownPane(QWidget* parent = nullptr);

    QString Markdown() const;
    void SetMarkdown(const QString& markdown);
    // The look of the account's editor page, for the preview.
    void SetStyleSheet(const QString& css);

    // Wraps the selection (or an empty place between the marks) in Markdown marks.
    void Wrap(const QString& open, const QString& close);
    void InsertLink(const QString& href, const QString& text);
    void InsertPicture(const QString& address);

    QPlainTextEdit* SourceEdit() const { return m_source; }
    QTextBrowser* Preview() const { return m_preview; }
    // Draws the preview now (tests; the window before counting words).
    void UpdatePreview();

signals:
    // The preview was drawn again.
    void PreviewUpdated();

private:
    QPlainTextEdit* m_source = nullptr;
    QTextBrowser* m_preview = nullptr;
    QTimer* m_delay = nullptr;
};
