#include "ui/UiTestSupport.h"

#include "app/Reporter.h"
#include "platform/LoopbackServer.h"
#include "support/TestSupport.h"
#include "ui/common/BottomHtmlView.h"
#include "ui/common/WindowReporter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

QApplication* EnsureApp() {
    static QApplication* app = nullptr;
    if (app)
        return app;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (::geteuid() == 0) {
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
        ::setenv("QTWEBENGINE_CHROMIUM_FLAGS",
                 "--disable-gpu --no-sandbox --disable-background-networking", 0);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    CPaneSchemeHandler::RegisterScheme();
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    // Failures reach the tests the way they reach the user: through the message boxes.
    static CWindowReporter reporter;
    SetReporter(&reporter);
    return app;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

long long HeldFor(const std::function<void()>& close) {
    QElapsedTimer timer;
    timer.start();
    close();
    const long long held = timer.elapsed();
    ::testing::Test::RecordProperty("ui_thread_held_ms", static_cast<int>(held));
    std::printf("the interface thread was held for %lld ms\n", held);
    return held;
}

void ExpectClosedWhileHanging(loopback::CHangingServer& hanging, int call,
                              std::optional<int> threadsBefore,
                              const std::function<void()>& close) {
    ASSERT_TRUE(WaitFor([&] { return hanging.Accepted() == call; }));
    EXPECT_LT(HeldFor(close), 2000);
    if (threadsBefore)
        EXPECT_LE(ThreadCount(), *threadsBefore) << "no thread of the window is left";
    EXPECT_TRUE(WaitFor([&] { return hanging.ClosedByClient() == call; }));
}

CRecordingMessageBoxes::CRecordingMessageBoxes() : m_previous(CMessageBox::Handler()) {
    CMessageBox::SetHandler(this);
}

CRecordingMessageBoxes::~CRecordingMessageBoxes() {
    CMessageBox::SetHandler(m_previous);
}

bool CRecordingMessageBoxes::OnMessageBox(const QString& caption, const QString& text,
                                          bool question) {
    std::lock_guard lock(m_lock);
    m_boxes.push_back({caption, text, question});
    if (!question)
        return true;
    if (m_answers.empty())
        return true;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int CRecordingMessageBoxes::OnSaveQuestion(const QString& caption, const QString& text) {
    {
        std::lock_guard lock(m_lock);
        if (!m_saveAnswers.empty()) {
            m_boxes.push_back({caption, text, true});
            const int button = m_saveAnswers.front();
            m_saveAnswers.pop_front();
            return button;
        }
    }
    return CMessageBoxHandler::OnSaveQuestion(caption, text);
}

void CRecordingMessageBoxes::OnErrorDialog(int id, int place, const QString& summary,
                                           const QString& description) {
    std::lock_guard lock(m_lock);
    m_errors.push_back({id, place, summary, description});
}

std::vector<CRecordingMessageBoxes::Box> CRecordingMessageBoxes::Boxes() {
    std::lock_guard lock(m_lock);
    return m_boxes;
}

std::vector<CRecordingMessageBoxes::ErrorShown> CRecordingMessageBoxes::Errors() {
    std::lock_guard lock(m_lock);
    return m_errors;
}

std::vector<QString> CRecordingMessageBoxes::Texts() {
    std::lock_guard lock(m_lock);
    std::vector<QString> texts;
    for (const Box& box : m_boxes)
        texts.push_back(box.text);
    return texts;
}

void CRecordingMessageBoxes::Clear() {
    std::lock_guard lock(m_lock);
    m_boxes.clear();
    m_errors.clear();
}
