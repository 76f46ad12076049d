#include "ui/export/EbookDialog.h"

#include "export/ArticleBackup.h"
#include "reader/ChannelTree.h"
#include "reader/RssFavorites.h"
#include "storage/FeedDatabase.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "ui/common/UiThread.h"
#include "ui/reader/RssReader.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <mutex>
#include <thread>

// One build: its own copy of the articles and options, the token that cancels it, and the way
// back to the dialog while there is one. Shared by the dialog and the worker, so whichever ends
// last frees it.
class CEbookJob : public CEbookLog, public std::enable_shared_from_this<CEbookJob> {
public:
    CEbookJob(CEbookDialog* dialog, std::vector<EbookArticle> articles,
              std::vector<std::string> categories, EbookOptions options)
        : m_articles(std::move(articles)), m_categories(std::move(categories)),
          m_options(std::move(options)), m_dialog(dialog) {
        m_options.cancel = &m_cancel;
    }

    // On the worker.
    void Run() {
        CEbookBuilder builder;
        const bool made = builder.Build(m_articles, m_categories, m_options, this);
        Post([job = weak_from_this(), made, error = builder.GetLastError()](CEbookDialog& dialog) {
            // Not a build the dialog has let go since.
            if (const auto current = job.lock(); current && current == dialog.m_job)
                dialog.Finish(made, error);
        });
    }
    void OnLogLine(const std::string& line) override {
        Post([text = ToQ(line)](CEbookDialog& dialog) { dialog.AppendLog(text); });
    }
    // On the interface thread: no more reports reach the dialog, and the build stops.
    void Abandon() {
        m_cancel.Cancel();
        std::lock_guard lock(m_lock);
        m_dialog = nullptr;
    }

private:
    void Post(std::function<void(CEbookDialog&)> work) {
        std::lock_guard lock(m_lock);
        if (CEbookDialog* dialog = m_dialog)
            PostToUi(dialog, [dialog, work = std::move(work)] { work(*dialog); });
    }

    const std::vector<EbookArticle> m_articles;
    const std::vector<std::string> m_categories;
    EbookOptions m_options;
    CCancelToken m_cancel;
    std::mutex m_lock;
    CEbookDialog* m_dialog; // null once the dialog has let the build go
};

namespace {

const char* kStatusHeader = "====================状态显示===================";

// Every channel at or below the tree item, in tree order.
void CollectChannels(CChannelTree& tree, int index, std::vector<int>& channels) {
    const ChannelRecord record = tree.Record(index);
    if (!record.alive)
        return;
    if (!record.directory) {
        channels.push_back(index);
        return;
    }
    for (int child : record.children)
        CollectChannels(tree, child, channels);
}

} // namespace

CEbookDialog::CEbookDialog(std::vector<EbookArticle> articles, std::vector<std::string> categories,
                           bool weblog, const QString& suggestedTitle, QWidget* parent)
    : QDialog(parent), m_articles(std::move(articles)), m_categories(std::move(categories)) {
    setWindowTitle(QStringLiteral("生成CHM电子书"));
    auto* grid = new QGridLayout;
    m_browse = new QPushButton(QStringLiteral("保存为"));
    m_path = new QLineEdit;
    grid->addWidget(m_browse, 0, 0);
    grid->addWidget(m_path, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("主窗体标题")), 1, 0);
    m_title = new QLineEdit(weblog                     ? QStringLiteral("我的日志")
                            : suggestedTitle.isEmpty() ? QStringLiteral("我的收藏")
                                                       : suggestedTitle);
    grid->addWidget(m_title, 1, 1);
    m_pictures = new QCheckBox(QStringLiteral("下载文章中的图片"));
    m_byCategory = new QCheckBox(QStringLiteral("根据日志分类建立目录"));
    m_byCategory->setVisible(weblog);
    auto* checks = new QHBoxLayout;
    checks->addWidget(m_pictures);
    checks->addWidget(m_byCategory);
    checks->addStretch();
    m_status = new QPlainTextEdit;
    m_status->setReadOnly(true);
    m_status->setPlainText(QString::fromUtf8(kStatusHeader));
    m_progress = new QProgressBar;
    m_progress->setVisible(false);
    auto* hint =
        new QLabel(QStringLiteral("提示：您可以修改程序目录下 \"Data/CHMSkin\" 中的模板样式"));
    hint->setWordWrap(true);
    m_start = new QPushButton(QStringLiteral("开始生成"));
    m_cancel = new QPushButton(QStringLiteral("取消"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(checks);
    layout->addWidget(m_status, 1);
    layout->addWidget(m_progress);
    layout->addWidget(hint);
    layout->addLayout(buttons);
    resize(520, 400);
    connect(m_browse, &QPushButton::clicked, this, &CEbookDialog::Browse);
    connect(m_start, &QPushButton::clicked, this, &CEbookDialog::Start);
    connect(m_cancel, &QPushButton::clicked, this, &CEbookDialog::reject);
}

CEbookDialog::~CEbookDialog() {
    m_gone->store(true);
    m_downloader.reset();
    AbandonBuild();
}

void CEbookDialog::AbandonBuild() {
    if (m_job)
        m_job->Abandon();
    m_job.reset();
}

void CEbookDialog::Browse() {
    const QString preset = ToQ(CEbookBuilder::DefaultFileName()) + QStringLiteral(".chm");
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存为"), preset,
                                                      QStringLiteral("*.chm"));
    if (!path.isEmpty())
        m_path->setText(path);
}

