#include "ui/editor/EditorWindow.h"

#include "platform/text/WordCount.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/common/UiThread.h"
#include "ui/editor/ArticlePreviewPane.h"
#include "ui/editor/EditorActions.h"
#include "ui/editor/FindReplaceBar.h"
#include "ui/editor/LinkDialog.h"
#include "ui/editor/MarkdownPane.h"
#include "ui/editor/PictureInput.h"
#include "ui/editor/PostOptionsPanel.h"
#include "ui/editor/RestorePrompt.h"
#include "ui/editor/RichTextCommands.h"
#include "ui/editor/RichTextHtml.h"
#include "ui/editor/SpellHighlighter.h"
#include "workspace/ArticleRowText.h"
#include "workspace/EditorSession.h"
#include "workspace/MarkdownHtml.h"
#include "workspace/SpellChecker.h"

#include <QAction>
#include <QBuffer>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFont>
#include <QFormLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <memory>

namespace {

const char* FolderName(int folder) {
    switch (folder) {
    case kFolderReceived:
        return "已收日志";
    case kFolderSent:
        return "已发日志";
    case kFolderDrafts:
        return "草稿箱";
    case kFolderTrash:
        return "垃圾箱";
    default:
        return "未保存";
    }
}

} // namespace

CEditorWindow::CEditorWindow(QWidget* parent) : QMainWindow(parent) {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    m_notice = new QLabel(central);
    m_notice->setObjectName(QStringLiteral("editorNotice"));
    m_notice->setWordWrap(true);
    m_notice->setStyleSheet(QStringLiteral("background:#fff4ce; padding:4px;"));
    m_notice->setToolTip(QStringLiteral("点击关闭"));
    m_notice->hide();
    m_notice->installEventFilter(this);
    layout->addWidget(m_notice);
    auto* form = new QFormLayout;
    m_title = new QLineEdit(central);
    m_title->setPlaceholderText(QStringLiteral("日志标题"));
    m_category = new QComboBox(central);
    m_category->setEditable(true);
    m_category->setInsertPolicy(QComboBox::NoInsert);
    form->addRow(QStringLiteral("标题:"), m_title);
    form->addRow(QStringLiteral("分类:"), m_category);
    m_tags = new QLineEdit(central);
    m_tags->setPlaceholderText(QStringLiteral("用逗号分隔, 例如: 旅行, 摄影"));
    form->addRow(QStringLiteral("标签:"), m_tags);
    layout->addLayout(form);

    m_pages = new QStackedWidget(central);
    m_rich = new QTextEdit(m_pages);
    m_rich->setAcceptRichText(true);
    m_source = new QPlainTextEdit(m_pages);
    m_source->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_markdown = new CMarkdownPane(m_pages);
    m_pages->addWidget(m_rich);
    m_pages->addWidget(m_source);
    m_pages->addWidget(m_markdown);
    layout->addWidget(BuildPreview(central), 1);
    m_commands = new CRichTextCommands(*m_rich);
    // Find and replace work in the editor shown.
    m_find = new CFindReplaceBar(
        {.document = [this]() -> QTextDocument* {
             if (m_format == EditorFormat::kMarkdown)
                 return m_markdown->SourceEdit()->document();
             return IsSourceView() ? m_source->document() : m_rich->document();
         },
         .cursor =
             [this] {
                 if (m_format == EditorFormat::kMarkdown)
                     return m_markdown->SourceEdit()->textCursor();
                 return IsSourceView() ? m_source->textCursor() : m_rich->textCursor();
             },
         .setCursor =
             [this](const QTextCursor& cursor) {
                 if (m_format == EditorFormat::kMarkdown)
                     m_markdown->SourceEdit()->setTextCursor(cursor);
                 else if (IsSourceView())
                     m_source->setTextCursor(cursor);
                 else
                     m_rich->setTextCursor(cursor);
             }},
        central);
    layout->addWidget(m_find);
    setCentralWidget(central);

    // English spelling, once the dictionary is loaded (on a worker, see Attach).
    m_spell = std::make_shared<CSpellChecker>();
    m_richSpelling = new CSpellHighlighter(m_rich->document(), m_spell);
    m_markdownSpelling = new CSpellHighlighter(m_markdown->SourceEdit()->document(), m_spell);
    m_rich->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_rich, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowContextMenu(m_rich, m_richSpelling, pos); });
    QPlainTextEdit* markdownSource = m_markdown->SourceEdit();
    markdownSource->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(markdownSource, &QWidget::customContextMenuRequested, this,
            [this, markdownSource](const QPoint& pos) {
                ShowContextMenu(markdownSource, m_markdownSpelling, pos);
            });

    // The count follows the typing a moment later, not at every key.
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("wordCount"));
    statusBar()->addPermanentWidget(m_count);
    m_countDelay = new QTimer(this);
    m_countDelay->setSingleShot(true);
    m_countDelay->setInterval(400);
    connect(m_countDelay, &QTimer::timeout, this, &CEditorWindow::UpdateCount);
    for (QTextDocument* document : {m_rich->document(), m_source->document()})
        connect(document, &QTextDocument::contentsChanged, m_countDelay,
                qOverload<>(&QTimer::start));
    connect(m_markdown, &CMarkdownPane::PreviewUpdated, this, &CEditorWindow::UpdateCount);
    connect(m_rich, &QTextEdit::cursorPositionChanged, this, [this] {
        if (m_actions)
            m_actions->ShowCurrentStyle();
    });

    connect(m_rich, &QTextEdit::textChanged, this, [this] { m_richEdited = true; });
    connect(m_rich, &QTextEdit::cursorPositionChanged, this, &CEditorWindow::EndLinkAtCursor);
    connect(m_title, &QLineEdit::textChanged, this, [this] { UpdateTitle(); });

    for (QAbstractScrollArea* edit :
         std::initializer_list<QAbstractScrollArea*>{m_rich, m_markdown->SourceEdit()})
        new CPictureInput(
            edit, [this](const QString& path) { InsertPicture(path); },
            [this](const QImage& image) { InsertPictureImage(image); });

    m_options = new CPostOptionsPanel(this);
    auto* dock = new QDockWidget(QStringLiteral("文章选项"), this);
    dock->setObjectName(QStringLiteral("postOptionsDock"));
    dock->setWidget(m_options);
    addDockWidget(Qt::RightDockWidgetArea, dock);
    connect(m_options, &CPostOptionsPanel::RefreshRequested, this, &CEditorWindow::FetchCategories);

    m_autosave = new QTimer(this);
    connect(m_autosave, &QTimer::timeout, this, &CEditorWindow::Autosave);
    BuildActions();
    statusBar()->showMessage(QStringLiteral("就绪"));
    resize(800, 600);
}

