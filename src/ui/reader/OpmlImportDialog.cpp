#include "ui/reader/OpmlImportDialog.h"

#include "ui/common/AppIcons.h"
#include "ui/common/FileChooser.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QDialogButtonBox>
#include <QDragMoveEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr const char* kOpmlFilter = "XML文件 (*.xml;*.opml)|*.xml; *.opml|所有文件 (*.*)|*.*||";

void AddOutlines(QTreeWidgetItem* parent, QTreeWidget* tree,
                 const std::vector<OpmlOutline>& outlines) {
    for (const OpmlOutline& outline : outlines) {
        auto* item = new QTreeWidgetItem({ToQ(outline.title)});
        item->setIcon(0,
                      outline.IsDirectory() ? ThemeIcon("folder", QStyle::SP_DirIcon) : FeedIcon());
        item->setToolTip(0, ToQ(outline.xmlUrl.empty() ? outline.title : outline.xmlUrl));
        if (parent)
            parent->addChild(item);
        else
            tree->addTopLevelItem(item);
        AddOutlines(item, tree, outline.children);
    }
}

} // namespace

COpmlImportDialog::COpmlImportDialog(const CAppContext& context, QWidget* parent)
    : QDialog(parent), m_import(context) {
    Build();
}

void COpmlImportDialog::Build() {
    setWindowTitle(QStringLiteral("导入OPML频道"));
    resize(640, 460);
    m_openFile = new QPushButton(QStringLiteral("打开OPML文件..."));
    m_openAddress = new QPushButton(QStringLiteral("打开网址..."));
    m_importAll = new QPushButton(QStringLiteral("全部导入"));
    m_importAll->setEnabled(false);
    m_importAll->setToolTip(QStringLiteral("把列表中的全部频道导入到我的频道, 已订阅的跳过"));
    m_summary = new QLabel;
    m_sourceTree = new QTreeWidget;
    m_sourceTree->setHeaderLabel(QStringLiteral("OPML中的频道 (拖到右边)"));
    m_sourceTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_sourceTree->setDragEnabled(true);
    m_sourceTree->setDragDropMode(QAbstractItemView::DragOnly);
    m_targetTree = new QTreeWidget;
    m_targetTree->setHeaderLabel(QStringLiteral("我的频道"));
    m_targetTree->setAcceptDrops(true);
    m_targetTree->viewport()->setAcceptDrops(true);
    m_targetTree->setDragDropMode(QAbstractItemView::DropOnly);
    m_targetTree->viewport()->installEventFilter(this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(QStringLiteral("确定"));
    m_ok->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_openFile);
    top->addWidget(m_openAddress);
    top->addWidget(m_importAll);
    top->addStretch();
    auto* trees = new QHBoxLayout;
    trees->addWidget(m_sourceTree);
    trees->addWidget(m_targetTree);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(trees, 1);
    layout->addWidget(m_summary);
    layout->addWidget(buttons);

    connect(m_openFile, &QPushButton::clicked, this, &COpmlImportDialog::ChooseFile);
    connect(m_openAddress, &QPushButton::clicked, this, &COpmlImportDialog::ChooseAddress);
    connect(m_importAll, &QPushButton::clicked, this, &COpmlImportDialog::ImportAll);
    connect(buttons, &QDialogButtonBox::accepted, this, &COpmlImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COpmlImportDialog::reject);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(kHoverExpandMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &COpmlImportDialog::OnHoverTimer);

    std::string error;
    m_ready = m_import.Begin(error);
    if (!m_ready) {
        CMessageBox::Show(this, QStringLiteral("无法复制频道文件: ") + ToQ(error));
        m_openFile->setEnabled(false);
        m_openAddress->setEnabled(false);
        return;
    }
    FillTree(m_targetTree, m_import.Target());
}

void COpmlImportDialog::FillTree(QTreeWidget* tree, const std::vector<OpmlOutline>& outlines) {
    tree->clear();
    AddOutlines(nullptr, tree, outlines);
}

OutlinePath COpmlImportDialog::PathOf(const QTreeWidgetItem* item) {
    OutlinePath path;
    for (auto* at = const_cast<QTreeWidgetItem*>(item); at; at = at->parent()) {
        const int position = at->parent() ? at->parent()->indexOfChild(at)
                                          : at->treeWidget()->indexOfTopLevelItem(at);
        path.insert(path.begin(), position);
    }
    return path;
}

void COpmlImportDialog::ChooseFile() {
    const QString path = CFileChooser::OpenFile(this, QStringLiteral("打开OPML文件"),
                                                QString::fromUtf8(kOpmlFilter));
    if (path.isEmpty())
        return;
    LoadFile(path);
}

void COpmlImportDialog::ChooseAddress() {
    bool ok = false;
    const QString url =
        QInputDialog::getText(this, QStringLiteral("打开网址"), QStringLiteral("OPML文件的地址:"),
                              QLineEdit::Normal, QString(), &ok);
    if (ok)
        LoadAddress(url.trimmed());
}

