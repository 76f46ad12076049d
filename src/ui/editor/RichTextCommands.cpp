#include "ui/editor/RichTextCommands.h"

#include "ui/editor/RichTextHtml.h"

#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <vector>

namespace {

// The size step of each heading's text, as Qt reads <h1> .. <h4>.
int HeadingSize(int level) {
    return std::max(0, 4 - level);
}

constexpr int kQuoteIndent = 40;

// A run of characters of one look between start and end.
struct Piece {
    int from = 0;
    int to = 0;
    QTextCharFormat format;
};

// Gathered before any is changed: changing a look splits and joins the fragments under a
// block's iterator.
std::vector<Piece> Pieces(QTextDocument* document, int start, int end) {
    std::vector<Piece> pieces;
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() <= end;
         block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(start, fragment.position());
            const int to = std::min(end, fragment.position() + fragment.length());
            if (from < to)
                pieces.push_back({.from = from, .to = to, .format = fragment.charFormat()});
        }
    }
    return pieces;
}

void SetLook(QTextDocument* document, const Piece& piece, const QTextCharFormat& format) {
    QTextCursor cursor(document);
    cursor.setPosition(piece.from);
    cursor.setPosition(piece.to, QTextCursor::KeepAnchor);
    cursor.setCharFormat(format);
}

} // namespace

void CRichTextCommands::MergeFormat(const QTextCharFormat& format) {
    // The selection, or what is typed next.
    m_edit.mergeCurrentCharFormat(format);
}

void CRichTextCommands::SetParagraphStyle(ParagraphStyle style) {
    QTextCursor cursor = m_edit.textCursor();
    cursor.beginEditBlock();
    QTextBlockFormat block = cursor.blockFormat();
    const int level = style >= ParagraphStyle::kHeading1 && style <= ParagraphStyle::kHeading4
                          ? static_cast<int>(style)
                          : 0;
    block.setHeadingLevel(level);
    block.setNonBreakableLines(style == ParagraphStyle::kCode);
    if (style == ParagraphStyle::kQuote) {
        block.setProperty(QTextFormat::BlockQuoteLevel, 1);
        block.setLeftMargin(kQuoteIndent);
        block.setRightMargin(kQuoteIndent);
    } else {
        block.clearProperty(QTextFormat::BlockQuoteLevel);
        block.setLeftMargin(0);
        block.setRightMargin(0);
    }
    cursor.setBlockFormat(block);
    // The look of the whole paragraphs' text follows the style.
    QTextCursor text = cursor;
    const int end = std::max(cursor.position(), cursor.anchor());
    text.setPosition(std::min(cursor.position(), cursor.anchor()));
    text.movePosition(QTextCursor::StartOfBlock);
    text.setPosition(end, QTextCursor::KeepAnchor);
    text.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat look;
    look.setFontWeight(level ? QFont::Bold : QFont::Normal);
    look.setProperty(QTextFormat::FontSizeAdjustment, level ? HeadingSize(level) : 0);
    look.setFontFixedPitch(style == ParagraphStyle::kCode);
    look.setFontFamilies(style == ParagraphStyle::kCode ? QStringList{QStringLiteral("monospace")}
                                                        : QStringList{});
    if (style != ParagraphStyle::kCode)
        look.clearProperty(QTextFormat::FontFamilies);
    text.mergeCharFormat(look);
    if (style != ParagraphStyle::kCode) {
        // Only the families the code style gave go; mergeCharFormat cannot remove them.
        for (Piece& piece : Pieces(text.document(), text.selectionStart(), text.selectionEnd())) {
            if (!piece.format.hasProperty(QTextFormat::FontFamilies) &&
                !piece.format.hasProperty(QTextFormat::FontFixedPitch))
                continue;
            piece.format.clearProperty(QTextFormat::FontFamilies);
            piece.format.clearProperty(QTextFormat::FontFixedPitch);
            SetLook(text.document(), piece, piece.format);
        }
    }
    cursor.endEditBlock();
    m_edit.setCurrentCharFormat(text.charFormat());
}

ParagraphStyle CRichTextCommands::CurrentParagraphStyle() const {
    const QTextBlockFormat block = m_edit.textCursor().blockFormat();
    if (block.nonBreakableLines())
        return ParagraphStyle::kCode;
    if (block.headingLevel() >= 1 && block.headingLevel() <= 4)
        return static_cast<ParagraphStyle>(block.headingLevel());
    if (block.intProperty(QTextFormat::BlockQuoteLevel) > 0)
        return ParagraphStyle::kQuote;
    return ParagraphStyle::kBody;
}

void CRichTextCommands::ToggleBold() {
    QTextCharFormat format;
    format.setFontWeight(m_edit.fontWeight() >= QFont::Bold ? QFont::Normal : QFont::Bold);
    MergeFormat(format);
}

void CRichTextCommands::ToggleItalic() {
    QTextCharFormat format;
    format.setFontItalic(!m_edit.fontItalic());
    MergeFormat(format);
}

