#include "ui/export/BackupActions.h"

#include "export/ArticleBackup.h"
#include "ui/common/FileChooser.h"
#include "ui/common/MessageBox.h"
#include "ui/common/UiText.h"

#include <QFileDialog>

namespace {

QString AskSavePath(QWidget* parent) {
    return CFileChooser::SaveFile(parent, QStringLiteral("导出"),
                                  ToQ(CArticleBackup::DefaultFileName()),
                                  QStringLiteral("*.xml|*.xml|"));
}

} // namespace

bool CBackupActions::ExportFolderTo(QWidget* parent, CArticleDatabase& store,
                                    const std::string& account, int folder,
                                    const std::string& path) {
    int count = 0;
    if (!CArticleBackup::ExportFolder(store, account, folder, path, count))
        return false;
    CMessageBox::Show(parent, ToQ(CArticleBackup::ExportedText(count)));
    return true;
}

void CBackupActions::ExportFolder(QWidget* parent, CArticleDatabase& store,
                                  const std::string& account, int folder) {
    int count = 0;
    if (StoreResult counted = store.CountArticles(folder, account, count); !counted) {
        CMessageBox::Show(parent, ToQ(counted.reason));
        return;
    }
    if (count == 0) {
        CMessageBox::Show(parent, QString::fromUtf8(CArticleBackup::kEmptyFolderText));
        return;
    }
    const QString path = AskSavePath(parent);
    if (!path.isEmpty())
        ExportFolderTo(parent, store, account, folder, ToStd(path));
}

void CBackupActions::ExportArticles(QWidget* parent, CArticleDatabase& store,
                                    const std::vector<int>& ids) {
    if (ids.empty()) {
        CMessageBox::Show(parent, QString::fromUtf8(CArticleBackup::kEmptyFolderText));
        return;
    }
    const QString path = AskSavePath(parent);
    if (path.isEmpty())
        return;
    int count = 0;
    if (CArticleBackup::ExportArticles(store, ids, ToStd(path), count))
        CMessageBox::Show(parent, ToQ(CArticleBackup::ExportedText(count)));
}

int CBackupActions::ImportFrom(QWidget* parent, CArticleDatabase& store, const std::string& account,
                               const std::string& path) {
    int count = 0;
    if (!CArticleBackup::ImportToDrafts(store, account, path, count))
        return 0;
    CMessageBox::Show(parent, ToQ(CArticleBackup::ImportedText(count)));
    return count;
}

int CBackupActions::ImportToDrafts(QWidget* parent, CArticleDatabase& store,
                                   const std::string& account) {
    QFileDialog dialog(parent, QStringLiteral("导入日志"), QString(), QStringLiteral("*.xml"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("xml"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return 0;
    return ImportFrom(parent, store, account, ToStd(dialog.selectedFiles().front()));
}
