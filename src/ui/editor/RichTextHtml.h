#pragma once

#include <QString>

class QTextDocument;

// Writes what the rich text editor holds as the plain HTML a weblog post wants: paragraphs,
// headings, quotations, lists, line breaks, bold, italic, underline, struck text, links and
// pictures, without the style sheet, the inline styles and the html/body frame that
// QTextDocument::toHtml adds.
class CRichTextHtml {
public:
    static QString Fragment(const QTextDocument& document);
};