CEditorWindow::~CEditorWindow() {
    // A home page read under way ends at once; the done handlers will not run any more: the
    // window is going.
    m_preview->Cancel();
    m_jobs.Shutdown();
    delete m_commands;
}

QWidget* CEditorWindow::BuildPreview(QWidget* parent) {
    // 编辑 holds the editor of the way the article is written, 预览 the article as the weblog
    // shows it, drawn again a moment after each change while it is shown.
    m_tabs = new QTabWidget(parent);
    m_tabs->setObjectName(QStringLiteral("editorTabs"));
    m_tabs->setDocumentMode(true);
    m_preview = new CArticlePreviewPane(
        {.article = [this] { return PreviewRecord(); },
         .inBackground =
             [this](std::function<void()> work, std::function<void()> done) {
                 RunInBackground(std::move(work), std::move(done));
             }},
        m_tabs);
    m_tabs->addTab(m_pages, QStringLiteral("编辑"));
    m_tabs->addTab(m_preview, QStringLiteral("预览"));
    for (QTextDocument* document :
         {m_rich->document(), m_source->document(), m_markdown->SourceEdit()->document()})
        connect(document, &QTextDocument::contentsChanged, m_preview,
                &CArticlePreviewPane::ScheduleRefresh);
    for (QLineEdit* line : {m_title, m_tags})
        connect(line, &QLineEdit::textChanged, m_preview, &CArticlePreviewPane::ScheduleRefresh);
    connect(m_category, &QComboBox::currentTextChanged, m_preview,
            &CArticlePreviewPane::ScheduleRefresh);
    return m_tabs;
}

