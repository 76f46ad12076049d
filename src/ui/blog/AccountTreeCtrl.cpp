#include "ui/blog/AccountTreeCtrl.h"

#include "app/AppContext.h"
#include "ui/app/CommandTable.h"
#include "ui/blog/LocalLoginDialog.h"
#include "ui/common/CommandIds.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"
#include "workspace/ArticleOperations.h"
#include "workspace/LocalLoginLock.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace {

// The count starts this far right of the label's left edge, or just after a longer label.
constexpr int kCountOffset = 55;

QIcon KindIcon(int kind) {
    switch (kind) {
    case CAccountTreeCtrl::kNodeAccount:
        return ThemeIcon("user-home", QStyle::SP_DirHomeIcon);
    case CAccountTreeCtrl::kNodeReceived:
        return ThemeIcon("mail-read", QStyle::SP_FileIcon);
    case CAccountTreeCtrl::kNodeSent:
        return ThemeIcon("mail-send", QStyle::SP_ArrowForward);
    case CAccountTreeCtrl::kNodeDrafts:
        return ThemeIcon("text-x-generic", QStyle::SP_FileDialogDetailedView);
    case CAccountTreeCtrl::kNodeTrash:
        return ThemeIcon("user-trash", QStyle::SP_TrashIcon);
    default:
        return ThemeIcon("web-browser", QStyle::SP_DriveNetIcon);
    }
}

} // namespace

void CAccountItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const int count = index.data(CAccountTreeCtrl::kCountRole).toInt();
    if (count == 0)
        return;
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
    const int labelWidth = opt.fontMetrics.horizontalAdvance(opt.text) + 4;
    QRect countRect = textRect;
    countRect.setLeft(textRect.left() + std::max(kCountOffset, labelWidth));
    countRect.setRight(std::max(countRect.right(), countRect.left() + 60));
    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(countRect, Qt::AlignLeft | Qt::AlignVCenter,
                      QStringLiteral("[%1]").arg(count));
    painter->restore();
}

QSize CAccountItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const int count = index.data(CAccountTreeCtrl::kCountRole).toInt();
    if (count != 0)
        size.rwidth() += kCountOffset;
    return size;
}

const CAppContext& CAccountTreeCtrl::Context() const {
    return m_operations.Context();
}

