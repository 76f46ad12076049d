#include "ui/common/MessageBox.h"

#include "app/ErrorCatalog.h"
#include "ui/common/ErrorDialog.h"
#include "ui/common/UiText.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <atomic>

namespace {

std::atomic<CMessageBoxHandler*> g_handler{nullptr};

QWidget* Owner(QWidget* parent) {
    return parent ? parent->window() : QApplication::activeWindow();
}

} // namespace

void CMessageBox::SetHandler(CMessageBoxHandler* handler) {
    g_handler.store(handler);
}

CMessageBoxHandler* CMessageBox::Handler() {
    return g_handler.load();
}

void CMessageBox::Show(QWidget* parent, const QString& text, const QString& caption, bool warning) {
    const QString title = caption.isEmpty() ? AppTitle() : caption;
    if (CMessageBoxHandler* handler = Handler()) {
        handler->OnMessageBox(title, text, false);
        return;
    }
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information, title, text,
                    QMessageBox::Ok, Owner(parent));
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

bool CMessageBox::Ask(QWidget* parent, const QString& text, const QString& caption) {
    const QString title = caption.isEmpty() ? AppTitle() : caption;
    if (CMessageBoxHandler* handler = Handler())
        return handler->OnMessageBox(title, text, true);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    Owner(parent));
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

CMessageBox::SaveAnswer CMessageBox::AskToSave(QWidget* parent, const QString& text,
                                               const QString& caption) {
    const QString title = caption.isEmpty() ? AppTitle() : caption;
    if (CMessageBoxHandler* handler = Handler())
        return static_cast<SaveAnswer>(handler->OnSaveQuestion(title, text));
    QMessageBox box(QMessageBox::Question, title, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, Owner(parent));
    box.button(QMessageBox::Save)->setText(QStringLiteral("保存(&S)"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("不保存(&N)"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::kSave;
    case QMessageBox::Discard:
        return SaveAnswer::kDiscard;
    default:
        return SaveAnswer::kCancel;
    }
}

void CMessageBox::ShowErrorById(QWidget* parent, int id) {
    ErrorEntry entry;
    const bool found = CErrorCatalog::Lookup(id, entry);
    if (!found)
        Show(parent, QString::fromUtf8(kErrorEntryMissingText));
    ShowErrorText(parent, id, entry.place, ToQ(entry.summary), ToQ(entry.description));
}

void CMessageBox::ShowErrorText(QWidget* parent, int id, int place, const QString& summary,
                                const QString& description) {
    if (CMessageBoxHandler* handler = Handler()) {
        handler->OnErrorDialog(id, place, summary, description);
        return;
    }
    CErrorDialog dialog(Owner(parent));
    dialog.SetTexts(id, place, summary, description);
    dialog.exec();
}