ArticleRecord CEditorWindow::PreviewRecord() const {
    const bool markdown = m_format == EditorFormat::kMarkdown;
    const std::time_t planned = m_options->Options().publishTime;
    return {.id = m_session ? m_session->ArticleId() : 0,
            .title = ToStd(TitleText()),
            .content = markdown ? CMarkdownHtml::PreviewHtml(ToStd(m_markdown->Markdown()))
                                : ToStd(BodyHtml()),
            .pubDate = CArticleRowText::LocalTimeText(planned > 0 ? planned : std::time(nullptr)),
            .category = ToStd(CategoryText()),
            .tags = ToStd(m_tags->text().trimmed())};
}

void CEditorWindow::BuildActions() {
    m_actions = new CEditorActions(*this);
    m_publishAction = m_actions->Action(QStringLiteral("publish"));
}

void CEditorWindow::Attach(CEditorSession& session) {
    m_session = &session;
    m_preview->SetAccount(session.Context(), session.Account(), session.PictureFolder());
    std::string css;
    std::string reason;
    QStringList notices;
    if (session.LoadEditorStyle(css, reason)) {
        m_rich->document()->setDefaultStyleSheet(ToQ(css));
        m_markdown->SetStyleSheet(ToQ(css));
    } else
        notices << ToQ(reason);
    // Work of an editor that was killed is offered before the article is shown.
    CRestorePrompt::Offer(this, session);
    ShowArticle();
    bool interrupted = false;
    if (!session.MarkRunning(interrupted, reason))
        notices << QStringLiteral("无法记录编辑器的启动: ") + ToQ(reason);
    else if (interrupted)
        notices << QString::fromUtf8(kInterruptedNotice);

    const EditorWindowRect rect = session.WindowRect();
    if (rect.IsSet())
        setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    m_autosave->start(session.AutosaveMilliseconds());
    if (!session.NoteState(reason))
        notices << ToQ(reason);
    // The notice stays above the article until the user closes it.
    m_notice->setText(notices.join(QLatin1Char('\n')));
    m_notice->setVisible(!notices.isEmpty());
    m_richSpelling->SetEnabled(session.SpellCheckEnabled());
    m_markdownSpelling->SetEnabled(m_richSpelling->IsEnabled());
    m_actions->UpdateState();
    LoadDictionary();

    // The post's options: what the interface lacks is greyed; the categories kept from the
    // last answer are listed at once, the server's follow.
    const PostOptionSupport support = session.OptionSupport();
    m_options->SetSupport(support);
    m_tags->setEnabled(support.tags.empty());
    m_tags->setToolTip(ToQ(support.tags));
    m_options->SetOptions(session.Options());
    std::vector<std::string> cached;
    if (session.CachedCategories(cached))
        ShowCategories(cached);
    if (support.categories.empty())
        FetchCategories();
}

void CEditorWindow::FetchCategories() {
    // The weblog's categories, when it answers; the box stays free text either way.
    auto names = std::make_shared<std::vector<std::string>>();
    auto failure = std::make_shared<std::string>();
    auto ok = std::make_shared<bool>(false);
    CEditorSession* session = m_session;
    m_options->SetCategoryStatus(QStringLiteral("正在获取分类..."));
    RunInBackground(
        [session, names, failure, ok] { *ok = session->LoadCategories(*names, *failure); },
        [this, names, failure, ok] {
            if (!*ok) {
                const QString why = QStringLiteral("无法获取分类: ") + ToQ(*failure);
                statusBar()->showMessage(why);
                m_options->SetCategoryStatus(why);
                return;
            }
            m_options->SetCategoryStatus(QString());
            ShowCategories(*names);
        });
}

void CEditorWindow::ShowCategories(const std::vector<std::string>& names) {
    m_options->SetCategories(names);
    const QString current = m_category->currentText();
    for (const std::string& name : names) {
        if (m_category->findText(ToQ(name)) < 0)
            m_category->addItem(ToQ(name));
    }
    m_category->setEditText(current);
}

void CEditorWindow::ShowArticle() {
    const EditorText& text = m_session->Text();
    m_title->setText(ToQ(text.title));
    m_category->clear();
    if (!text.category.empty())
        m_category->addItem(ToQ(text.category));
    m_category->setEditText(ToQ(text.category));
    m_tags->setText(ToQ(text.tags));
    m_html = ToQ(text.content);
    m_format = text.format;
    if (m_format == EditorFormat::kMarkdown) {
        m_markdown->SetMarkdown(ToQ(text.markdown));
        m_pages->setCurrentWidget(m_markdown);
    } else {
        if (IsSourceView())
            m_source->setPlainText(m_html);
        else
            m_pages->setCurrentWidget(m_rich);
        m_rich->setHtml(m_html);
    }
    m_richEdited = false;
    if (m_actions)
        m_actions->UpdateState();
    UpdateTitle();
    UpdateCount();
}

