#include "ui/common/InputBox.h"

#include <QInputDialog>

namespace {
CInputBox::Hook g_inputHook;
}

std::optional<QString> CInputBox::Ask(QWidget* parent, const QString& title, const QString& label,
                                      const QString& text) {
    if (g_inputHook)
        return g_inputHook(label);
    bool ok = false;
    const QString typed = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
    if (!ok)
        return std::nullopt;
    return typed;
}

void CInputBox::SetHook(Hook hook) {
    g_inputHook = std::move(hook);
}
