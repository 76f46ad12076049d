#pragma once

#include "export/EbookBuilder.h"
#include "export/PictureDownloader.h"

#include <QDialog>
#include <memory>

class CArticleDatabase;
class CEbookJob;
class CFeedDatabase;
class CRssFavorites;
class CRssReader;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The dialog "生成CHM电子书": where the book goes, its title, whether the pictures are downloaded
// into it and (for a weblog folder) whether its contents are grouped by category, with the
// status box that shows the downloads and the compiler's output. The pictures are fetched on a
// worker of the dialog's own, which closing the dialog cancels and joins (a cancelled transfer
// ends within a fraction of a second). The book is compiled on a worker too (the compiler takes
// some 15 seconds for 1,000 articles, too long for the window to stand still); closing the
// dialog cancels that build, which kills the compiler, and does not wait for it: the worker
// owns what it works on and ends by itself, its late reports dropped.
class CEbookDialog : public QDialog, public CPictureDownloadObserver {
    Q_OBJECT
public:
    // weblog: the articles are a weblog folder's (the category choice shows, the title starts as
    // "我的日志"); otherwise the title starts as suggestedTitle, or "我的收藏".
    CEbookDialog(std::vector<EbookArticle> articles, std::vector<std::string> categories,
                 bool weblog, const QString& suggestedTitle, QWidget* parent = nullptr);
    ~CEbookDialog() override;

    // The entry points. Each shows the dialog modally, or a message when there is nothing to
    // bind. A weblog folder (the account tree and the article list call this):
    static void OpenForFolder(QWidget* parent, CArticleDatabase& store, const std::string& account,
                              int folder);
    // Feed items in their order: a favorites box's, or a channel's. More than 1000 items ask
    // first and keep the first 1000.
    static void OpenForFeedItems(QWidget* parent, const std::vector<FeedItem>& items,
                                 const QString& suggestedTitle);
    // The items of a channel of the tree (or of every channel below a directory) that the item
    // list's filter shows.
    static void OpenForChannel(QWidget* parent, CRssReader& reader, int index);
    // The items of a favorites box, newest first.
    static void OpenForFavoriteBox(QWidget* parent, CRssFavorites& favorites, CFeedDatabase& store,
                                   int box);

    // "开始生成".
    void Start();
    // The help compiler the book is made with (chmcmd unless set).
    void SetCompiler(const std::string& program) { m_compiler = program; }
    // What the book is made of.
    const std::vector<EbookArticle>& Articles() const { return m_articles; }
    // The controls, for the tests.
    QLineEdit* PathEdit() const { return m_path; }
    QLineEdit* TitleEdit() const { return m_title; }
    QCheckBox* PicturesBox() const { return m_pictures; }
    QCheckBox* CategoryBox() const { return m_byCategory; }
    QPlainTextEdit* StatusBox() const { return m_status; }
    QPushButton* StartButton() const { return m_start; }
    QPushButton* BrowseButton() const { return m_browse; }
    QProgressBar* ProgressBar() const { return m_progress; }

signals:
    // The build ended: made, or failed (the message has been shown).
    void BuildFinished(bool made);

protected:
    void reject() override;

private:
    friend class CEbookJob;

    void Browse();
    void Build();
    void Finish(bool made, const std::string& error);
    // Cancels the build under way and lets its worker end without the dialog.
    void AbandonBuild();
    void AppendLog(const QString& line);

    void OnDownloadLog(const std::string& line) override;
    void OnDownloadProgress(int done, int total) override;
    void OnDownloadsDone(bool cancelled) override;

    std::vector<EbookArticle> m_articles;
    std::vector<std::string> m_categories;
    QLineEdit* m_path = nullptr;
    QLineEdit* m_title = nullptr;
    QCheckBox* m_pictures = nullptr;
    QCheckBox* m_byCategory = nullptr;
    QPlainTextEdit* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    std::unique_ptr<CPictureDownloader> m_downloader;
    std::string m_compiler = EbookOptions{}.compiler;
    // The build under way or last made; its worker holds it too.
    std::shared_ptr<CEbookJob> m_job;
    // Raised when the dialog goes, so late reports of the worker are dropped.
    std::shared_ptr<std::atomic<bool>> m_gone = std::make_shared<std::atomic<bool>>(false);
};