void CEditorWindow::UpdateTitle() {
    QString title = m_title->text().isEmpty() ? QStringLiteral("新文章") : m_title->text();
    if (m_session)
        title += QStringLiteral(" - ") + ToQ(m_session->Account()) + QStringLiteral(" / ") +
                 QString::fromUtf8(FolderName(m_session->Folder()));
    setWindowTitle(title + QStringLiteral(" - 日志编辑器"));
    if (m_session)
        m_session->SetWindowTitle(ToStd(windowTitle()));
}

QString CEditorWindow::TitleText() const {
    return m_title->text();
}

QString CEditorWindow::CategoryText() const {
    return m_category->currentText();
}

bool CEditorWindow::IsSourceView() const {
    return m_pages->currentWidget() == m_source;
}

EditorFormat CEditorWindow::Format() const {
    return m_format;
}

QString CEditorWindow::BodyHtml() const {
    if (m_format == EditorFormat::kMarkdown)
        return ToQ(CMarkdownHtml::ToHtml(ToStd(m_markdown->Markdown())));
    if (IsSourceView())
        return m_source->toPlainText();
    return m_richEdited ? CRichTextHtml::Fragment(*m_rich->document()) : m_html;
}

void CEditorWindow::SetSourceView(bool source) {
    if (source == IsSourceView() || m_format == EditorFormat::kMarkdown)
        return;
    if (source) {
        m_html = BodyHtml();
        m_richEdited = false;
        m_source->setPlainText(m_html);
        m_pages->setCurrentWidget(m_source);
    } else {
        m_html = m_source->toPlainText();
        m_rich->setHtml(m_html);
        m_richEdited = false;
        m_pages->setCurrentWidget(m_rich);
    }
    m_actions->UpdateState();
    UpdateCount();
}

bool CEditorWindow::SetFormat(EditorFormat format, QString& refusal) {
    if (format == m_format)
        return true;
    if (format == EditorFormat::kMarkdown) {
        SetSourceView(false);
        std::string markdown;
        std::string reason;
        if (!CMarkdownHtml::FromHtml(ToStd(BodyHtml()), markdown, reason)) {
            refusal = QStringLiteral("不能改用 Markdown: ") + ToQ(reason);
            return false;
        }
        m_markdown->SetMarkdown(ToQ(markdown));
        m_pages->setCurrentWidget(m_markdown);
        m_markdown->SourceEdit()->setFocus();
    } else {
        m_html = BodyHtml();
        m_rich->setHtml(m_html);
        m_richEdited = false;
        m_pages->setCurrentWidget(m_rich);
        m_rich->setFocus();
    }
    m_format = format;
    m_actions->UpdateState();
    UpdateCount();
    std::string reason;
    if (m_session && !m_session->SetPreferredFormat(format, reason))
        statusBar()->showMessage(ToQ(reason));
    else
        statusBar()->showMessage(format == EditorFormat::kMarkdown
                                     ? QStringLiteral("这篇文章改用 Markdown 书写")
                                     : QStringLiteral("这篇文章改用所见即所得书写"));
    return true;
}

void CEditorWindow::ShowRefusal(const QString& refusal) {
    statusBar()->showMessage(refusal);
    CMessageBox::Show(this, refusal, QStringLiteral("日志编辑器"), true);
}

void CEditorWindow::SetSpellCheck(bool enabled) {
    m_richSpelling->SetEnabled(enabled);
    m_markdownSpelling->SetEnabled(enabled);
    std::string reason;
    if (m_session && !m_session->SetSpellCheckEnabled(enabled, reason))
        statusBar()->showMessage(ToQ(reason));
    m_actions->UpdateState();
}

bool CEditorWindow::SpellCheckOn() const {
    return m_richSpelling->IsEnabled();
}

