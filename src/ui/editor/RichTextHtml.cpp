#include "ui/editor/RichTextHtml.h"

#include "ui/editor/PictureDialog.h"

#include <QColor>
#include <QFont>
#include <QRegularExpression>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>
#include <QTextTable>

#include <vector>

namespace {

// A piece of a paragraph with one look.
struct Run {
    QString html; // escaped text or a picture element
    QString href; // the link it belongs to, empty for none
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool code = false;
    QString style; // the colours and the size, as a span's style
    bool picture = false;

    bool SameLook(const Run& other) const {
        return !picture && !other.picture && href == other.href && bold == other.bold &&
               italic == other.italic && underline == other.underline && strike == other.strike &&
               code == other.code && style == other.style;
    }
};

// The size steps of the editor, as the named sizes of CSS (which Qt reads back as the same steps).
QString SizeName(int adjustment) {
    switch (adjustment) {
    case -1:
        return QStringLiteral("small");
    case 1:
        return QStringLiteral("large");
    case 2:
        return QStringLiteral("x-large");
    case 3:
        return QStringLiteral("xx-large");
    default:
        return {};
    }
}

// sheet: the colours the editor page's style sheet gives headings, quotations and code, the
// page's look, which the post does not carry.
QString SpanStyle(const QTextCharFormat& format, bool link, bool heading,
                  const QSet<QString>& sheet) {
    QStringList style;
    // A link's colour is the link's look, not the text's.
    if (!link && format.hasProperty(QTextFormat::ForegroundBrush) &&
        format.foreground().style() != Qt::NoBrush &&
        !sheet.contains(format.foreground().color().name()))
        style << QStringLiteral("color:") + format.foreground().color().name();
    if (format.hasProperty(QTextFormat::BackgroundBrush) &&
        format.background().style() != Qt::NoBrush &&
        !sheet.contains(format.background().color().name()))
        style << QStringLiteral("background-color:") + format.background().color().name();
    const QString size =
        heading ? QString() : SizeName(format.intProperty(QTextFormat::FontSizeAdjustment));
    if (!size.isEmpty())
        style << QStringLiteral("font-size:") + size;
    return style.join(QLatin1Char(';'));
}

QString Escape(const QString& text) {
    QString html = text.toHtmlEscaped();
    html.replace(QChar::LineSeparator, QStringLiteral("<br>"));
    html.replace(QChar(QChar::Nbsp), QStringLiteral("&nbsp;"));
    return html;
}

// What the picture dialog set: the alternative text, the size and the place.
QString PictureAttributes(const QTextImageFormat& image) {
    QString html =
        QStringLiteral(" alt=\"%1\"")
            .arg(image.property(CPictureDialog::kAltProperty).toString().toHtmlEscaped());
    if (image.width() > 0)
        html += QStringLiteral(" width=\"%1\"").arg(qRound(image.width()));
    if (image.height() > 0)
        html += QStringLiteral(" height=\"%1\"").arg(qRound(image.height()));
    switch (
        static_cast<PictureLook::Place>(image.property(CPictureDialog::kPlaceProperty).toInt())) {
    case PictureLook::Place::kLeft:
        return html + QStringLiteral(" style=\"float:left;margin:0 1em 1em 0\"");
    case PictureLook::Place::kCentre:
        return html + QStringLiteral(" style=\"display:block;margin:0 auto\"");
    case PictureLook::Place::kRight:
        return html + QStringLiteral(" style=\"float:right;margin:0 0 1em 1em\"");
    case PictureLook::Place::kInline:
        break;
    }
    return html;
}

std::vector<Run> Runs(const QTextBlock& block, const QSet<QString>& sheet) {
    std::vector<Run> runs;
    // A heading is bold and large by its own look; only other styles are written inside it.
    const bool heading = block.blockFormat().headingLevel() > 0;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QTextCharFormat format = fragment.charFormat();
        Run run;
        run.href = format.isAnchor() ? format.anchorHref() : QString();
        if (format.isImageFormat()) {
            // One replacement character stands for each picture of the fragment.
            const QString src = format.toImageFormat().name().toHtmlEscaped();
            const QString look = PictureAttributes(format.toImageFormat());
            for (qsizetype i = 0; i < fragment.length(); ++i) {
                run.html = QStringLiteral("<img src=\"%1\"%2>").arg(src, look);
                run.picture = true;
                runs.push_back(run);
            }
            continue;
        }
        run.html = Escape(fragment.text());
        run.bold = !heading && format.fontWeight() >= QFont::Bold;
        run.italic = format.fontItalic();
        // A link is underlined by the importer; that is the link's look, not the text's.
        run.underline = format.fontUnderline() && run.href.isEmpty();
        run.strike = format.fontStrikeOut();
        run.code = CRichTextHtml::IsCode(format);
        run.style = SpanStyle(format, !run.href.isEmpty(), heading, sheet);
        if (!runs.empty() && runs.back().SameLook(run))
            runs.back().html += run.html;
        else
            runs.push_back(run);
    }
    return runs;
}

