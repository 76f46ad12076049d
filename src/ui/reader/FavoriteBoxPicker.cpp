#include "ui/reader/FavoriteBoxPicker.h"

#include "reader/RssFavorites.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
CFavoriteBoxPicker::Hook g_pickerHook;
constexpr int kIndexRole = Qt::UserRole + 1;
} // namespace

CFavoriteBoxPicker::CFavoriteBoxPicker(CRssFavorites& favorites, int selected, BoxMaker newBox,
                                       QWidget* parent)
    : QDialog(parent), m_favorites(favorites), m_newBoxMaker(std::move(newBox)) {
    setWindowTitle(QStringLiteral("加入收藏"));
    m_tree = new QTreeWidget;
    m_tree->setHeaderHidden(true);
    m_newBox = new QPushButton(ThemeIcon("list-add", QStyle::SP_FileDialogNewFolder),
                               QStringLiteral("新建收藏(&N)..."));
    m_newBox->setVisible(static_cast<bool>(m_newBoxMaker));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->addButton(m_newBox, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFavoriteBoxPicker::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (CurrentBox() >= 0)
            accept();
    });
    connect(m_newBox, &QPushButton::clicked, this, [this] {
        if (const std::optional<int> made = m_newBoxMaker ? m_newBoxMaker() : std::nullopt) {
            Fill();
            SelectBox(*made);
        }
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("把文章加入哪个收藏:")));
    layout->addWidget(m_tree);
    layout->addWidget(buttons);
    resize(360, 420);
    Fill();
    SelectBox(selected);
}

void CFavoriteBoxPicker::Fill() {
    m_tree->clear();
    for (int root : m_favorites.Tree().Roots())
        AddChildren(nullptr, root);
}

void CFavoriteBoxPicker::AddChildren(QTreeWidgetItem* parent, int index) {
    const ChannelRecord record = m_favorites.Tree().Record(index);
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
    item->setText(0, ToQ(record.title));
    item->setData(0, kIndexRole, index);
    const bool box = m_favorites.IsBox(index);
    item->setIcon(0, box ? ThemeIcon("starred", QStyle::SP_FileIcon)
                         : ThemeIcon("folder", QStyle::SP_DirIcon));
    // A folder only holds boxes: it cannot be chosen itself.
    if (!box)
        item->setFlags(item->flags() & ~Qt::ItemIsSelectable);
    for (int child : record.children)
        AddChildren(item, child);
    item->setExpanded(true);
}

int CFavoriteBoxPicker::CurrentBox() const {
    const QTreeWidgetItem* item = m_tree->currentItem();
    if (!item || !item->isSelected())
        return -1;
    const int index = item->data(0, kIndexRole).toInt();
    return m_favorites.IsBox(index) ? index : -1;
}

void CFavoriteBoxPicker::SelectBox(int box) {
    QTreeWidgetItemIterator it(m_tree);
    for (; *it; ++it)
        if ((*it)->data(0, kIndexRole).toInt() == box && m_favorites.IsBox(box)) {
            m_tree->setCurrentItem(*it);
            (*it)->setSelected(true);
            return;
        }
}

void CFavoriteBoxPicker::accept() {
    if (CurrentBox() < 0) {
        CMessageBox::Show(this, QStringLiteral("请选择一个收藏节点"));
        return;
    }
    QDialog::accept();
}

std::optional<int> CFavoriteBoxPicker::Pick(CRssFavorites& favorites, int selected,
                                            BoxMaker newBox, QWidget* parent) {
    CFavoriteBoxPicker picker(favorites, selected, std::move(newBox), parent);
    if (g_pickerHook)
        return g_pickerHook(picker);
    if (picker.exec() != QDialog::Accepted)
        return std::nullopt;
    return picker.CurrentBox();
}

void CFavoriteBoxPicker::SetHook(Hook hook) {
    g_pickerHook = std::move(hook);
}