void CEditorWindow::LoadDictionary() {
    auto reason = std::make_shared<std::string>();
    auto ok = std::make_shared<bool>(false);
    RunInBackground([spell = m_spell, reason, ok] { *ok = spell->LoadDefault(*reason); },
                    [this, reason, ok] {
                        if (!*ok) {
                            statusBar()->showMessage(QStringLiteral("无法检查拼写: ") +
                                                     ToQ(*reason));
                            return;
                        }
                        m_richSpelling->rehighlight();
                        m_markdownSpelling->rehighlight();
                    });
}

void CEditorWindow::ShowContextMenu(QWidget* editor, CSpellHighlighter* spelling,
                                    const QPoint& pos) {
    QMenu* menu = nullptr;
    QTextCursor at;
    if (auto* rich = qobject_cast<QTextEdit*>(editor)) {
        menu = rich->createStandardContextMenu(pos);
        at = rich->cursorForPosition(pos);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(editor)) {
        menu = plain->createStandardContextMenu(pos);
        at = plain->cursorForPosition(pos);
    }
    if (!menu)
        return;
    spelling->ExtendMenu(*menu, at);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(editor->mapToGlobal(pos));
}

QString CEditorWindow::CountText() const {
    QString text;
    if (m_format == EditorFormat::kMarkdown)
        text = m_markdown->Preview()->toPlainText();
    else if (IsSourceView())
        text = QTextDocumentFragment::fromHtml(m_source->toPlainText()).toPlainText();
    else
        text = m_rich->toPlainText();
    const WordCounts counts = CWordCount::Count(ToStd(text));
    return QStringLiteral("字数: %1  字符: %2").arg(counts.words).arg(counts.characters);
}

void CEditorWindow::UpdateCount() {
    m_countDelay->stop();
    m_count->setText(CountText());
}

void CEditorWindow::Undo() {
    if (m_format == EditorFormat::kMarkdown)
        m_markdown->SourceEdit()->undo();
    else if (IsSourceView())
        m_source->undo();
    else
        m_rich->undo();
}

void CEditorWindow::Redo() {
    if (m_format == EditorFormat::kMarkdown)
        m_markdown->SourceEdit()->redo();
    else if (IsSourceView())
        m_source->redo();
    else
        m_rich->redo();
}

void CEditorWindow::TakeText() {
    if (!m_session)
        return;
    const bool markdown = m_format == EditorFormat::kMarkdown;
    m_session->SetText({.title = ToStd(TitleText()),
                        .category = ToStd(CategoryText()),
                        .content = markdown ? std::string() : ToStd(BodyHtml()),
                        .tags = ToStd(m_tags->text().trimmed()),
                        .format = m_format,
                        .markdown = markdown ? ToStd(m_markdown->Markdown()) : std::string()});
    m_session->SetPostOptions(m_options->Options());
}

void CEditorWindow::ReportSave(const EditorSaveResult& result, const QString& doneText) {
    if (!result.ok) {
        statusBar()->showMessage(QStringLiteral("保存失败: ") + ToQ(result.reason));
        return;
    }
    if (!doneText.isEmpty())
        statusBar()->showMessage(doneText);
    NotifyFolders(result.changedFolders);
    UpdateTitle();
    m_session->RefreshNote();
}

void CEditorWindow::NotifyFolders(const std::vector<FolderRef>& folders) {
    if (!m_foldersChanged || !m_session)
        return;
    std::vector<int> codes;
    for (const FolderRef& folder : folders) {
        const int code =
            folder.account == m_session->Account() ? m_session->FolderNodeCode(folder.folder) : 0;
        if (code != 0)
            codes.push_back(code);
    }
    if (!codes.empty())
        m_foldersChanged(codes);
}

