#include "ui/shell/ControlFavorites.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "app/Reporter.h"
#include "ui/common/UiText.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <cstdlib>

CControlFavorites::CControlFavorites(const CAppContext& context, QWidget* parent)
    : QTreeWidget(parent), m_context(context) {
    setObjectName(QStringLiteral("browserFavorites"));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* reload = new QAction(ThemeIcon("view-refresh"), QStringLiteral("刷新"), this);
    connect(reload, &QAction::triggered, this, &CControlFavorites::Reload);
    addAction(reload);
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { OnItemClicked(item); });
    connect(this, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { OnItemClicked(item); });
}

BookmarkSources CControlFavorites::Sources(const CAppContext& context) {
    // The configured folder is optional: a settings file without the key says nothing about it.
    std::string configured;
    CSilentReporter silent;
    if (!context.WithReporter(silent).Settings().ReadAppValue("favoritesfolder", configured))
        configured.clear();
    if (configured.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        configured = std::string(home ? home : "") + configured.substr(1);
    }
    return BookmarkSources::FromEnvironment(configured, context.FilePath("Temp"));
}

std::string CControlFavorites::FavoritesFolder(const CAppContext& context) {
    return CBrowserBookmarks::FindFavoritesFolder(Sources(context));
}

void CControlFavorites::showEvent(QShowEvent* event) {
    QTreeWidget::showEvent(event);
    if (!m_loaded)
        Reload();
}

void CControlFavorites::Reload() {
    std::vector<std::string> problems;
    const std::vector<BookmarkNode> trees =
        CBrowserBookmarks::ReadAll(Sources(m_context), problems);
    Fill(trees, problems);
}

void CControlFavorites::Fill(const std::vector<BookmarkNode>& trees,
                             const std::vector<std::string>& problems) {
    m_loaded = true;
    clear();
    for (const BookmarkNode& tree : trees) {
        AddNode(nullptr, tree);
        topLevelItem(topLevelItemCount() - 1)->setExpanded(trees.size() == 1);
    }
    if (trees.empty()) {
        auto* none = new QTreeWidgetItem(this, {QStringLiteral("(没有找到浏览器书签)")});
        none->setFlags(Qt::ItemIsEnabled);
        none->setToolTip(0, QStringLiteral("查找了 Firefox (~/.mozilla/firefox)、"
                                           "Chromium 和 Chrome (~/.config) 的书签, "
                                           "以及 ~/Favorites 中的 .url 文件"));
    }
    // A source that could not be read says why, below the others.
    for (const std::string& problem : problems) {
        auto* item = new QTreeWidgetItem(this, {QStringLiteral("无法读取: ") + ToQ(problem)});
        item->setFlags(Qt::ItemIsEnabled);
        item->setIcon(0, ThemeIcon("dialog-warning", QStyle::SP_MessageBoxWarning));
        item->setToolTip(0, ToQ(problem));
    }
}

void CControlFavorites::AddNode(QTreeWidgetItem* parent, const BookmarkNode& node) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, ToQ(node.title));
    if (node.kind == BookmarkKind::kLink) {
        item->setIcon(0, ThemeIcon("text-html", QStyle::SP_FileLinkIcon));
        item->setData(0, kUrlRole, ToQ(node.url));
        item->setToolTip(0, ToQ(node.url));
        return;
    }
    item->setIcon(0, ThemeIcon("folder", QStyle::SP_DirIcon));
    for (const BookmarkNode& child : node.children)
        AddNode(item, child);
}

void CControlFavorites::OnItemClicked(QTreeWidgetItem* item) {
    if (!item)
        return;
    const QString url = item->data(0, kUrlRole).toString();
    if (!url.isEmpty())
        emit OpenUrl(url);
}