CAccountTreeCtrl::CAccountTreeCtrl(CArticleOperations& operations, CLocalLoginLock& loginLock,
                                   CCommandTable* commands, QWidget* parent)
    : QTreeWidget(parent), m_operations(operations), m_loginLock(loginLock), m_commands(commands) {
    setObjectName(QStringLiteral("accountTree"));
    setColumnCount(1);
    setHeaderHidden(true);
    setIconSize(QSize(16, 16));
    setItemDelegate(new CAccountItemDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    if (m_commands)
        RegisterCommands();
}

void CAccountTreeCtrl::RegisterCommands() {
    CCommandTable& c = *m_commands;
    c.Handle(kCmdClearFolder, [this] {
        if (CheckCurrentAccount())
            ClearFolder();
    });
    c.Handle(kCmdFolderEbook, [this] {
        if (CheckCurrentAccount())
            emit EbookRequested(ToQ(m_currentAccount), m_currentKind);
    });
    // The weblog's address is public: no login check.
    c.Handle(kCmdOpenMyBlog, [this] {
        std::string blogurl;
        m_operations.Context().Accounts().GetAccountField(m_currentAccount, "blogurl", blogurl);
        QDesktopServices::openUrl(QUrl(BlogAddress(blogurl)));
    });
}

bool CAccountTreeCtrl::CheckCurrentAccount() {
    return !m_currentAccount.empty() && LocalLoginCheck(m_currentAccount);
}

QString CAccountTreeCtrl::KindLabel(int kind) {
    switch (kind) {
    case kNodeReceived:
        return QStringLiteral("已收日志");
    case kNodeSent:
        return QStringLiteral("已发日志");
    case kNodeDrafts:
        return QStringLiteral("草稿箱");
    case kNodeTrash:
        return QStringLiteral("垃圾箱");
    case kNodeMyBlog:
        return QStringLiteral("我的博客");
    default:
        return QString();
    }
}

QColor CAccountTreeCtrl::KindColor(int kind) {
    switch (kind) {
    case kNodeDrafts:
        return QColor(238, 0, 0);
    case kNodeTrash:
        return QColor(130, 130, 130);
    default:
        return QColor(0, 0, 200);
    }
}

QString CAccountTreeCtrl::BlogAddress(const std::string& blogurl) {
    const QString address = ToQ(blogurl).trimmed();
    if (address.isEmpty() || address.compare(QStringLiteral("http://"), Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(kDefaultBlogAddress);
    return address;
}

void CAccountTreeCtrl::BuildTree() {
    clear();
    m_accounts.clear();
    m_operations.Context().Accounts().ListAccounts(m_accounts);
    for (int i = 0; i < static_cast<int>(m_accounts.size()); ++i)
        AddAccountNodes(i, m_accounts[i]);
    if (QTreeWidgetItem* first = topLevelItem(0))
        SelectNode(first, false);
}

void CAccountTreeCtrl::AddAccountNodes(int index, const AccountRecord& account) {
    const int base = NodeCode(index, kNodeAccount);
    auto* root = new QTreeWidgetItem(this);
    root->setText(0, ToQ(account.description));
    root->setIcon(0, KindIcon(kNodeAccount));
    root->setForeground(0, KindColor(kNodeAccount));
    root->setData(0, kCodeRole, base);
    root->setToolTip(0, ToQ(account.name));
    for (int kind = kNodeReceived; kind <= kNodeMyBlog; ++kind) {
        auto* child = new QTreeWidgetItem(root);
        child->setText(0, KindLabel(kind));
        child->setIcon(0, KindIcon(kind));
        child->setForeground(0, KindColor(kind));
        child->setData(0, kCodeRole, base + 10 * kind);
        if (kind != kNodeMyBlog)
            Recount(child);
    }
    root->setExpanded(account.expanded != 0);
}

QTreeWidgetItem* CAccountTreeCtrl::ItemOfCode(int code) const {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = topLevelItem(i);
        if (CodeOf(root) == code)
            return root;
        for (int c = 0; c < root->childCount(); ++c)
            if (CodeOf(root->child(c)) == code)
                return root->child(c);
    }
    return nullptr;
}

int CAccountTreeCtrl::CodeOf(const QTreeWidgetItem* item) const {
    return item ? item->data(0, kCodeRole).toInt() : -1;
}

int CAccountTreeCtrl::CountOf(int code) const {
    const QTreeWidgetItem* item = ItemOfCode(code);
    return item ? item->data(0, kCountRole).toInt() : 0;
}

int CAccountTreeCtrl::FolderCode(const std::string& account, int folder) const {
    for (int i = 0; i < static_cast<int>(m_accounts.size()); ++i)
        if (m_accounts[i].name == account)
            return NodeCode(i, folder);
    return -1;
}

void CAccountTreeCtrl::Recount(QTreeWidgetItem* item) {
    const int code = CodeOf(item);
    const int index = AccountIndexOf(code);
    const int kind = KindOf(code);
    if (index < 0 || index >= static_cast<int>(m_accounts.size()) || kind < kNodeReceived ||
        kind > kNodeTrash)
        return;
    FolderCounts counts;
    std::string reason;
    // A store that cannot be read shows no count, and the folder says why.
    if (!m_operations.CountFolders(m_accounts[index].name, counts, reason))
        counts = FolderCounts{};
    ShowCount(item, counts, reason);
}

void CAccountTreeCtrl::ShowCount(QTreeWidgetItem* item, const FolderCounts& counts,
                                 const std::string& reason) {
    item->setToolTip(0,
                     reason.empty() ? QString() : QStringLiteral("无法读取文章数: ") + ToQ(reason));
    item->setData(0, kCountRole, counts.Of(KindOf(CodeOf(item))));
}

void CAccountTreeCtrl::RecountFolder(const std::string& account, int folder) {
    const int code = FolderCode(account, folder);
    if (code >= 0)
        UpdateNode(code, kUpdateRecount);
}

void CAccountTreeCtrl::RecountAll() {
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = topLevelItem(i);
        const int index = AccountIndexOf(CodeOf(root));
        if (index < 0 || index >= static_cast<int>(m_accounts.size()))
            continue;
        // One look at the store per account, for its four folders.
        FolderCounts counts;
        std::string reason;
        if (!m_operations.CountFolders(m_accounts[index].name, counts, reason))
            counts = FolderCounts{};
        for (int c = 0; c < root->childCount(); ++c) {
            const int kind = KindOf(CodeOf(root->child(c)));
            if (kind >= kNodeReceived && kind <= kNodeTrash)
                ShowCount(root->child(c), counts, reason);
        }
    }
}

void CAccountTreeCtrl::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    // A click on the expand sign only opens or closes the account.
    if (item && visualItemRect(item).contains(event->position().toPoint()))
        ClickItem(item);
}

