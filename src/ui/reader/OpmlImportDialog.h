#pragma once

#include "reader/OpmlExchange.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "导入OPML频道": the channels of an OPML list (a file or an address) in the source tree, a
// working copy of the channel tree in the target tree. Items, several at once and whole
// folders, are dragged from the source into the target (hovering over a target item selects it
// and, after a moment, opens or closes it), or 全部导入 takes the whole list; channels already
// subscribed are left out, and each step says how many were imported, left out as present and
// invalid. 确定 makes the target the new channel file and sums up, 取消 changes nothing.
class COpmlImportDialog : public QDialog {
    Q_OBJECT
public:
    // How long the pointer rests on a target item during a drag before it opens or closes.
    static constexpr int kHoverExpandMs = 700;

    // The channel file and working copy of the context's program directory.
    explicit COpmlImportDialog(const CAppContext& context, QWidget* parent = nullptr);

    // False (and said) when the working copy could not be made; the dialog then only cancels.
    bool IsReady() const { return m_ready; }

    // What the two open buttons do after their own dialogs.
    bool LoadFile(const QString& path);
    bool LoadAddress(const QString& url);
    // What a drop does: the source item at the path into the target item at the path.
    bool DropAt(const OutlinePath& source, const OutlinePath& target);
    // Several items dragged at once.
    bool DropItemsAt(const std::vector<OutlinePath>& sources, const OutlinePath& target);
    // What a drop of a drag from the source tree does: its selected items into the target item
    // at the path.
    bool DropSelectionAt(const OutlinePath& target);
    // 全部导入: the whole source list at the top level of the target.
    bool ImportAll();
    // What a drag resting over a target item does: it is selected and, after kHoverExpandMs,
    // opened or closed (null: the pointer left the items).
    void HoverOver(QTreeWidgetItem* item);

    QTreeWidget* SourceTree() const { return m_sourceTree; }
    QTreeWidget* TargetTree() const { return m_targetTree; }
    QPushButton* OpenFileButton() const { return m_openFile; }
    QPushButton* OpenAddressButton() const { return m_openAddress; }
    QPushButton* OkButton() const { return m_ok; }
    QPushButton* ImportAllButton() const { return m_importAll; }
    // What the last drop or 全部导入 did.
    QLabel* SummaryLabel() const { return m_summary; }
    COpmlImport& Import() { return m_import; }

    static OutlinePath PathOf(const QTreeWidgetItem* item);

public slots:
    void accept() override;
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void ChooseFile();
    void ChooseAddress();
    void SourceChosen();
    static void FillTree(QTreeWidget* tree, const std::vector<OpmlOutline>& outlines);
    // Shows the target after a drop, the item that landed selected, and what the drop took.
    void ShowDropped(const OutlinePath& landed, const OpmlMergeResult& result);
    void OnHoverTimer();

    COpmlImport m_import;
    bool m_ready = false;
    QTreeWidget* m_sourceTree = nullptr;
    QTreeWidget* m_targetTree = nullptr;
    QPushButton* m_openFile = nullptr;
    QPushButton* m_openAddress = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_importAll = nullptr;
    QLabel* m_summary = nullptr;
    QTimer m_hoverTimer;
    QTreeWidgetItem* m_hoverItem = nullptr;
};
