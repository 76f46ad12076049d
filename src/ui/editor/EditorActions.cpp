#include "ui/editor/EditorActions.h"

#include "ui/editor/EditorWindow.h"
#include "ui/editor/FindReplaceBar.h"
#include "ui/editor/MarkdownPane.h"
#include "ui/editor/RichTextCommands.h"
#include "workspace/EditorSession.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDockWidget>
#include <QIcon>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

namespace {

// A toolbar picture drawn from a few characters, for desktops whose theme lacks the icon.
QIcon GlyphIcon(const QString& glyph) {
    QIcon icon;
    for (int size : {16, 22, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(glyph.size() > 2   ? size * 5 / 12
                          : glyph.size() > 1 ? size / 2
                                             : size * 3 / 4);
        painter.setFont(font);
        painter.setPen(QColor(0x30, 0x30, 0x30));
        painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString Tip(const QString& text, const QKeySequence& keys) {
    if (keys.isEmpty())
        return text;
    return QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText));
}

} // namespace

CEditorActions::CEditorActions(CEditorWindow& window) : QObject(&window), m_window(window) {
    QMenuBar* menus = window.menuBar();
    QToolBar* main = window.addToolBar(QStringLiteral("编辑"));
    main->setObjectName(QStringLiteral("editorToolBar"));
    window.addToolBarBreak();
    QToolBar* format = window.addToolBar(QStringLiteral("格式"));
    format->setObjectName(QStringLiteral("formatToolBar"));
    BuildFile(menus->addMenu(QStringLiteral("文件(&F)")), main);
    main->addSeparator();
    BuildEdit(menus->addMenu(QStringLiteral("编辑(&E)")), main);
    main->addSeparator();
    BuildFormat(menus->addMenu(QStringLiteral("格式(&O)")), format);
    format->addSeparator();
    BuildInsert(menus->addMenu(QStringLiteral("插入(&I)")), format);
    BuildView(menus->addMenu(QStringLiteral("视图(&V)")), main);
    for (QWidget* editor :
         {static_cast<QWidget*>(window.RichEdit()), static_cast<QWidget*>(window.SourceEdit()),
          static_cast<QWidget*>(window.MarkdownPane()->SourceEdit())})
        editor->installEventFilter(this);
    UpdateState();
}

bool CEditorActions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const auto& [name, action] : m_actions) {
        // Undo and redo are the editor's own, which does the same.
        if (action->shortcut() == keys && action->isEnabled() && name != QStringLiteral("undo") &&
            name != QStringLiteral("redo")) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QAction* CEditorActions::Add(QMenu* menu, QToolBar* bar, const char* name, const QString& text,
                             const char* theme, const QString& glyph, const QKeySequence& keys,
                             std::function<void()> slot, bool richOnly) {
    const QIcon themed = theme ? QIcon::fromTheme(QString::fromLatin1(theme)) : QIcon();
    auto* action = new QAction(themed.isNull() ? GlyphIcon(glyph) : themed, text, &m_window);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    action->setToolTip(Tip(text, keys));
    action->setStatusTip(text);
    connect(action, &QAction::triggered, this, std::move(slot));
    if (menu)
        menu->addAction(action);
    if (bar)
        bar->addAction(action);
    m_window.addAction(action); // the shortcut works whatever has the focus
    m_actions[action->objectName()] = action;
    if (richOnly)
        m_richOnly.push_back(action);
    return action;
}

QAction* CEditorActions::Action(const QString& name) const {
    const auto found = m_actions.find(name);
    return found == m_actions.end() ? nullptr : found->second;
}

void CEditorActions::BuildFile(QMenu* menu, QToolBar* bar) {
    CEditorWindow& w = m_window;
    Add(
        menu, bar, "save", QStringLiteral("保存"), "document-save", QStringLiteral("存"),
        QKeySequence::Save, [&w] { w.Save(); }, false);
    QAction* publish = Add(
        menu, bar, "publish", QStringLiteral("发布"), "mail-send", QStringLiteral("发"),
        QKeySequence(Qt::CTRL | Qt::Key_Return), [&w] { w.Publish(); }, false);
    // The keypad's Enter too.
    publish->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    menu->addSeparator();
    Add(
        menu, nullptr, "close", QStringLiteral("关闭"), "window-close", QStringLiteral("×"),
        QKeySequence::Close, [&w] { w.close(); }, false);
}

void CEditorActions::BuildEdit(QMenu* menu, QToolBar* bar) {
    CEditorWindow& w = m_window;
    Add(
        menu, bar, "undo", QStringLiteral("撤销"), "edit-undo", QStringLiteral("↶"),
        QKeySequence(Qt::CTRL | Qt::Key_Z), [&w] { w.Undo(); }, false);
    Add(
        menu, bar, "redo", QStringLiteral("重做"), "edit-redo", QStringLiteral("↷"),
        QKeySequence(Qt::CTRL | Qt::Key_Y), [&w] { w.Redo(); }, false);
    menu->addSeparator();
    bar->addSeparator();
    Add(
        menu, bar, "find", QStringLiteral("查找"), "edit-find", QStringLiteral("找"),
        QKeySequence(Qt::CTRL | Qt::Key_F), [&w] { w.FindBar()->ShowFind(); }, false);
    Add(
        menu, bar, "replace", QStringLiteral("替换"), "edit-find-replace", QStringLiteral("⇄"),
        QKeySequence(Qt::CTRL | Qt::Key_H), [&w] { w.FindBar()->ShowReplace(); }, false);
    Add(
        menu, nullptr, "findNext", QStringLiteral("查找下一个"), nullptr, QStringLiteral("↓"),
        QKeySequence(Qt::Key_F3), [&w] { w.FindBar()->FindNext(); }, false);
    menu->addSeparator();
    m_clearFormat = Add(
        menu, nullptr, "clearFormat", QStringLiteral("清除格式"), "edit-clear",
        QStringLiteral("清"), QKeySequence(Qt::CTRL | Qt::Key_Backslash),
        [&w] { w.Commands().ClearFormatting(); }, true);
}

void CEditorActions::BuildFormat(QMenu* menu, QToolBar* bar) {
    CEditorWindow& w = m_window;
    // The paragraph styles: a box on the toolbar, a submenu with Ctrl+0 .. Ctrl+4.
    const std::pair<ParagraphStyle, QString> styles[] = {
        {ParagraphStyle::kBody, QStringLiteral("正文")},
        {ParagraphStyle::kHeading1, QStringLiteral("标题 1")},
        {ParagraphStyle::kHeading2, QStringLiteral("标题 2")},
        {ParagraphStyle::kHeading3, QStringLiteral("标题 3")},
        {ParagraphStyle::kHeading4, QStringLiteral("标题 4")},
        {ParagraphStyle::kQuote, QStringLiteral("引用")},
        {ParagraphStyle::kCode, QStringLiteral("代码")}};
    m_style = new QComboBox(bar);
    m_style->setObjectName(QStringLiteral("paragraphStyle"));
    m_style->setToolTip(QStringLiteral("段落样式"));
    QMenu* styleMenu = menu->addMenu(QStringLiteral("段落样式"));
    const char* names[] = {"styleBody", "styleH1",    "styleH2",  "styleH3",
                           "styleH4",   "styleQuote", "styleCode"};
    int index = 0;
    for (const auto& [style, text] : styles) {
        m_style->addItem(text, static_cast<int>(style));
        const QKeySequence keys =
            index <= 4 ? QKeySequence(Qt::CTRL | (Qt::Key_0 + index)) : QKeySequence();
        Add(
            styleMenu, nullptr, names[index], text, nullptr, text.left(1), keys,
            [&w, style = style] { w.Commands().SetParagraphStyle(style); }, true);
        ++index;
    }
    bar->addWidget(m_style);
    connect(m_style, qOverload<int>(&QComboBox::activated), this, [this, &w](int i) {
        w.Commands().SetParagraphStyle(static_cast<ParagraphStyle>(m_style->itemData(i).toInt()));
        w.RichEdit()->setFocus();
    });
    menu->addSeparator();

    Add(
        menu, bar, "bold", QStringLiteral("加粗"), "format-text-bold", QStringLiteral("B"),
        QKeySequence::Bold, [&w] { w.ToggleBold(); }, false);
    Add(
        menu, bar, "italic", QStringLiteral("斜体"), "format-text-italic", QStringLiteral("I"),
        QKeySequence::Italic, [&w] { w.ToggleItalic(); }, false);
    Add(
        menu, bar, "underline", QStringLiteral("下划线"), "format-text-underline",
        QStringLiteral("U"), QKeySequence::Underline, [&w] { w.Commands().ToggleUnderline(); },
        true);
    Add(
        menu, bar, "strike", QStringLiteral("删除线"), "format-text-strikethrough",
        QStringLiteral("删"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X),
        [&w] { w.ToggleStrike(); }, false);
    Add(
        menu, bar, "code", QStringLiteral("行内代码"), nullptr, QStringLiteral("</>"),
        QKeySequence(Qt::CTRL | Qt::Key_QuoteLeft), [&w] { w.ToggleInlineCode(); }, false);
    Add(
        menu, bar, "color", QStringLiteral("文字颜色..."), "format-text-color", QStringLiteral("A"),
        QKeySequence(),
        [&w] {
            const QColor color = QColorDialog::getColor(Qt::red, &w, QStringLiteral("文字颜色"));
            if (color.isValid())
                w.Commands().SetTextColor(color);
        },
        true);
    Add(
        menu, bar, "highlight", QStringLiteral("突出显示..."), nullptr, QStringLiteral("亮"),
        QKeySequence(),
        [&w] {
            const QColor color =
                QColorDialog::getColor(Qt::yellow, &w, QStringLiteral("突出显示的颜色"));
            if (color.isValid())
                w.Commands().SetHighlight(color);
        },
        true);
    Add(
        menu, bar, "bigger", QStringLiteral("增大字号"), "format-font-size-more",
        QStringLiteral("A+"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Greater),
        [&w] { w.Commands().StepFontSize(1); }, true);
    Add(
        menu, bar, "smaller", QStringLiteral("减小字号"), "format-font-size-less",
        QStringLiteral("A-"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Less),
        [&w] { w.Commands().StepFontSize(-1); }, true);
    menu->addSeparator();
    bar->addSeparator();
    Add(
        menu, bar, "bullets", QStringLiteral("项目符号列表"), "format-list-unordered",
        QStringLiteral("•≡"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8),
        [&w] { w.Commands().ToggleList(QTextListFormat::ListDisc); }, true);
    Add(
        menu, bar, "numbers", QStringLiteral("编号列表"), "format-list-ordered",
        QStringLiteral("1≡"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_7),
        [&w] { w.Commands().ToggleList(QTextListFormat::ListDecimal); }, true);
    Add(
        menu, bar, "indent", QStringLiteral("增加缩进"), "format-indent-more", QStringLiteral("→≡"),
        QKeySequence(Qt::CTRL | Qt::Key_BracketRight), [&w] { w.Commands().Indent(); }, true);
    Add(
        menu, bar, "outdent", QStringLiteral("减少缩进"), "format-indent-less",
        QStringLiteral("←≡"), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
        [&w] { w.Commands().Outdent(); }, true);
    menu->addSeparator();
    bar->addSeparator();
    Add(
        menu, bar, "alignLeft", QStringLiteral("左对齐"), "format-justify-left",
        QStringLiteral("左"), QKeySequence(Qt::CTRL | Qt::Key_L),
        [&w] { w.Commands().SetAlignment(Qt::AlignLeft | Qt::AlignAbsolute); }, true);
    Add(
        menu, bar, "alignCenter", QStringLiteral("居中"), "format-justify-center",
        QStringLiteral("中"), QKeySequence(Qt::CTRL | Qt::Key_E),
        [&w] { w.Commands().SetAlignment(Qt::AlignHCenter); }, true);
    Add(
        menu, bar, "alignRight", QStringLiteral("右对齐"), "format-justify-right",
        QStringLiteral("右"), QKeySequence(Qt::CTRL | Qt::Key_R),
        [&w] { w.Commands().SetAlignment(Qt::AlignRight | Qt::AlignAbsolute); }, true);
}

void CEditorActions::BuildInsert(QMenu* menu, QToolBar* bar) {
    CEditorWindow& w = m_window;
    Add(
        menu, bar, "link", QStringLiteral("插入或编辑链接..."), "insert-link", QStringLiteral("链"),
        QKeySequence(Qt::CTRL | Qt::Key_K), [&w] { w.AskLink(); }, false);
    Add(
        menu, bar, "unlink", QStringLiteral("移除链接"), nullptr, QStringLiteral("断"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), [&w] { w.Commands().RemoveLink(); }, true);
    Add(
        menu, bar, "picture", QStringLiteral("插入图片..."), "insert-image", QStringLiteral("图"),
        QKeySequence(), [&w] { w.AskPicture(); }, false);
    Add(
        menu, bar, "rule", QStringLiteral("水平线"), nullptr, QStringLiteral("—"), QKeySequence(),
        [&w] { w.Commands().InsertHorizontalRule(); }, true);
    QMenu* table = menu->addMenu(QStringLiteral("表格"));
    QAction* insertTable = Add(
        table, bar, "table", QStringLiteral("插入表格..."), "insert-table", QStringLiteral("▦"),
        QKeySequence(),
        [&w] {
            bool ok = false;
            const QString size = QInputDialog::getText(
                &w, QStringLiteral("插入表格"), QStringLiteral("行数 x 列数 (第一行是表头):"),
                QLineEdit::Normal, QStringLiteral("3 x 3"), &ok);
            if (!ok)
                return;
            const QStringList parts =
                size.split(QRegularExpression(QStringLiteral("[^0-9]+")), Qt::SkipEmptyParts);
            const int rows = parts.size() == 2 ? parts[0].toInt() : 0;
            const int columns = parts.size() == 2 ? parts[1].toInt() : 0;
            if (rows < 1 || columns < 1 || rows > 100 || columns > 20) {
                w.statusBar()->showMessage(
                    QStringLiteral("表格的大小写成 \"行数 x 列数\", 最多 100 行 20 列: ") + size);
                return;
            }
            w.Commands().InsertTable(rows, columns);
        },
        true);
    auto tableStep = [&w](bool (CRichTextCommands::*step)()) {
        return [&w, step] {
            if (!(w.Commands().*step)())
                w.statusBar()->showMessage(QStringLiteral("光标不在表格里"));
        };
    };
    Add(table, nullptr, "rowAdd", QStringLiteral("在下方插入行"), nullptr, QStringLiteral("+—"),
        QKeySequence(), tableStep(&CRichTextCommands::InsertRow), true);
    Add(table, nullptr, "rowRemove", QStringLiteral("删除行"), nullptr, QStringLiteral("−—"),
        QKeySequence(), tableStep(&CRichTextCommands::RemoveRow), true);
    Add(table, nullptr, "columnAdd", QStringLiteral("在右侧插入列"), nullptr, QStringLiteral("+|"),
        QKeySequence(), tableStep(&CRichTextCommands::InsertColumn), true);
    Add(table, nullptr, "columnRemove", QStringLiteral("删除列"), nullptr, QStringLiteral("−|"),
        QKeySequence(), tableStep(&CRichTextCommands::RemoveColumn), true);
    // On the toolbar the table button opens the rows and columns commands beside it.
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(insertTable))) {
        auto* steps = new QMenu(button);
        for (const char* name : {"rowAdd", "rowRemove", "columnAdd", "columnRemove"})
            steps->addAction(Action(QString::fromLatin1(name)));
        button->setMenu(steps);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    bar->addAction(m_clearFormat);
}

