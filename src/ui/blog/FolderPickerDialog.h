#pragma once

#include "app/AccountStore.h"
#include "workspace/ArticleObserver.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

class QTreeWidget;

// "账户目录": where copied or moved articles go. Every account with its 草稿箱 and 垃圾箱 and
// their counts; the folder the articles come from is left out, and their account is selected.
class CFolderPickerDialog : public QDialog {
    Q_OBJECT
public:
    // The count of a folder, from the store.
    using Counter = std::function<int(const std::string& account, int folder)>;

    CFolderPickerDialog(const std::vector<AccountRecord>& accounts, const Counter& count,
                        const FolderRef& source, QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return m_tree; }
    std::optional<FolderRef> Chosen() const { return m_chosen; }
    // OK: a folder must be selected ("请选择一个文件夹!" otherwise, and the picker stays).
    void accept() override;

    // Asks; nothing when cancelled. Tests answer through the hook instead of a person.
    static std::optional<FolderRef> Pick(const std::vector<AccountRecord>& accounts,
                                         const Counter& count, const FolderRef& source,
                                         QWidget* parent);
    using Hook = std::function<std::optional<FolderRef>(CFolderPickerDialog& dialog)>;
    static void SetHook(Hook hook);

private:
    QTreeWidget* m_tree = nullptr;
    std::optional<FolderRef> m_chosen;
};
