#include "ui/export/EbookDialog.h"

#include "platform/jobs/JobRunner.h"
#include "reader/RssFavorites.h"
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

// One build: its own copy of the source and the request, the token that cancels it, and the
// way back to the dialog while there is one. Shared by the dialog and the job, so whichever ends
// last frees it.
class CEbookJob : public CEbookObserver, public std::enable_shared_from_this<CEbookJob> {
public:
    CEbookJob(CEbookDialog* dialog, const CAppContext& context, EbookSource source,
              EbookRequest request)
        : m_context(context), m_source(std::move(source)), m_request(std::move(request)),
          m_dialog(dialog) {
        m_request.build.cancel = &m_cancel;
    }

    // On the runner's thread.
    void Run() {
        const EbookResult result =
            CEbookMaker::Make(m_context, std::move(m_source), m_request, *this);
        Post([job = weak_from_this(), result](CEbookDialog& dialog) {
            // Not a build the dialog has let go since.
            if (const auto current = job.lock(); current && current == dialog.m_job)
                dialog.Finish(result);
        });
    }
    void OnLogLine(const std::string& line) override {
        Post([text = ToQ(line)](CEbookDialog& dialog) { dialog.AppendLog(text); });
    }
    void OnDownloadProgress(int done, int total) override {
        Post([done, total](CEbookDialog& dialog) { dialog.OnProgress(done, total); });
    }
    void OnStage(EbookStage stage) override {
        Post([stage](CEbookDialog& dialog) { dialog.OnStage(stage); });
    }
    // On the interface thread: no more reports reach the dialog, and the build stops.
    void Abandon() {
        m_cancel.Cancel();
        std::lock_guard lock(m_lock);
        m_dialog = nullptr;
    }

private:
    // The dialog cannot go while a report is being queued; a queued report whose dialog has
    // gone is dropped by Qt.
    void Post(std::function<void(CEbookDialog&)> work) {
        std::lock_guard lock(m_lock);
        if (CEbookDialog* dialog = m_dialog)
            PostToUi(dialog, [dialog, work = std::move(work)] { work(*dialog); });
    }

    CAppContext m_context;
    EbookSource m_source;
    EbookRequest m_request;
    CCancelToken m_cancel;
    std::mutex m_lock;
    CEbookDialog* m_dialog; // null once the dialog has let the build go
};

namespace {

const char* kStatusHeader = "====================状态显示===================";

} // namespace

CEbookDialog::CEbookDialog(CJobRunner& jobs, const CAppContext& context, EbookSource source,
                           QWidget* parent)
    : QDialog(parent), m_jobs(jobs), m_context(context), m_source(std::move(source)) {
    const bool weblog = m_source.weblog;
    const QString suggestedTitle = ToQ(m_source.suggestedTitle);
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
    m_start->setText(QStringLiteral("编译中..."));
    const EbookRequest request{.build = {.outputPath = ToStd(m_path->text().trimmed()),
                                         .title = ToStd(m_title->text().trimmed()),
                                         .contents = m_source.weblog && m_byCategory->isChecked()
                                                         ? EbookContents::kByCategory
                                                         : EbookContents::kFlat,
                                         .compiler = m_compiler},
                               .pictures = m_pictures->isChecked() ? EbookPictures::kDownload
                                                                   : EbookPictures::kLeaveOnline};
    AbandonBuild();
    auto job = std::make_shared<CEbookJob>(this, m_context, m_source, request);
    // The runner keeps the job alive until it is done, with or without the dialog.
    if (!m_jobs.Submit([job](const CCancelToken&) { job->Run(); })) {
        Finish({.made = false, .cancelled = false, .reason = "程序正在退出"});
        return;
    }
    m_job = std::move(job);
}

void CEbookDialog::OnStage(EbookStage stage) {
    if (stage == EbookStage::kDownloading) {
        m_start->setText(QStringLiteral("下载图片..."));
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_progress->setVisible(true);
        return;
    }
    m_progress->setVisible(false);
    m_start->setText(QStringLiteral("编译中..."));
}

void CEbookDialog::OnProgress(int done, int total) {
    m_progress->setRange(0, std::max(total, 1));
    m_progress->setValue(done);
}

void CEbookDialog::Finish(const EbookResult& result) {
    m_job.reset();
    if (result.made) {
        m_start->setText(QStringLiteral("制作完成"));
        CMessageBox::Show(this, QStringLiteral("制作完成!"));
    } else {
        m_start->setText(QStringLiteral("开始生成"));
        m_start->setEnabled(true);
        CMessageBox::Show(this, QStringLiteral("编译失败!\n") + ToQ(result.reason), QString(),
                          true);
    }
    emit BuildFinished(result.made);
}

void CEbookDialog::AppendLog(const QString& line) {
    m_status->appendPlainText(line);
}

void CEbookDialog::reject() {
    // The downloads and a running compiler are stopped by the job, which the window does not
    // wait for.
    AbandonBuild();
    QDialog::reject();
}

void CEbookDialog::Open(QWidget* parent, CJobRunner& jobs, const CAppContext& context,
                        EbookSourceResult chosen) {
    if (!chosen.ok) {
        CMessageBox::Show(parent, ToQ(chosen.reason), QString(), !chosen.empty);
        return;
    }
    if (const int count = CEbookMaker::ItemsOverLimit(chosen.source)) {
        if (!CMessageBox::Ask(parent, ToQ(CEbookMaker::TooManyItemsQuestion(count)),
                              QStringLiteral("提示")))
            return;
        CEbookMaker::KeepLimit(chosen.source);
    }
    CEbookDialog dialog(jobs, context, std::move(chosen.source), parent);
    dialog.exec();
}

void CEbookDialog::OpenForFolder(QWidget* parent, CJobRunner& jobs, const CAppContext& context,
                                 CArticleDatabase& store, const std::string& account, int folder) {
    Open(parent, jobs, context, CEbookMaker::FromFolder(store, account, folder));
}

void CEbookDialog::OpenForFeedItems(QWidget* parent, CJobRunner& jobs, const CAppContext& context,
                                    const std::vector<FeedItem>& items,
                                    const QString& suggestedTitle) {
    Open(parent, jobs, context, CEbookMaker::FromFeedItems(items, ToStd(suggestedTitle)));
}

void CEbookDialog::OpenForChannel(QWidget* parent, CJobRunner& jobs, CRssReader& reader,
                                  int index) {
    if (index < 0)
        return;
    Open(parent, jobs, reader.Context(),
         CEbookMaker::FromChannel(reader.Tree(), reader.Store(), index, reader.View().Filter()));
}

void CEbookDialog::OpenForFavoriteBox(QWidget* parent, CJobRunner& jobs, CRssFavorites& favorites,
                                      CFeedDatabase& store, int box) {
    if (!favorites.IsBox(box))
        return;
    Open(parent, jobs, favorites.Context(),
         CEbookMaker::FromFavoriteBox(store, favorites.BoxId(box)));
}