QString Inline(const QTextBlock& block, const QSet<QString>& sheet) {
    QString html;
    QString openHref;
    for (const Run& run : Runs(block, sheet)) {
        if (run.href != openHref) {
            if (!openHref.isEmpty())
                html += QStringLiteral("</a>");
            if (!run.href.isEmpty())
                html += QStringLiteral("<a href=\"%1\">").arg(run.href.toHtmlEscaped());
            openHref = run.href;
        }
        QString piece = run.html;
        if (run.code)
            piece = QStringLiteral("<code>") + piece + QStringLiteral("</code>");
        if (!run.style.isEmpty())
            piece = QStringLiteral("<span style=\"%1\">%2</span>").arg(run.style, piece);
        if (run.strike)
            piece = QStringLiteral("<s>") + piece + QStringLiteral("</s>");
        if (run.underline)
            piece = QStringLiteral("<u>") + piece + QStringLiteral("</u>");
        if (run.italic)
            piece = QStringLiteral("<em>") + piece + QStringLiteral("</em>");
        if (run.bold)
            piece = QStringLiteral("<strong>") + piece + QStringLiteral("</strong>");
        html += piece;
    }
    if (!openHref.isEmpty())
        html += QStringLiteral("</a>");
    return html;
}

int QuoteLevel(const QTextBlock& block) {
    const QTextBlockFormat format = block.blockFormat();
    if (format.hasProperty(QTextFormat::BlockQuoteLevel))
        return format.intProperty(QTextFormat::BlockQuoteLevel);
    return 0;
}

QString AlignStyle(const QTextBlockFormat& format) {
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignHCenter)
        return QStringLiteral(" style=\"text-align:center\"");
    if (align & Qt::AlignRight)
        return QStringLiteral(" style=\"text-align:right\"");
    if (align & Qt::AlignJustify)
        return QStringLiteral(" style=\"text-align:justify\"");
    return {};
}

bool IsOrdered(const QTextList* list) {
    const QTextListFormat::Style style = list->format().style();
    return style <= QTextListFormat::ListDecimal && style != QTextListFormat::ListStyleUndefined;
}

bool IsCodeBlock(const QTextBlock& block) {
    return block.blockFormat().nonBreakableLines() && !block.textList();
}

// Writes the blocks and tables of a frame.
class CFrameWriter {
public:
    explicit CFrameWriter(QSet<QString> sheet) : sheet(std::move(sheet)) {}
    QStringList parts;

    void Frame(QTextFrame* frame) {
        for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                flush();
                if (auto* table = qobject_cast<QTextTable*>(child))
                    parts << Table(table);
                else
                    Frame(child);
                continue;
            }
            Block(it.currentBlock());
        }
        flush();
    }

