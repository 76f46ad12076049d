#pragma once

#include "ui/common/MessageBox.h"

#include <QApplication>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <vector>

// The one application object of the window tests, on the offscreen platform.
QApplication* EnsureApp();

// Runs the event loop until the condition holds or the time is up; the condition's last value.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);

// Runs close (the end of a window whose job hangs) and says for how many milliseconds it held
// the interface thread; the figure is also written to the test's record.
long long HeldFor(const std::function<void()>& close);

namespace loopback {
class CHangingServer;
}

// Closing a window while its transfer hangs on a server that never answers: waits until the
// server has taken the call (its call-th), runs close, and expects the interface thread to be
// free at once and the transfer to be given up; with threadsBefore (the count before the window
// started its job), that no thread of the window is left.
void ExpectClosedWhileHanging(loopback::CHangingServer& hanging, int call,
                              std::optional<int> threadsBefore, const std::function<void()>& close);

// Runs the code once the modal dialog of the given type is open.
template <typename Dialog> void WhenOpen(std::function<void(Dialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "no dialog open";
            return;
        }
        act(*dialog);
    });
}

// Receives the message boxes and error dialogs of the windows while it lives, and answers the
// questions with the queued answers (Yes when none is queued).
class CRecordingMessageBoxes : public CMessageBoxHandler {
public:
    struct Box {
        QString caption;
        QString text;
        bool question = false;
    };
    struct ErrorShown {
        int id = 0;
        int place = 0;
        QString summary;
        QString description;
    };

    CRecordingMessageBoxes();
    ~CRecordingMessageBoxes() override;

    bool OnMessageBox(const QString& caption, const QString& text, bool question) override;
    void OnErrorDialog(int id, int place, const QString& summary,
                       const QString& description) override;

    void Answer(bool yes) { m_answers.push_back(yes); }
    // The next 保存 / 不保存 / 取消 question's button (0, 1, 2); else Answer's yes or no.
    void AnswerSave(int button) { m_saveAnswers.push_back(button); }
    int OnSaveQuestion(const QString& caption, const QString& text) override;
    std::vector<Box> Boxes();
    std::vector<ErrorShown> Errors();
    // The texts of the boxes, in order.
    std::vector<QString> Texts();
    void Clear();

private:
    std::mutex m_lock;
    std::vector<Box> m_boxes;
    std::deque<int> m_saveAnswers;
    std::vector<ErrorShown> m_errors;
    std::deque<bool> m_answers;
    CMessageBoxHandler* m_previous = nullptr;
};