void COpmlImportDialog::SourceChosen() {
    // One list per import: once one was chosen, the buttons rest and 确定 may be pressed.
    m_openFile->setEnabled(false);
    m_openAddress->setEnabled(false);
    m_ok->setEnabled(true);
}

bool COpmlImportDialog::LoadFile(const QString& path) {
    if (!m_ready)
        return false;
    const bool loaded = m_import.LoadSource(ToStd(path));
    SourceChosen();
    if (!loaded) {
        CMessageBox::Show(this, QString::fromUtf8(COpmlExchange::kUnknownFormatText));
        return false;
    }
    FillTree(m_sourceTree, m_import.Source());
    m_importAll->setEnabled(!m_import.Source().empty());
    return true;
}

bool COpmlImportDialog::LoadAddress(const QString& url) {
    if (!m_ready)
        return false;
    std::string message;
    const bool loaded = m_import.LoadSourceFromUrl(ToStd(url), message);
    if (!loaded) {
        CMessageBox::Show(this, ToQ(message));
        // An address that did not answer leaves the buttons for another try.
        if (message == COpmlExchange::kInvalidLinkText)
            return false;
        SourceChosen();
        return false;
    }
    SourceChosen();
    FillTree(m_sourceTree, m_import.Source());
    m_importAll->setEnabled(!m_import.Source().empty());
    return true;
}

bool COpmlImportDialog::DropAt(const OutlinePath& source, const OutlinePath& target) {
    if (!COpmlImport::Find(m_import.Source(), source))
        return false;
    return DropItemsAt({source}, target);
}

bool COpmlImportDialog::DropItemsAt(const std::vector<OutlinePath>& sources,
                                    const OutlinePath& target) {
    OutlinePath landed;
    OpmlMergeResult result;
    const bool written = m_import.DropMany(sources, target, result, &landed);
    ShowDropped(landed, result);
    if (!written)
        CMessageBox::Show(this, QStringLiteral("无法写入频道文件的工作副本: ") +
                                    ToQ(m_import.WorkingCopy()));
    return written;
}

bool COpmlImportDialog::DropSelectionAt(const OutlinePath& target) {
    // Every selected item goes, folders with everything below them.
    std::vector<OutlinePath> dragged;
    for (const QTreeWidgetItem* item : m_sourceTree->selectedItems())
        dragged.push_back(PathOf(item));
    return !dragged.empty() && DropItemsAt(dragged, target);
}

bool COpmlImportDialog::ImportAll() {
    if (!m_ready)
        return false;
    OpmlMergeResult result;
    const bool written = m_import.DropAll(result);
    ShowDropped({}, result);
    if (!written)
        CMessageBox::Show(this, QStringLiteral("无法写入频道文件的工作副本: ") +
                                    ToQ(m_import.WorkingCopy()));
    return written;
}

void COpmlImportDialog::ShowDropped(const OutlinePath& landed, const OpmlMergeResult& result) {
    FillTree(m_targetTree, m_import.Target());
    m_summary->setText(ToQ(result.SummaryText()));
    // The dropped item is shown where it landed.
    QTreeWidgetItem* item = nullptr;
    for (int position : landed) {
        if (item)
            item->setExpanded(true);
        item = item ? item->child(position) : m_targetTree->topLevelItem(position);
        if (!item)
            break;
    }
    if (item)
        m_targetTree->setCurrentItem(item);
}

void COpmlImportDialog::HoverOver(QTreeWidgetItem* item) {
    m_hoverItem = item;
    if (!item) {
        m_hoverTimer.stop();
        return;
    }
    m_targetTree->setCurrentItem(item);
    m_hoverTimer.start();
}

void COpmlImportDialog::OnHoverTimer() {
    if (m_hoverItem)
        m_hoverItem->setExpanded(!m_hoverItem->isExpanded());
}

bool COpmlImportDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_targetTree->viewport())
        return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (drag->source() != m_sourceTree || m_sourceTree->selectedItems().isEmpty()) {
            drag->ignore();
            return true;
        }
        QTreeWidgetItem* over = m_targetTree->itemAt(drag->position().toPoint());
        if (over != m_hoverItem)
            HoverOver(over);
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::DragLeave:
        m_hoverTimer.stop();
        m_hoverItem = nullptr;
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        m_hoverTimer.stop();
        m_hoverItem = nullptr;
        QTreeWidgetItem* over = m_targetTree->itemAt(drop->position().toPoint());
        const OutlinePath target = over ? PathOf(over) : OutlinePath{};
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        DropSelectionAt(target);
        return true;
    }
    default:
        return QDialog::eventFilter(watched, event);
    }
}

void COpmlImportDialog::accept() {
    std::string error;
    if (!m_ready || !m_import.Commit(error)) {
        CMessageBox::Show(this, QStringLiteral("导入失败: ") + ToQ(error));
        return;
    }
    // The whole import in one line.
    const OpmlMergeResult& result = m_import.Result();
    if (!result.added.empty() || !result.skipped.empty())
        CMessageBox::Show(this, ToQ(result.SummaryText()));
    QDialog::accept();
}

void COpmlImportDialog::reject() {
    m_import.Cancel();
    QDialog::reject();
}