void CAccountTreeCtrl::ClickItem(QTreeWidgetItem* item) {
    SelectNode(item, true);
}

bool CAccountTreeCtrl::SelectNode(QTreeWidgetItem* item, bool check) {
    const int code = CodeOf(item);
    const int index = AccountIndexOf(code);
    if (!item || index < 0 || index >= static_cast<int>(m_accounts.size()))
        return false;
    setCurrentItem(item);
    m_currentAccount = m_accounts[index].name;
    emit CurrentAccountChanged();
    if (check && !LocalLoginCheck(m_currentAccount))
        return false;
    ShowNode(KindOf(code));
    return true;
}

bool CAccountTreeCtrl::LocalLoginCheck(const std::string& account) {
    if (!m_loginLock.IsLocked(account))
        return true;
    const std::optional<QString> typed = CLocalLoginDialog::Ask(this, ToQ(account));
    if (!typed)
        return false;
    switch (m_loginLock.Unlock(account, ToStd(*typed))) {
    case CLocalLoginLock::Answer::kPassed:
        return true;
    case CLocalLoginLock::Answer::kWrongPassword:
        CMessageBox::Show(this, QString::fromUtf8(CLocalLoginLock::kWrongPasswordText));
        return false;
    default:
        // The account store has said why.
        return false;
    }
}

void CAccountTreeCtrl::ShowNode(int kind) {
    m_currentKind = kind;
    if (kind >= kNodeReceived && kind <= kNodeTrash) {
        emit FolderSelected(ToQ(m_currentAccount), kind);
    } else if (kind == kNodeMyBlog) {
        std::string blogurl;
        m_operations.Context().Accounts().GetAccountField(m_currentAccount, "blogurl", blogurl);
        emit OpenInPane(BlogAddress(blogurl));
    }
}

void CAccountTreeCtrl::UpdateNode(int code, int updateCode) {
    if (updateCode == kUpdateAccountAdded) {
        m_accounts.clear();
        m_operations.Context().Accounts().ListAccounts(m_accounts);
        if (m_accounts.empty())
            return;
        const int last = static_cast<int>(m_accounts.size()) - 1;
        AddAccountNodes(last, m_accounts[last]);
        // The new account is the one the user means to work with next.
        QTreeWidgetItem* added = ItemOfCode(NodeCode(last, kNodeAccount));
        added->setExpanded(true);
        SelectNode(added, false);
        return;
    }
    QTreeWidgetItem* item = ItemOfCode(code);
    if (!item)
        return;
    const int index = AccountIndexOf(code);
    if (updateCode == kUpdateDescription) {
        std::string description;
        if (index < 0 || index >= static_cast<int>(m_accounts.size()) ||
            !m_operations.Context().Accounts().GetAccountField(m_accounts[index].name,
                                                               "description", description))
            return;
        m_accounts[index].description = description;
        const QString label = ToQ(description);
        item->setText(0, item->text(0).contains(QStringLiteral("【"))
                             ? QStringLiteral("【") + label + QStringLiteral("】")
                             : label);
    } else if (updateCode == kUpdateAccountDeleted) {
        delete item;
        emit ListClearRequested();
        emit AccountRemoved();
    } else {
        Recount(item);
        viewport()->update(visualItemRect(item));
    }
}

