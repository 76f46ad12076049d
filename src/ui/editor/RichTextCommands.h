#pragma once

#include <QColor>
#include <QString>
#include <QTextListFormat>

class QTextEdit;

// The paragraph styles of the editor's style box.
enum class ParagraphStyle { kBody, kHeading1, kHeading2, kHeading3, kHeading4, kQuote, kCode };

// The editing commands of the rich text editor, on the selection (or the word or paragraph at
// the cursor). Each is one undo step. The HTML they lead to is what CRichTextHtml writes.
class CRichTextCommands {
public:
    explicit CRichTextCommands(QTextEdit& edit) : m_edit(edit) {}

    void SetParagraphStyle(ParagraphStyle style);
    ParagraphStyle CurrentParagraphStyle() const;

    void ToggleBold();
    void ToggleItalic();
    void ToggleUnderline();
    void ToggleStrike();
    void ToggleInlineCode();
    void SetTextColor(const QColor& color);
    void SetHighlight(const QColor& color);
    // One step bigger (+1) or smaller (-1): small, normal, large, x-large, xx-large.
    void StepFontSize(int steps);
    // Removes the looks of the characters (bold ... size), keeping links and pictures.
    void ClearFormatting();

    // A list of this style around the paragraphs, or none when they are in one already.
    void ToggleList(QTextListFormat::Style style);
    // A list item one level deeper (a list of its own) or shallower; other paragraphs move
    // their indent.
    void Indent();
    void Outdent();
    void SetAlignment(Qt::Alignment alignment);
    void InsertHorizontalRule();

    // A table whose first row is its header.
    void InsertTable(int rows, int columns);
    // False when the cursor is not in a table.
    bool InsertRow();
    bool RemoveRow();
    bool InsertColumn();
    bool RemoveColumn();

    // The link at the cursor, its whole text selected; false when there is none.
    bool SelectLinkAtCursor(QString& href, QString& text);
    // Makes the selection (or the given text, inserted) a link to href; an existing link at
    // the cursor is changed.
    void SetLink(const QString& href, const QString& text);
    void RemoveLink();

private:
    void MergeFormat(const QTextCharFormat& format);
    void IndentBy(int steps);

    QTextEdit& m_edit;
};
