#include "ui/editor/RichTextHtml.h"

#include "ui/editor/PictureDialog.h"

#include <QFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

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
    bool picture = false;

    bool SameLook(const Run& other) const {
        return !picture && !other.picture && href == other.href && bold == other.bold &&
               italic == other.italic && underline == other.underline && strike == other.strike;
    }
};

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

std::vector<Run> Runs(const QTextBlock& block) {
    std::vector<Run> runs;
    // A heading is bold by its own look; only other styles are written inside it.
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
        if (!runs.empty() && runs.back().SameLook(run))
            runs.back().html += run.html;
        else
            runs.push_back(run);
    }
    return runs;
}

QString Inline(const QTextBlock& block) {
    QString html;
    QString openHref;
    for (const Run& run : Runs(block)) {
        if (run.href != openHref) {
            if (!openHref.isEmpty())
                html += QStringLiteral("</a>");
            if (!run.href.isEmpty())
                html += QStringLiteral("<a href=\"%1\">").arg(run.href.toHtmlEscaped());
            openHref = run.href;
        }
        QString piece = run.html;
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

} // namespace

QString CRichTextHtml::Fragment(const QTextDocument& document) {
    QStringList parts;
    QString current;    // the part being built (a quotation or a list gathers several blocks)
    int quoteLevel = 0; // quotations open around current
    QTextList* openList = nullptr;

    auto closeList = [&] {
        if (openList) {
            const bool ordered = openList->format().style() <= QTextListFormat::ListDecimal &&
                                 openList->format().style() != QTextListFormat::ListStyleUndefined;
            current += ordered ? QStringLiteral("</ol>") : QStringLiteral("</ul>");
            openList = nullptr;
        }
    };
    auto flush = [&] {
        closeList();
        for (; quoteLevel > 0; --quoteLevel)
            current += QStringLiteral("</blockquote>");
        if (!current.isEmpty())
            parts << current;
        current.clear();
    };

    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int level = QuoteLevel(block);
        QTextList* list = block.textList();
        if (level != quoteLevel) {
            if (level < quoteLevel || quoteLevel == 0)
                flush();
            else
                closeList();
            for (; quoteLevel < level; ++quoteLevel)
                current += QStringLiteral("<blockquote>");
        }
        const QString text = Inline(block);
        if (list) {
            if (list != openList) {
                closeList();
                const QTextListFormat::Style style = list->format().style();
                const bool ordered = style <= QTextListFormat::ListDecimal &&
                                     style != QTextListFormat::ListStyleUndefined;
                current += ordered ? QStringLiteral("<ol>") : QStringLiteral("<ul>");
                openList = list;
            }
            current += QStringLiteral("<li>") + text + QStringLiteral("</li>");
            continue;
        }
        closeList();
        if (text.isEmpty())
            continue; // an empty line of the editor is no paragraph of the post
        const int heading = block.blockFormat().headingLevel();
        const QString tag =
            heading >= 1 && heading <= 6 ? QStringLiteral("h%1").arg(heading) : QStringLiteral("p");
        const QString element = QStringLiteral("<%1>%2</%1>").arg(tag, text);
        if (quoteLevel > 0) {
            current += element;
        } else {
            flush();
            parts << element;
        }
    }
    flush();
    return parts.join(QLatin1Char('\n'));
}