bool CEditorWindow::Save() {
    if (!m_session)
        return false;
    TakeText();
    const EditorSaveResult result = m_session->SaveDraft();
    ReportSave(result, QStringLiteral("已保存到%1 (%2)")
                           .arg(QString::fromUtf8(FolderName(m_session->Folder())),
                                QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
    return result.ok;
}

void CEditorWindow::Autosave() {
    if (!m_session || m_publishing)
        return;
    TakeText();
    if (!m_session->IsModified())
        return;
    const EditorSaveResult result = m_session->Autosave();
    ReportSave(result, QStringLiteral("已自动保存 (%1)")
                           .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
}

void CEditorWindow::Publish() {
    if (!m_session || m_publishing)
        return;
    TakeText();
    const std::vector<std::string> pictures = m_session->LocalPictures();
    const std::string refusal = m_session->PublishRefusal();
    if (pictures.empty() || !refusal.empty()) {
        StartPublish({});
        return;
    }
    // The local pictures go first, each once; a failure stops the publish and changes nothing.
    // The article is the text taken now and is shown again with the server's addresses: what
    // would be typed meanwhile would be lost, so the article stays as it is until then.
    m_publishing = true;
    m_publishAction->setEnabled(false);
    SetArticleReadOnly(true);
    statusBar()->showMessage(QStringLiteral("正在上传 %1 张图片...").arg(pictures.size()));
    auto urls = std::make_shared<std::map<std::string, std::string>>();
    auto reason = std::make_shared<std::string>();
    auto ok = std::make_shared<bool>(false);
    CEditorSession* session = m_session;
    RunInBackground([session, pictures, urls, reason,
                     ok] { *ok = session->UploadPictures(pictures, *urls, *reason); },
                    [this, urls, reason, ok] {
                        m_publishing = false;
                        m_publishAction->setEnabled(true);
                        SetArticleReadOnly(false);
                        if (!*ok) {
                            statusBar()->showMessage(QStringLiteral("发布失败: ") + ToQ(*reason));
                            CMessageBox::Show(this, QStringLiteral("发布失败: ") + ToQ(*reason),
                                              QString(), true);
                            return;
                        }
                        StartPublish(*urls);
                    });
}

void CEditorWindow::SetArticleReadOnly(bool readOnly) {
    for (QLineEdit* line : {m_title, m_tags})
        line->setReadOnly(readOnly);
    if (QLineEdit* category = m_category->lineEdit())
        category->setReadOnly(readOnly);
    m_rich->setReadOnly(readOnly);
    m_source->setReadOnly(readOnly);
    m_markdown->SourceEdit()->setReadOnly(readOnly);
}

void CEditorWindow::StartPublish(const std::map<std::string, std::string>& uploaded) {
    const OperationStart start = m_session->StartPublish(uploaded);
    if (!uploaded.empty()) {
        // The article now points at the server's copies; shown from the local ones.
        for (const auto& [address, url] : uploaded) {
            const QImage image(ToQ(CDraftPictures::FilePath(address)));
            if (!image.isNull())
                m_rich->document()->addResource(QTextDocument::ImageResource, QUrl(ToQ(url)),
                                                image);
        }
        if (m_format == EditorFormat::kMarkdown) {
            m_markdown->SetMarkdown(ToQ(m_session->Text().markdown));
        } else {
            m_html = ToQ(m_session->Text().content);
            if (IsSourceView())
                m_source->setPlainText(m_html);
            else
                m_rich->setHtml(m_html);
            m_richEdited = false;
        }
    }
    if (!start.Started()) {
        statusBar()->showMessage(QStringLiteral("发布失败: ") + ToQ(start.refusal));
        return;
    }
    m_publishing = true;
    m_publishAction->setEnabled(false);
    statusBar()->showMessage(QStringLiteral("正在发布..."));
}

void CEditorWindow::OnProgress(const OperationProgress& progress) {
    QMetaObject::invokeMethod(
        this, [this, text = progress.text] { statusBar()->showMessage(ToQ(text)); },
        Qt::QueuedConnection);
}

void CEditorWindow::OnOperationDone(const OperationResult& result) {
    QMetaObject::invokeMethod(
        this, [this, result] { OnPublished(result); }, Qt::QueuedConnection);
}

void CEditorWindow::OnPublished(const OperationResult& result) {
    m_publishing = false;
    m_publishAction->setEnabled(true);
    if (!m_session)
        return;
    const std::string failure = m_session->OnPublished(result);
    NotifyFolders(result.changedFolders);
    UpdateTitle();
    if (!failure.empty()) {
        statusBar()->showMessage(QStringLiteral("发布失败: ") + ToQ(failure));
        CMessageBox::Show(this, QStringLiteral("发布失败: ") + ToQ(failure), QString(), true);
        return;
    }
    statusBar()->showMessage(QStringLiteral("已发布, 文章在已发日志中"));
    if (m_published)
        m_published();
}

void CEditorWindow::ToggleBold() {
    if (m_format == EditorFormat::kMarkdown)
        m_markdown->Wrap(QStringLiteral("**"), QStringLiteral("**"));
    else if (IsSourceView())
        WrapSource(QStringLiteral("<strong>"), QStringLiteral("</strong>"));
    else
        m_commands->ToggleBold();
}

void CEditorWindow::ToggleItalic() {
    if (m_format == EditorFormat::kMarkdown)
        m_markdown->Wrap(QStringLiteral("*"), QStringLiteral("*"));
    else if (IsSourceView())
        WrapSource(QStringLiteral("<em>"), QStringLiteral("</em>"));
    else
        m_commands->ToggleItalic();
}

void CEditorWindow::ToggleStrike() {
    if (m_format == EditorFormat::kMarkdown)
        m_markdown->Wrap(QStringLiteral("~~"), QStringLiteral("~~"));
    else if (IsSourceView())
        WrapSource(QStringLiteral("<del>"), QStringLiteral("</del>"));
    else
        m_commands->ToggleStrike();
}

void CEditorWindow::ToggleInlineCode() {
    if (m_format == EditorFormat::kMarkdown)
        m_markdown->Wrap(QStringLiteral("`"), QStringLiteral("`"));
    else if (IsSourceView())
        WrapSource(QStringLiteral("<code>"), QStringLiteral("</code>"));
    else
        m_commands->ToggleInlineCode();
}

void CEditorWindow::WrapSource(const QString& open, const QString& close) {
    QTextCursor cursor = m_source->textCursor();
    const QString selected = cursor.selectedText();
    cursor.insertText(open + selected + close);
}

void CEditorWindow::AskLink() {
    // On a link of the rich text: its address and text, to change.
    QString href;
    QString text;
    const bool rich = m_format == EditorFormat::kRich && !IsSourceView();
    if (rich && !m_commands->SelectLinkAtCursor(href, text))
        text = m_rich->textCursor().selectedText();
    CLinkDialog dialog(href, text, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (rich && (!href.isEmpty() || dialog.Text() != text))
        m_commands->SetLink(dialog.Href(), dialog.Text());
    else if (m_format == EditorFormat::kMarkdown)
        m_markdown->InsertLink(dialog.Href(), dialog.Text());
    else
        InsertLink(dialog.Href());
}

void CEditorWindow::InsertLink(const QString& href) {
    if (m_format == EditorFormat::kMarkdown) {
        m_markdown->InsertLink(href, QString());
        return;
    }
    if (IsSourceView()) {
        QTextCursor cursor = m_source->textCursor();
        const QString text = cursor.hasSelection() ? cursor.selectedText() : href.toHtmlEscaped();
        cursor.insertText(QStringLiteral("<a href=\"%1\">%2</a>").arg(href.toHtmlEscaped(), text));
        return;
    }
    QTextCursor cursor = m_rich->textCursor();
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorHref(href);
    format.setFontUnderline(true);
    format.setForeground(palette().link());
    if (cursor.hasSelection()) {
        cursor.mergeCharFormat(format);
        return;
    }
    // What is typed after the inserted address is no longer part of the link.
    cursor.insertText(href, format);
    m_rich->setTextCursor(cursor);
    EndLinkAtCursor();
}

void CEditorWindow::EndLinkAtCursor() {
    // What is typed at the end of a link, or on a new line after one, is plain text, as in
    // every editor: only typing inside a link's text extends it.
    const QTextCursor cursor = m_rich->textCursor();
    const QTextCharFormat current = m_rich->currentCharFormat();
    if (cursor.hasSelection() || !current.isAnchor())
        return;
    // The character after the cursor (a cursor's format is that of the character before it).
    QTextCursor next = cursor;
    const bool insideLink = !cursor.atBlockStart() && !cursor.atBlockEnd() &&
                            next.movePosition(QTextCursor::NextCharacter) &&
                            next.charFormat().isAnchor() &&
                            next.charFormat().anchorHref() == current.anchorHref();
    if (insideLink)
        return;
    QTextCharFormat plain = current;
    plain.setAnchor(false);
    plain.clearProperty(QTextFormat::AnchorHref);
    plain.clearForeground();
    plain.setFontUnderline(false);
    m_rich->setCurrentCharFormat(plain);
}

void CEditorWindow::AskPicture() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("插入图片"), QString(),
        QStringLiteral("图片 (*.png *.jpg *.jpeg *.gif *.webp *.bmp *.svg);;所有文件 (*)"));
    if (!path.isEmpty())
        InsertPicture(path);
}

void CEditorWindow::InsertPicture(const QString& filePath) {
    if (!m_session)
        return;
    std::string address;
    std::string reason;
    if (!m_session->KeepPicture(ToStd(filePath), address, reason)) {
        statusBar()->showMessage(QStringLiteral("无法插入图片: ") + ToQ(reason));
        CMessageBox::Show(this, QStringLiteral("无法插入图片: ") + ToQ(reason), QString(), true);
        return;
    }
    ShowPicture(ToQ(address), QImage(filePath));
}

void CEditorWindow::InsertPictureImage(const QImage& image) {
    if (!m_session)
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    std::string address;
    std::string reason;
    if (image.isNull() || !image.save(&buffer, "PNG") ||
        !m_session->KeepPictureBytes(std::string_view(png.constData(), png.size()),
                                     "粘贴的图片.png", address, reason)) {
        const QString why = reason.empty() ? QStringLiteral("剪贴板里的图片无法读取") : ToQ(reason);
        statusBar()->showMessage(QStringLiteral("无法插入图片: ") + why);
        return;
    }
    ShowPicture(ToQ(address), image);
}

void CEditorWindow::ShowPicture(const QString& address, const QImage& image) {
    // Shown at once from the copy beside the draft; uploaded when the article is published.
    if (!image.isNull())
        m_rich->document()->addResource(QTextDocument::ImageResource, QUrl(address), image);
    if (m_format == EditorFormat::kMarkdown) {
        m_markdown->InsertPicture(address);
    } else if (IsSourceView()) {
        m_source->textCursor().insertText(
            QStringLiteral("<img src=\"%1\" alt=\"\">").arg(address.toHtmlEscaped()));
    } else {
        QTextImageFormat picture;
        picture.setName(address);
        m_rich->textCursor().insertImage(picture);
    }
    statusBar()->showMessage(QStringLiteral("已插入图片, 发布时上传"));
}

void CEditorWindow::RunInBackground(std::function<void()> work, std::function<void()> done) {
    m_jobs.Submit([this, work = std::move(work), done = std::move(done)](const CCancelToken&) {
        work();
        // The window joins its jobs before it goes, so it is still there to be the context.
        PostToUi(this, done);
    });
}

void CEditorWindow::WaitForWorkers() {
    // The done handlers are run by the event loop; here the jobs only end.
    m_jobs.Wait();
}

bool CEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_notice && event->type() == QEvent::MouseButtonRelease)
        m_notice->hide();
    return QMainWindow::eventFilter(watched, event);
}

