// quill_editor_bench: the article editor's start-up and typing latency.
//
//   quill_editor_bench [RUNS]
//
// Seeds a program directory in a temporary folder with an account whose weblog does not
// answer (a closed port on 127.0.0.1: the window must not wait for it) and a draft of 20,000
// characters, then prints
//   - start-up: from making the window to its first paint (the window mapped and drawn), with
//     the article opened from blog.db and attached; the first run from before the application
//     object is made (loading the program's libraries is not counted);
//   - typing: a key pressed in the rich text (and in the Markdown source) to the end of the
//     repaint it causes, over 200 keys; median and 95th percentile.
// Run it on the offscreen platform (QT_QPA_PLATFORM=offscreen) or on a display.

#include "app/AccountStore.h"
#include "app/AppContext.h"
#include "app/AppPaths.h"
#include "app/ProgramDir.h"
#include "ui/editor/EditorWindow.h"
#include "ui/editor/MarkdownPane.h"
#include "workspace/ArticleOperations.h"
#include "workspace/EditorSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Ends the wait at the first paint of the watched widget.
class CFirstPaint : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

std::string Article() {
    // Paragraphs of mixed Chinese and English, 20,000 characters in all.
    const std::u16string sentence =
        u"今天在 Linux 上写博客, the quick brown fox jumps over the lazy dog. ";
    std::u16string text;
    int inParagraph = 0;
    std::string html;
    while (text.size() < 20000) {
        text += sentence;
        if (++inParagraph == 5) {
            text += u'\n';
            inParagraph = 0;
        }
    }
    text.resize(20000);
    const QString body = QString::fromStdU16String(text);
    for (const QString& paragraph : body.split(QLatin1Char('\n')))
        html += "<p>" + paragraph.toHtmlEscaped().toStdString() + "</p>";
    return html;
}

struct Figures {
    double median = 0;
    double p95 = 0;
};

Figures Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {.median = values[values.size() / 2], .p95 = values[values.size() * 95 / 100]};
}

// The windows before were hidden, not closed, so their notes of unsaved work stay behind; the
// restore prompt they would bring is no part of a start.
void ForgetHiddenWindows(CEditorSession& session) {
    for (const EditorRecord& record : session.InterruptedWork())
        session.Discard(record);
}

// From the clock's start (before the application object, for the first window) to the first
// paint of a window with the article.
double StartOnce(EditorHandOff handOff, QElapsedTimer clock = {}) {
    if (!clock.isValid())
        clock.start();
    CEditorWindow window;
    CArticleOperations operations(CAppContext::Process(), window);
    CEditorSession session(operations);
    std::string reason;
    if (!session.Open(handOff, reason)) {
        std::fprintf(stderr, "cannot open the article: %s\n", reason.c_str());
        std::exit(1);
    }
    QElapsedTimer forgetting;
    forgetting.start();
    ForgetHiddenWindows(session);
    const qint64 forgotten = forgetting.nsecsElapsed(); // no part of the start: left out
    CFirstPaint paint;
    window.RichEdit()->viewport()->installEventFilter(&paint);
    window.Attach(session);
    window.show();
    while (!paint.painted)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double ms = (clock.nsecsElapsed() - forgotten) / 1e6;
    // Hidden, not closed: closing would ask about changes.
    window.hide();
    window.WaitForWorkers();
    QApplication::processEvents();
    return ms;
}

template <typename Edit> Figures Typing(Edit* edit) {
    std::vector<double> times;
    edit->setFocus();
    for (int i = 0; i < 200; ++i) {
        const QChar c = QLatin1Char(static_cast<char>('a' + i % 26));
        QElapsedTimer clock;
        clock.start();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        edit->viewport()->repaint();
        times.push_back(clock.nsecsElapsed() / 1e6);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
        QApplication::processEvents();
    }
    return Summarise(times);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    char folder[] = "/tmp/quill-editor-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    SetModuleDir(folder);
    std::string error;
    if (!CProgramDir::Prepare(error)) {
        std::fprintf(stderr, "cannot seed %s: %s\n", folder, error.c_str());
        return 1;
    }
    AccountRecord account{.name = "bench",
                          .description = "bench",
                          .xmlrpcurl = "http://127.0.0.1:9/xmlrpc.php",
                          .port = "9",
                          .blogapitype = "MetaWeblog",
                          .username = "u",
                          .password = "p",
                          .blogurl = "http://127.0.0.1:9/",
                          .encodetype = "UTF-8"};
    if (!CAppContext::Process().Accounts().AddAccount(account))
        return 1;

    int id = 0;
    {
        struct : CArticleObserver {
            void OnProgress(const OperationProgress&) override {}
            void OnOperationDone(const OperationResult&) override {}
        } quiet;
        CArticleOperations operations(CAppContext::Process(), quiet);
        LocalOutcome draft = operations.NewDraft("bench", {.title = "长文", .content = Article()});
        if (!draft.ok)
            return 1;
        id = draft.newIds[0];
    }
    QElapsedTimer cold;
    cold.start();
    QApplication app(argc, argv);
    const EditorHandOff handOff{.task = EditorTask::EditDraft, .account = "bench", .index = id};
    const double first = StartOnce(handOff, cold);
    std::vector<double> starts;
    for (int i = 0; i < runs; ++i)
        starts.push_back(StartOnce(handOff));
    const Figures start = Summarise(starts);
    std::printf(
        "start-up, first window (with making the application and its first fonts): %.1f ms\n",
        first);
    std::printf("start-up, window to first paint, median of %d: %.1f ms (p95 %.1f)\n", runs,
                start.median, start.p95);

    CEditorWindow window;
    CArticleOperations operations(CAppContext::Process(), window);
    CEditorSession session(operations);
    std::string reason;
    session.Open(handOff, reason);
    ForgetHiddenWindows(session);
    window.Attach(session);
    window.show();
    // With the dictionary loaded: each key checks the spelling of its paragraph again.
    window.WaitForWorkers();
    QApplication::processEvents();
    const Figures rich = Typing(window.RichEdit());
    std::printf("typing in 20,000 characters of rich text, key to repaint: median %.2f ms, "
                "p95 %.2f ms\n",
                rich.median, rich.p95);
    QString refusal;
    window.RichEdit()->setHtml(QString::fromStdString(Article()));
    if (window.SetFormat(EditorFormat::kMarkdown, refusal)) {
        const Figures markdown = Typing(window.MarkdownPane()->SourceEdit());
        std::printf("typing in 20,000 characters of Markdown, key to repaint: median %.2f ms, "
                    "p95 %.2f ms\n",
                    markdown.median, markdown.p95);
    } else {
        std::printf("Markdown: %s\n", refusal.toStdString().c_str());
    }
    window.WaitForWorkers();
    window.hide();
    std::filesystem::remove_all(folder);
    return 0;
}
