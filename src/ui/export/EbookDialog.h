#pragma once

#include "app/AppContext.h"
#include "export/EbookMaker.h"

#include <QDialog>
#include <memory>

class CArticleDatabase;
class CEbookJob;
class CFeedDatabase;
class CJobRunner;
class CRssFavorites;
class CRssReader;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The dialog "生成CHM电子书": where the book goes, its title, whether the pictures are downloaded
// into it and (for a weblog folder) whether its contents are grouped by category, with the
// status box that shows the downloads and the compiler's output. The book is made by
// CEbookMaker on a job of the runner the dialog is given (the compiler takes some 15 seconds
// for 1,000 articles, too long for the window to stand still). Closing the dialog cancels that
// job, which stops the downloads and the compiler, and does not wait for it: the job owns what
// it works on and ends by itself on the runner, which outlives the dialog; its late reports are
// dropped.
class CEbookDialog : public QDialog {
    Q_OBJECT
public:
    // jobs: where the book is made; it must outlive the dialog. The book is made in the
    // context's program directory (its working folder, skin and proxy). A weblog folder's
    // source shows the category choice and starts the title as "我的日志"; otherwise the title
    // starts as the source's suggested title, or "我的收藏".
    CEbookDialog(CJobRunner& jobs, const CAppContext& context, EbookSource source,
                 QWidget* parent = nullptr);
    ~CEbookDialog() override;

    // The entry points. Each shows the dialog modally, its book made on the jobs runner (the
    // main window's, which outlives the dialog) in the context's program directory, or a
    // message when there is nothing to bind. A weblog folder (the account tree and the article
    // list call this):
    static void OpenForFolder(QWidget* parent, CJobRunner& jobs, const CAppContext& context,
                              CArticleDatabase& store, const std::string& account, int folder);
    // Feed items in their order. More than 1000 items ask first and keep the first 1000.
    static void OpenForFeedItems(QWidget* parent, CJobRunner& jobs, const CAppContext& context,
                                 const std::vector<FeedItem>& items, const QString& suggestedTitle);
    // The items of a channel of the tree (or of every channel below a directory) that the item
    // list's filter shows, in the reader's program directory. They are counted here and read
    // by the build's job.
    static void OpenForChannel(QWidget* parent, CJobRunner& jobs, CRssReader& reader, int index);
    // The items of a favorites box, newest first, in the favorites' program directory.
    static void OpenForFavoriteBox(QWidget* parent, CJobRunner& jobs, CRssFavorites& favorites,
                                   CFeedDatabase& store, int box);

    // "开始生成".
    void Start();
    // The help compiler the book is made with (chmcmd unless set).
    void SetCompiler(const std::string& program) { m_compiler = program; }
    // What the book is made of: the articles, or the feed items still to be read.
    const EbookSource& Source() const { return m_source; }
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

    // Shows the dialog for the source, or why there is none; asks before a source over the
    // limit is cut.
    static void Open(QWidget* parent, CJobRunner& jobs, const CAppContext& context,
                     EbookSourceResult chosen);
    void Browse();
    void OnStage(EbookStage stage);
    void OnProgress(int done, int total);
    void Finish(const EbookResult& result);
    // Cancels the build under way and lets its job end without the dialog.
    void AbandonBuild();
    void AppendLog(const QString& line);

    CJobRunner& m_jobs;
    CAppContext m_context;
    EbookSource m_source;
    QLineEdit* m_path = nullptr;
    QLineEdit* m_title = nullptr;
    QCheckBox* m_pictures = nullptr;
    QCheckBox* m_byCategory = nullptr;
    QPlainTextEdit* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_cancel = nullptr;
    std::string m_compiler = EbookOptions{}.compiler;
    // The build under way; its job holds it too.
    std::shared_ptr<CEbookJob> m_job;
};