void CRichTextCommands::ToggleUnderline() {
    QTextCharFormat format;
    format.setFontUnderline(!m_edit.fontUnderline());
    MergeFormat(format);
}

void CRichTextCommands::ToggleStrike() {
    QTextCharFormat format;
    format.setFontStrikeOut(!m_edit.currentCharFormat().fontStrikeOut());
    MergeFormat(format);
}

void CRichTextCommands::ToggleInlineCode() {
    const bool code = CRichTextHtml::IsCode(m_edit.currentCharFormat());
    if (!code) {
        QTextCharFormat format;
        format.setFontFixedPitch(true);
        format.setFontFamilies(QStringList{QStringLiteral("monospace")});
        MergeFormat(format);
        return;
    }
    // Code's font goes; the other looks stay.
    QTextCursor cursor = m_edit.textCursor();
    QTextCharFormat format = m_edit.currentCharFormat();
    format.clearProperty(QTextFormat::FontFamilies);
    format.clearProperty(QTextFormat::FontFixedPitch);
    if (cursor.hasSelection())
        cursor.setCharFormat(format);
    m_edit.setCurrentCharFormat(format);
}

void CRichTextCommands::SetTextColor(const QColor& color) {
    QTextCharFormat format;
    format.setForeground(color);
    MergeFormat(format);
}

void CRichTextCommands::SetHighlight(const QColor& color) {
    QTextCharFormat format;
    format.setBackground(color);
    MergeFormat(format);
}

void CRichTextCommands::StepFontSize(int steps) {
    const int now = m_edit.currentCharFormat().intProperty(QTextFormat::FontSizeAdjustment);
    QTextCharFormat format;
    format.setProperty(QTextFormat::FontSizeAdjustment, std::clamp(now + steps, -1, 3));
    MergeFormat(format);
}

void CRichTextCommands::ClearFormatting() {
    QTextCursor cursor = m_edit.textCursor();
    if (!cursor.hasSelection()) {
        m_edit.setCurrentCharFormat(QTextCharFormat());
        return;
    }
    cursor.beginEditBlock();
    for (const Piece& piece :
         Pieces(m_edit.document(), cursor.selectionStart(), cursor.selectionEnd())) {
        if (piece.format.isImageFormat())
            continue;
        QTextCharFormat plain;
        if (piece.format.isAnchor()) {
            plain.setAnchor(true);
            plain.setAnchorHref(piece.format.anchorHref());
            plain.setFontUnderline(true);
            plain.setForeground(piece.format.foreground());
        }
        SetLook(m_edit.document(), piece, plain);
    }
    cursor.endEditBlock();
    m_edit.setCurrentCharFormat(QTextCharFormat());
}

void CRichTextCommands::ToggleList(QTextListFormat::Style style) {
    QTextCursor cursor = m_edit.textCursor();
    cursor.beginEditBlock();
    if (QTextList* list = cursor.currentList(); list && list->format().style() == style) {
        // Out of the list: the paragraphs become plain ones again.
        const int start = cursor.selectionStart();
        const int end = cursor.selectionEnd();
        for (QTextBlock block = m_edit.document()->findBlock(start);
             block.isValid() && block.position() <= end; block = block.next()) {
            if (QTextList* blockList = block.textList())
                blockList->remove(block);
            QTextCursor at(block);
            QTextBlockFormat format = block.blockFormat();
            format.setIndent(0);
            at.setBlockFormat(format);
        }
    } else {
        QTextListFormat format;
        format.setStyle(style);
        format.setIndent(std::max(1, cursor.blockFormat().indent() + 1));
        cursor.createList(format);
    }
    cursor.endEditBlock();
}

void CRichTextCommands::IndentBy(int steps) {
    QTextCursor cursor = m_edit.textCursor();
    cursor.beginEditBlock();
    if (QTextList* list = cursor.currentList()) {
        const int indent = list->format().indent() + steps;
        const QTextBlock block = cursor.block();
        if (indent < 1) {
            list->remove(block);
        } else {
            // The item moves into a list of its own at the new depth.
            QTextListFormat format = list->format();
            format.setIndent(indent);
            if (steps > 0) {
                cursor.createList(format);
            } else {
                // Back into the enclosing list when there is one at that depth before it.
                QTextList* outer = nullptr;
                for (QTextBlock b = block.previous(); b.isValid(); b = b.previous()) {
                    QTextList* candidate = b.textList();
                    if (!candidate)
                        break;
                    if (candidate->format().indent() == indent) {
                        outer = candidate;
                        break;
                    }
                }
                list->remove(block);
                if (outer)
                    outer->add(block);
                else
                    cursor.createList(format);
            }
        }
    } else {
        QTextBlockFormat format = cursor.blockFormat();
        format.setIndent(std::max(0, format.indent() + steps));
        cursor.setBlockFormat(format);
    }
    cursor.endEditBlock();
}

void CRichTextCommands::Indent() {
    IndentBy(1);
}

void CRichTextCommands::Outdent() {
    IndentBy(-1);
}

