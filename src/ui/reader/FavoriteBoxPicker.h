#pragma once

#include <QDialog>
#include <functional>
#include <optional>

class CRssFavorites;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "加入收藏": the favorites folders and boxes as a tree, the box chosen last selected, and a
// button that makes a new box on the spot. Only a box can be chosen.
class CFavoriteBoxPicker : public QDialog {
    Q_OBJECT
public:
    // newBox: makes a box (asking its name) and answers its index, or nothing when cancelled.
    using BoxMaker = std::function<std::optional<int>()>;

    CFavoriteBoxPicker(CRssFavorites& favorites, int selected, BoxMaker newBox,
                       QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return m_tree; }
    QPushButton* NewBoxButton() const { return m_newBox; }
    // The box of the current row, -1 when a folder or nothing is current.
    int CurrentBox() const;
    void SelectBox(int box);
    // OK: a box must be chosen ("请选择一个收藏节点" otherwise, and the picker stays).
    void accept() override;

    // Asks; nothing when cancelled. Tests answer through the hook instead of a person.
    static std::optional<int> Pick(CRssFavorites& favorites, int selected, BoxMaker newBox,
                                   QWidget* parent);
    using Hook = std::function<std::optional<int>(CFavoriteBoxPicker& picker)>;
    static void SetHook(Hook hook);

private:
    void Fill();
    void AddChildren(QTreeWidgetItem* parent, int index);

    CRssFavorites& m_favorites;
    BoxMaker m_newBoxMaker;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_newBox = nullptr;
};
