#pragma once

#include "app/AppContext.h"
#include "shell/BrowserBookmarks.h"

#include <QTreeWidget>
#include <string>
#include <vector>

// The user's browser bookmarks as a tree: Firefox, Chromium and Chrome, and the folder of
// Internet-shortcut files, each as a top-level folder. A click on a link opens its page in the
// reading pane. The bookmarks are read when the pane is first shown and again on 刷新.
class CControlFavorites : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kUrlRole = Qt::UserRole + 1;

    // Reads the sources the context's program directory names.
    explicit CControlFavorites(const CAppContext& context, QWidget* parent = nullptr);

    // Reads every source again and shows what was found (and why a source could not be read).
    void Reload();
    // Shows the given trees (Reload reads them; tests hand them in).
    void Fill(const std::vector<BookmarkNode>& trees, const std::vector<std::string>& problems);
    bool IsLoaded() const { return m_loaded; }

    // Where the bookmarks are looked for: this user's folders, the configured folder of link
    // files (/app/favoritesfolder), and the program directory's Temp/ for copies.
    static BookmarkSources Sources(const CAppContext& context);
    // The folder of link files, or empty when none of the candidates exists.
    static std::string FavoritesFolder(const CAppContext& context);

signals:
    void OpenUrl(const QString& url);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void AddNode(QTreeWidgetItem* parent, const BookmarkNode& node);
    void OnItemClicked(QTreeWidgetItem* item);

    CAppContext m_context;
    bool m_loaded = false;
};