void CRichTextCommands::SetAlignment(Qt::Alignment alignment) {
    QTextBlockFormat format;
    format.setAlignment(alignment);
    m_edit.textCursor().mergeBlockFormat(format);
}

void CRichTextCommands::InsertHorizontalRule() {
    QTextCursor cursor = m_edit.textCursor();
    cursor.beginEditBlock();
    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                     QTextLength(QTextLength::PercentageLength, 100));
    if (!cursor.block().text().isEmpty())
        cursor.insertBlock();
    cursor.setBlockFormat(rule);
    cursor.insertBlock(QTextBlockFormat());
    cursor.endEditBlock();
    m_edit.setTextCursor(cursor);
}

void CRichTextCommands::InsertTable(int rows, int columns) {
    QTextTableFormat format;
    format.setHeaderRowCount(1);
    format.setBorder(1);
    format.setCellPadding(4);
    format.setCellSpacing(0);
    format.setBorderCollapse(true);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QTextCursor cursor = m_edit.textCursor();
    QTextTable* table = cursor.insertTable(std::max(1, rows), std::max(1, columns), format);
    m_edit.setTextCursor(table->cellAt(0, 0).firstCursorPosition());
}

bool CRichTextCommands::InsertRow() {
    QTextTable* table = m_edit.textCursor().currentTable();
    if (!table)
        return false;
    table->insertRows(table->cellAt(m_edit.textCursor()).row() + 1, 1);
    return true;
}

bool CRichTextCommands::RemoveRow() {
    QTextTable* table = m_edit.textCursor().currentTable();
    if (!table)
        return false;
    if (table->rows() == 1)
        table->removeRows(0, 1); // the last row takes the table with it
    else
        table->removeRows(table->cellAt(m_edit.textCursor()).row(), 1);
    return true;
}

bool CRichTextCommands::InsertColumn() {
    QTextTable* table = m_edit.textCursor().currentTable();
    if (!table)
        return false;
    table->insertColumns(table->cellAt(m_edit.textCursor()).column() + 1, 1);
    return true;
}

bool CRichTextCommands::RemoveColumn() {
    QTextTable* table = m_edit.textCursor().currentTable();
    if (!table)
        return false;
    table->removeColumns(table->cellAt(m_edit.textCursor()).column(), 1);
    return true;
}

bool CRichTextCommands::SelectLinkAtCursor(QString& href, QString& text) {
    QTextCursor cursor = m_edit.textCursor();
    QTextCharFormat format = cursor.charFormat();
    if (!format.isAnchor() && !cursor.atBlockEnd()) {
        QTextCursor next = cursor;
        next.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        format = next.charFormat();
    }
    if (!format.isAnchor())
        return false;
    href = format.anchorHref();
    // The link's extent: the fragments around the cursor with the same address.
    const QTextBlock block = cursor.block();
    int start = -1;
    int end = -1;
    const int at = cursor.position();
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const bool same =
            fragment.charFormat().isAnchor() && fragment.charFormat().anchorHref() == href;
        if (same && start < 0)
            start = fragment.position();
        if (same)
            end = fragment.position() + fragment.length();
        if (!same && start >= 0) {
            if (end >= at)
                break;
            start = end = -1;
        }
    }
    if (start < 0)
        return false;
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    m_edit.setTextCursor(cursor);
    text = cursor.selectedText();
    return true;
}

void CRichTextCommands::SetLink(const QString& href, const QString& text) {
    QTextCursor cursor = m_edit.textCursor();
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorHref(href);
    format.setFontUnderline(true);
    format.setForeground(m_edit.palette().link());
    const QString shown = text.isEmpty() ? (cursor.hasSelection() ? QString() : href) : text;
    if (!shown.isEmpty() && shown != cursor.selectedText()) {
        cursor.insertText(shown, format);
    } else {
        cursor.mergeCharFormat(format);
    }
    // What is typed after the link is no longer part of it.
    cursor.clearSelection();
    m_edit.setTextCursor(cursor);
    QTextCharFormat plain = format;
    plain.setAnchor(false);
    plain.clearProperty(QTextFormat::AnchorHref);
    plain.clearForeground();
    plain.setFontUnderline(false);
    m_edit.setCurrentCharFormat(plain);
}

void CRichTextCommands::RemoveLink() {
    QString href;
    QString text;
    if (!m_edit.textCursor().hasSelection() && !SelectLinkAtCursor(href, text))
        return;
    QTextCursor cursor = m_edit.textCursor();
    cursor.beginEditBlock();
    for (Piece& piece : Pieces(m_edit.document(), cursor.selectionStart(), cursor.selectionEnd())) {
        if (!piece.format.isAnchor())
            continue;
        piece.format.setAnchor(false);
        piece.format.clearProperty(QTextFormat::AnchorHref);
        piece.format.clearForeground();
        piece.format.setFontUnderline(false);
        SetLook(m_edit.document(), piece, piece.format);
    }
    cursor.endEditBlock();
}
