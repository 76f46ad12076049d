#pragma once

#include <QString>

class QTextCharFormat;
class QTextDocument;

// Writes what the rich text editor holds as the plain HTML a weblog post wants: paragraphs and
// their alignment, headings, quotations, nested lists, code blocks, horizontal rules, tables,
// line breaks, bold, italic, underline, struck text, inline code, colours, highlight, size
// steps, links and pictures, without the style sheet, the fonts and the html/body frame that
// QTextDocument::toHtml adds.
class CRichTextHtml {
public:
    static QString Fragment(const QTextDocument& document);
    // Whether text of this look is code (set by the editor, or read from <code>).
    static bool IsCode(const QTextCharFormat& format);
};
