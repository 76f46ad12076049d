#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// A one-line question with OK and Cancel: the typed text, nothing when cancelled. Tests answer
// through the hook instead of a person (the label is passed to it).
class CInputBox {
public:
    static std::optional<QString> Ask(QWidget* parent, const QString& title, const QString& label,
                                      const QString& text = QString());
    using Hook = std::function<std::optional<QString>(const QString& label)>;
    static void SetHook(Hook hook);
};