QString CEditorWindow::NoticeText() const {
    return m_notice->isHidden() ? QString() : m_notice->text();
}

QString CEditorWindow::StatusText() const {
    return statusBar()->currentMessage();
}

void CEditorWindow::closeEvent(QCloseEvent* event) {
    if (m_session) {
        TakeText();
        const CMessageBox::SaveAnswer answer =
            m_session->IsModified()
                ? CMessageBox::AskToSave(this, QStringLiteral("文章已修改, 关闭前保存吗?"),
                                         QStringLiteral("日志编辑器"))
                : CMessageBox::SaveAnswer::kDiscard;
        // 取消, or a save that failed (the status line says why): the window stays.
        if (answer == CMessageBox::SaveAnswer::kCancel ||
            (answer == CMessageBox::SaveAnswer::kSave && !Save())) {
            event->ignore();
            return;
        }
        const QRect frame = geometry();
        std::string reason;
        if (!m_session->SaveWindowRect({.left = frame.left(),
                                        .top = frame.top(),
                                        .right = frame.right() + 1,
                                        .bottom = frame.bottom() + 1},
                                       reason))
            statusBar()->showMessage(QStringLiteral("无法保存窗口位置: ") + ToQ(reason));
        // Closing is not held up by a note that cannot be written: the next start would only
        // point at the autosave once too often.
        m_session->MarkEnded(reason);
        m_session->EndEditing();
    }
    m_autosave->stop();
    m_preview->Cancel();
    event->accept();
}