void CEditorActions::BuildView(QMenu* menu, QToolBar* bar) {
    CEditorWindow& w = m_window;
    bar->addSeparator();
    QAction* markdown = Add(
        menu, bar, "markdown", QStringLiteral("Markdown"), nullptr, QStringLiteral("M↓"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), [] {}, false);
    markdown->setCheckable(true);
    markdown->setToolTip(QStringLiteral("用 Markdown 写这篇文章 (%1); 账户的新文章沿用这个方式")
                             .arg(markdown->shortcut().toString(QKeySequence::NativeText)));
    connect(markdown, &QAction::triggered, this, [this, &w](bool on) {
        QString refusal;
        if (!w.SetFormat(on ? EditorFormat::kMarkdown : EditorFormat::kRich, refusal))
            w.ShowRefusal(refusal);
        UpdateState();
    });
    QAction* source = Add(
        menu, bar, "source", QStringLiteral("HTML 源代码"), "text-html", QStringLiteral("<>"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H), [] {}, false);
    source->setCheckable(true);
    connect(source, &QAction::toggled, this, [this, &w](bool on) {
        w.SetSourceView(on);
        UpdateState();
    });
    // The post's options beside the article (a dock the user may also close or float).
    if (auto* dock = w.findChild<QDockWidget*>(QStringLiteral("postOptionsDock"))) {
        QAction* options = Add(
            menu, bar, "postOptions", QStringLiteral("文章选项"), "document-properties",
            QStringLiteral("⚙"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), [] {}, false);
        options->setCheckable(true);
        options->setChecked(true);
        options->setToolTip(QStringLiteral("显示或隐藏文章选项: 分类, 摘要, 别名, 发布时间 (%1)")
                                .arg(options->shortcut().toString(QKeySequence::NativeText)));
        connect(options, &QAction::toggled, dock, &QDockWidget::setVisible);
        connect(dock->toggleViewAction(), &QAction::toggled, options, &QAction::setChecked);
    }
    menu->addSeparator();
    QAction* spelling = Add(
        menu, nullptr, "spelling", QStringLiteral("检查英文拼写"), nullptr, QStringLiteral("abc"),
        QKeySequence(Qt::Key_F7), [] {}, false);
    spelling->setCheckable(true);
    connect(spelling, &QAction::triggered, this, [&w](bool on) { w.SetSpellCheck(on); });
}

void CEditorActions::UpdateState() {
    const bool rich = m_window.Format() == EditorFormat::kRich && !m_window.IsSourceView();
    for (QAction* action : m_richOnly) {
        if (action)
            action->setEnabled(rich);
    }
    m_style->setEnabled(rich);
    QAction* markdown = Action(QStringLiteral("markdown"));
    markdown->setChecked(m_window.Format() == EditorFormat::kMarkdown);
    markdown->setEnabled(!m_window.IsSourceView());
    QAction* source = Action(QStringLiteral("source"));
    const QSignalBlocker quiet(source);
    source->setChecked(m_window.IsSourceView());
    source->setEnabled(m_window.Format() == EditorFormat::kRich);
    Action(QStringLiteral("spelling"))->setChecked(m_window.SpellCheckOn());
    ShowCurrentStyle();
}

void CEditorActions::ShowCurrentStyle() {
    const int style = static_cast<int>(m_window.Commands().CurrentParagraphStyle());
    const QSignalBlocker quiet(m_style);
    m_style->setCurrentIndex(m_style->findData(style));
}