void CEbookDialog::Start() {
    if (m_path->text().trimmed().isEmpty()) {
        CMessageBox::Show(this, QStringLiteral("请选择要保存为的CHM文件名!"));
        m_browse->setFocus();
        return;
    }
    if (m_title->text().trimmed().isEmpty()) {
        CMessageBox::Show(this, QStringLiteral("请输入标题!"));
        m_title->setFocus();
        return;
    }
    m_start->setEnabled(false);
    if (!m_pictures->isChecked()) {
        Build();
        return;
    }
    m_start->setText(QStringLiteral("下载图片..."));
    const std::vector<EbookPicture> pictures = CEbookBuilder::RewriteAllPictures(m_articles);
    m_progress->setRange(0, std::max<int>(1, static_cast<int>(pictures.size())));
    m_progress->setValue(0);
    m_progress->setVisible(true);
    m_downloader = std::make_unique<CPictureDownloader>(*this);
    m_downloader->Start(pictures);
}

void CEbookDialog::Build() {
    m_start->setText(QStringLiteral("编译中..."));
    const EbookOptions options{.outputPath = ToStd(m_path->text().trimmed()),
                               .title = ToStd(m_title->text().trimmed()),
                               .contents = m_byCategory->isVisible() && m_byCategory->isChecked()
                                               ? EbookContents::kByCategory
                                               : EbookContents::kFlat,
                               .compiler = m_compiler};
    AbandonBuild();
    m_job = std::make_shared<CEbookJob>(this, m_articles, m_categories, options);
    // Detached: the worker keeps the job alive until it is done, with or without the dialog.
    std::thread([job = m_job] { job->Run(); }).detach();
}

void CEbookDialog::Finish(bool made, const std::string& error) {
    m_job.reset();
    if (made) {
        m_start->setText(QStringLiteral("制作完成"));
        CMessageBox::Show(this, QStringLiteral("制作完成!"));
    } else {
        m_start->setText(QStringLiteral("开始生成"));
        m_start->setEnabled(true);
        CMessageBox::Show(this, QStringLiteral("编译失败!\n") + ToQ(error), QString(), true);
    }
    emit BuildFinished(made);
}

void CEbookDialog::AppendLog(const QString& line) {
    m_status->appendPlainText(line);
}

void CEbookDialog::OnDownloadLog(const std::string& line) {
    auto gone = m_gone;
    PostToUi(this, [this, gone, text = ToQ(line)] {
        if (!*gone)
            AppendLog(text);
    });
}

void CEbookDialog::OnDownloadProgress(int done, int total) {
    auto gone = m_gone;
    PostToUi(this, [this, gone, done] {
        if (!*gone)
            m_progress->setValue(done);
    });
}

void CEbookDialog::OnDownloadsDone(bool cancelled) {
    auto gone = m_gone;
    PostToUi(this, [this, gone, cancelled] {
        if (*gone)
            return;
        if (m_downloader)
            m_downloader->Join();
        m_progress->setVisible(false);
        if (!cancelled)
            Build();
    });
}

void CEbookDialog::reject() {
    if (m_downloader) {
        m_downloader->Cancel();
        m_downloader->Join();
    }
    // A running compiler is killed by its worker, which the window does not wait for.
    AbandonBuild();
    QDialog::reject();
}

void CEbookDialog::OpenForFolder(QWidget* parent, CArticleDatabase& store,
                                 const std::string& account, int folder) {
    std::vector<EbookArticle> articles;
    std::vector<std::string> categories;
    if (!CEbookBuilder::LoadFolderArticles(store, account, folder, articles, categories)) {
        CMessageBox::Show(parent, ToQ(store.GetLastError()), QString(), true);
        return;
    }
    if (articles.empty()) {
        CMessageBox::Show(parent, QString::fromUtf8(CArticleBackup::kEmptyFolderText));
        return;
    }
    CEbookDialog dialog(std::move(articles), std::move(categories), true, QString(), parent);
    dialog.exec();
}

void CEbookDialog::OpenForFeedItems(QWidget* parent, const std::vector<FeedItem>& items,
                                    const QString& suggestedTitle) {
    if (items.empty()) {
        CMessageBox::Show(parent, QString::fromUtf8(CEbookBuilder::kNoItemsText));
        return;
    }
    std::vector<FeedItem> kept = items;
    if (static_cast<int>(kept.size()) > CEbookBuilder::kFeedItemLimit) {
        if (!CMessageBox::Ask(
                parent, ToQ(CEbookBuilder::TooManyItemsQuestion(static_cast<int>(kept.size()))),
                QStringLiteral("提示")))
            return;
        kept.resize(CEbookBuilder::kFeedItemLimit);
    }
    CEbookDialog dialog(CEbookBuilder::FromFeedItems(kept), {}, false, suggestedTitle, parent);
    dialog.exec();
}

void CEbookDialog::OpenForChannel(QWidget* parent, CRssReader& reader, int index) {
    if (index < 0)
        return;
    std::vector<int> channels;
    CollectChannels(reader.Tree(), index, channels);
    std::vector<FeedItem> items;
    for (int channel : channels) {
        std::vector<FeedItem> part;
        std::string error;
        if (!CEbookBuilder::LoadChannelItems(reader.Tree(), reader.Store(), channel,
                                             reader.View().Filter(), part, error)) {
            CMessageBox::Show(parent, ToQ(error), QString(), true);
            return;
        }
        items.insert(items.end(), part.begin(), part.end());
    }
    OpenForFeedItems(parent, items, ToQ(reader.Tree().Record(index).title));
}

void CEbookDialog::OpenForFavoriteBox(QWidget* parent, CRssFavorites& favorites,
                                      CFeedDatabase& store, int box) {
    std::vector<FeedItem> items;
    if (!favorites.Items(box, items, store))
        return; // the reason has been shown
    if (items.empty()) {
        CMessageBox::Show(parent, QString::fromUtf8(CEbookBuilder::kEmptyBoxText));
        return;
    }
    OpenForFeedItems(parent, items, QString());
}
