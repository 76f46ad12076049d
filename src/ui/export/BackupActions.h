#pragma once

#include <string>
#include <vector>

class CArticleDatabase;
class QWidget;

// The window side of the RSS backup: the file dialogs and the messages around the export and
// import of CArticleBackup. The account tree (导出为XML日志, 导入日志 on 草稿箱) and the article
// list (导出XML, the toolbar's 导入日志) call these; failures are reported by the logic.
class CBackupActions {
public:
    // Asks for the file (named after the local time) and writes the folder's articles.
    static void ExportFolder(QWidget* parent, CArticleDatabase& store, const std::string& account,
                             int folder);
    // Asks for the file and writes the selected articles, in the given order.
    static void ExportArticles(QWidget* parent, CArticleDatabase& store,
                               const std::vector<int>& ids);
    // Asks for a backup file and stores its articles as drafts of the account. Returns how many
    // were stored (0 when none), so the caller can recount 草稿箱 and reload the list.
    static int ImportToDrafts(QWidget* parent, CArticleDatabase& store, const std::string& account);

    // The same steps with the file already chosen.
    static bool ExportFolderTo(QWidget* parent, CArticleDatabase& store, const std::string& account,
                               int folder, const std::string& path);
    static int ImportFrom(QWidget* parent, CArticleDatabase& store, const std::string& account,
                          const std::string& path);
};