std::vector<int> CAccountTreeCtrl::ContextCommands(int kind) {
    switch (kind) {
    case kNodeAccount:
        return {kCmdAccountProperties, 0, kCmdOpenMyBlog};
    case kNodeReceived:
    case kNodeSent:
    case kNodeTrash:
        return {kCmdClearFolder, 0, kCmdExportFolder, kCmdFolderEbook};
    case kNodeDrafts:
        return {kCmdImportFolder, 0, kCmdClearFolder, 0, kCmdExportFolder, kCmdFolderEbook};
    default:
        return {kCmdOpenMyBlog};
    }
}

QString CAccountTreeCtrl::ContextText(int commandId, int kind) {
    // Clearing the received copies loses nothing of one's own: it does not ask twice.
    if (commandId == kCmdClearFolder && kind == kNodeReceived)
        return QStringLiteral("清空文章(&C)");
    return CCommandTable::ContextText(commandId);
}

QMenu* CAccountTreeCtrl::BuildContextMenu(QTreeWidgetItem* item, QWidget* parent) {
    const int code = CodeOf(item);
    const int index = AccountIndexOf(code);
    if (!item || !m_commands || index < 0 || index >= static_cast<int>(m_accounts.size()))
        return nullptr;
    // As a click: a right-click on a folder shows that folder, after the account's login
    // check; when that fails there is neither the folder nor its menu.
    if (!SelectNode(item, true))
        return nullptr;
    const int kind = KindOf(code);
    auto* menu = new QMenu(parent);
    for (int id : ContextCommands(kind)) {
        if (id == 0)
            menu->addSeparator();
        else
            m_commands->AddTo(menu, id, CCommandTable::MenuText::kContext)
                ->setText(ContextText(id, kind));
    }
    return menu;
}

void CAccountTreeCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
    QMenu* menu = BuildContextMenu(item, this);
    if (!menu)
        return;
    menu->exec(event->globalPos());
    menu->deleteLater();
}

void CAccountTreeCtrl::OnCommand(int commandId) {
    // Each handler makes the login check its command needs.
    if (m_commands)
        m_commands->Run(commandId);
}

void CAccountTreeCtrl::ClearFolder() {
    const int kind = m_currentKind;
    if (m_currentAccount.empty() || kind < kNodeReceived || kind > kNodeTrash)
        return;
    const QString text =
        QStringLiteral("确定要清空 \"") + KindLabel(kind) + QStringLiteral("\" 中的所有日志吗?");
    if (!CMessageBox::Ask(this, text, QStringLiteral("确认")))
        return;
    const LocalOutcome outcome =
        m_operations.ClearFolder({.account = m_currentAccount, .folder = kind});
    if (!outcome.ok) {
        CMessageBox::Show(this, QStringLiteral("清空失败: ") + ToQ(outcome.reason));
        return;
    }
    RecountFolder(m_currentAccount, kind);
    emit ListClearRequested();
}

void CAccountTreeCtrl::SaveExpanded() {
    std::vector<int> flags;
    for (int i = 0; i < topLevelItemCount(); ++i)
        flags.push_back(topLevelItem(i)->isExpanded() ? 1 : 0);
    // An account removed from the tree in this run is no longer in the file either.
    if (static_cast<int>(flags.size()) == static_cast<int>(m_accounts.size()) && !flags.empty())
        m_operations.Context().Accounts().SetExpanded(flags);
}
