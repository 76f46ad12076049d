#pragma once

#include <QString>

class QWidget;

// Receives every message box and error dialog instead of showing it: tests install one to see
// which text was shown, without anybody clicking.
class CMessageBoxHandler {
public:
    virtual ~CMessageBoxHandler() = default;
    // A plain box; for a question, the answer (true = Yes).
    virtual bool OnMessageBox(const QString& caption, const QString& text, bool question) = 0;
    // A question with the buttons 保存 / 不保存 / 取消; a plain Yes/No handler answers 保存 or
    // 不保存.
    virtual int OnSaveQuestion(const QString& caption, const QString& text) {
        return OnMessageBox(caption, text, true) ? 0 : 1;
    }
    // The error dialog with its texts (an id's entry already looked up).
    virtual void OnErrorDialog(int id, int place, const QString& summary,
                               const QString& description) = 0;
};

// Every message box and error dialog of the windows goes through here.
class CMessageBox {
public:
    // A plain box with an OK button. An empty caption gives the application title.
    static void Show(QWidget* parent, const QString& text, const QString& caption = QString(),
                     bool warning = false);
    // A Yes/No question with the question icon; true for Yes.
    static bool Ask(QWidget* parent, const QString& text, const QString& caption);
    // Asks whether to save unsaved changes before they would be lost.
    enum class SaveAnswer { kSave = 0, kDiscard = 1, kCancel = 2 };
    static SaveAnswer AskToSave(QWidget* parent, const QString& text, const QString& caption);
    // The error dialog for a catalogue id; an id the catalogue lacks first shows
    // "找不到对应的错误信息", then the dialog with only the id.
    static void ShowErrorById(QWidget* parent, int id);
    // The error dialog with texts given by the caller (a server's fault).
    static void ShowErrorText(QWidget* parent, int id, int place, const QString& summary,
                              const QString& description);

    // Installs the handler that receives the boxes instead of the screen (null: show them).
    static void SetHandler(CMessageBoxHandler* handler);
    static CMessageBoxHandler* Handler();
};
