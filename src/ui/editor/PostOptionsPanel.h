#pragma once

#include "workspace/PostOptions.h"

#include <QWidget>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The post's options beside the article: the weblog's categories to tick (several may be), the
// excerpt, the slug, the publish time (a later one schedules the post), 发布 or 服务器草稿, and
// whether comments are allowed. What the account's interface cannot send is greyed, its
// tooltip saying why.
class CPostOptionsPanel : public QWidget {
    Q_OBJECT
public:
    explicit CPostOptionsPanel(QWidget* parent = nullptr);

    void SetSupport(const PostOptionSupport& support);
    // The weblog's categories; the ticked ones stay ticked.
    void SetCategories(const std::vector<std::string>& names);
    // What the category request says (its failure and why, or "").
    void SetCategoryStatus(const QString& text);
    void SetOptions(const PostOptions& options);
    PostOptions Options() const;

    QListWidget* CategoryList() const { return m_categories; }
    QPushButton* RefreshButton() const { return m_refresh; }
    QLineEdit* SlugEdit() const { return m_slug; }
    QComboBox* StatusBox() const { return m_status; }
    QCheckBox* CommentsBox() const { return m_comments; }
    QLabel* CategoryStatus() const { return m_categoryStatus; }

signals:
    // The user asks for the weblog's categories again.
    void RefreshRequested();

private:
    QListWidget* m_categories = nullptr;
    QPushButton* m_refresh = nullptr;
    QLabel* m_categoryStatus = nullptr;
    QPlainTextEdit* m_excerpt = nullptr;
    QLineEdit* m_slug = nullptr;
    QCheckBox* m_scheduled = nullptr;
    QDateTimeEdit* m_date = nullptr;
    QComboBox* m_status = nullptr;
    QCheckBox* m_comments = nullptr;
};
