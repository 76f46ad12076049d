#pragma once

#include "app/AccountStore.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QListWidget;

// "选择帐户": which account an article written from a feed item is for. One row per account in
// store order (its name and description); the first is selected.
class CAccountChooserDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAccountChooserDialog(const std::vector<AccountRecord>& accounts,
                                   QWidget* parent = nullptr);

    QListWidget* List() const { return m_list; }
    // The name of the selected account, "" when none is.
    std::string Chosen() const;

    // Asks; nothing when cancelled. Tests answer through the hook instead of a person.
    static std::optional<std::string> Choose(const std::vector<AccountRecord>& accounts,
                                             QWidget* parent);
    using Hook = std::function<std::optional<std::string>(CAccountChooserDialog& dialog)>;
    static void SetHook(Hook hook);

private:
    QListWidget* m_list = nullptr;
};
