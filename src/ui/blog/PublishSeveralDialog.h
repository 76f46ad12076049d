#pragma once

#include "app/AccountStore.h"
#include "workspace/ArticleObserver.h"

#include <QDialog>
#include <string>
#include <vector>

class CArticleEvents;
class CArticleOperations;
class CLocalLoginLock;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// "发布到多个博客": one article to up to five accounts at once. One row per account with a tick,
// its number, name, permission (√ may publish now, × its local password is still wanted) and
// description; the description cell shows each account's progress and result while the
// workers run ("▉发送中" ... "发送成功!文章编号: N", or "发送失败!" with the reason as tooltip).
class CPublishSeveralDialog : public QDialog {
    Q_OBJECT
public:
    enum Column : int { kColTick = 0, kColNumber, kColName, kColPermission, kColDescription };

    CPublishSeveralDialog(CArticleOperations& operations, CArticleEvents& events,
                          CLocalLoginLock& loginLock, int articleId, const std::string& ownAccount,
                          QWidget* parent = nullptr);

    QTreeWidget* Rows() const { return m_rows; }
    QPushButton* PublishButton() const { return m_publish; }
    QTreeWidgetItem* RowOf(const std::string& account) const;
    // The checks, then the start; false when it refused (the reason was shown).
    bool Publish();
    // Double-click on a row: a × row asks for the account's local password.
    void UnlockRow(QTreeWidgetItem* row);
    int OperationId() const { return m_operationId; }
    bool Finished() const { return m_finished; }

signals:
    void Published(const OperationResult& result);

private:
    CArticleOperations& m_operations;
    CLocalLoginLock& m_loginLock;
    int m_articleId = 0;
    int m_operationId = 0;
    bool m_finished = false;
    QTreeWidget* m_rows = nullptr;
    QPushButton* m_publish = nullptr;
};
