#pragma once

#include "storage/FeedItem.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

// "添加收藏项": an item written by hand into a favorites box: title, link, author, date (starting
// with the time now) and description.
class CFavoriteItemDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFavoriteItemDialog(QWidget* parent = nullptr);

    FeedItem Item() const;
    QLineEdit* TitleEdit() const { return m_title; }
    QLineEdit* LinkEdit() const { return m_link; }
    QLineEdit* AuthorEdit() const { return m_author; }
    QLineEdit* DateEdit() const { return m_date; }
    QPlainTextEdit* DescriptionEdit() const { return m_description; }
    // What 确定 does: the checks field by field, then the dialog closes.
    bool Confirm();

private:
    QLineEdit* m_title = nullptr;
    QLineEdit* m_link = nullptr;
    QLineEdit* m_author = nullptr;
    QLineEdit* m_date = nullptr;
    QPlainTextEdit* m_description = nullptr;
};