private:
    const QSet<QString> sheet; // the style sheet's colours
    QString current;    // the part being built (a quotation, a list, code gather several blocks)
    int quoteLevel = 0; // quotations open around current
    std::vector<QTextList*> lists; // the lists open, outermost first, each with an item open
    QStringList code;              // the lines of the code block being gathered

    void closeCode() {
        if (code.isEmpty())
            return;
        const QString element = QStringLiteral("<pre><code>") +
                                code.join(QLatin1Char('\n')).toHtmlEscaped() +
                                QStringLiteral("\n</code></pre>");
        code.clear();
        if (quoteLevel > 0)
            current += element;
        else
            parts << element;
    }
    void closeLists(size_t keep = 0) {
        while (lists.size() > keep) {
            current +=
                QStringLiteral("</li>") +
                (IsOrdered(lists.back()) ? QStringLiteral("</ol>") : QStringLiteral("</ul>"));
            lists.pop_back();
        }
    }
    void flush() {
        closeCode();
        closeLists();
        for (; quoteLevel > 0; --quoteLevel)
            current += QStringLiteral("</blockquote>");
        if (!current.isEmpty())
            parts << current;
        current.clear();
    }

    void Block(const QTextBlock& block) {
        const int level = QuoteLevel(block);
        QTextList* list = block.textList();
        if (level != quoteLevel) {
            if (level < quoteLevel || quoteLevel == 0)
                flush();
            else {
                closeCode();
                closeLists();
            }
            for (; quoteLevel < level; ++quoteLevel)
                current += QStringLiteral("<blockquote>");
        }
        if (IsCodeBlock(block)) {
            closeLists();
            QString line = block.text();
            line.replace(QChar::LineSeparator, QLatin1Char('\n'));
            code << line;
            return;
        }
        closeCode();
        const QString text = Inline(block, sheet);
        if (list) {
            // Lists of a deeper indent nest in the item before them.
            while (!lists.empty() && lists.back() != list &&
                   lists.back()->format().indent() >= list->format().indent())
                closeLists(lists.size() - 1);
            if (!lists.empty() && lists.back() == list) {
                current += QStringLiteral("</li><li>") + text;
            } else {
                current +=
                    (IsOrdered(list) ? QStringLiteral("<ol><li>") : QStringLiteral("<ul><li>")) +
                    text;
                lists.push_back(list);
            }
            return;
        }
        closeLists();
        QString element;
        if (block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth)) {
            element = QStringLiteral("<hr>");
        } else if (text.isEmpty()) {
            return; // an empty line of the editor is no paragraph of the post
        } else {
            const int heading = block.blockFormat().headingLevel();
            const QString tag = heading >= 1 && heading <= 6 ? QStringLiteral("h%1").arg(heading)
                                                             : QStringLiteral("p");
            element =
                QStringLiteral("<%1%2>%3</%1>").arg(tag, AlignStyle(block.blockFormat()), text);
        }
        if (quoteLevel > 0) {
            current += element;
        } else {
            flush();
            parts << element;
        }
    }

    QString Table(QTextTable* table) const {
        const int headerRows = table->format().headerRowCount();
        QString html = QStringLiteral("<table>");
        for (int row = 0; row < table->rows(); ++row) {
            html += QStringLiteral("<tr>");
            const QString tag = row < headerRows ? QStringLiteral("th") : QStringLiteral("td");
            for (int column = 0; column < table->columns(); ++column) {
                const QTextTableCell cell = table->cellAt(row, column);
                QStringList lines;
                for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it) {
                    if (it.currentBlock().isValid())
                        lines << Inline(it.currentBlock(), sheet);
                }
                html += QStringLiteral("<%1>%2</%1>").arg(tag, lines.join(QStringLiteral("<br>")));
            }
            html += QStringLiteral("</tr>");
        }
        return html + QStringLiteral("</table>");
    }
};

} // namespace

bool CRichTextHtml::IsCode(const QTextCharFormat& format) {
    const QStringList families = format.fontFamilies().toStringList();
    return format.fontFixedPitch() || families.contains(QStringLiteral("monospace")) ||
           families.contains(QStringLiteral("Courier New"));
}

QString CRichTextHtml::Fragment(const QTextDocument& document) {
    QSet<QString> sheet;
    static const QRegularExpression colorValue(QStringLiteral("color\\s*:\\s*([#0-9a-zA-Z]+)"));
    for (auto it = colorValue.globalMatch(document.defaultStyleSheet()); it.hasNext();) {
        const QColor color = QColor::fromString(it.next().captured(1));
        if (color.isValid())
            sheet.insert(color.name());
    }
    CFrameWriter writer(std::move(sheet));
    writer.Frame(document.rootFrame());
    return writer.parts.join(QLatin1Char('\n'));
}
