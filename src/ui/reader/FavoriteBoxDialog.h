#pragma once

#include <QDialog>

class QLineEdit;

// A favorites box (收藏节点): its name, its id (shown, never edited) and its site address.
class CFavoriteBoxDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFavoriteBoxDialog(QWidget* parent = nullptr);

    void SetValues(const QString& name, const QString& idText, const QString& siteUrl);
    QString Name() const;
    QString SiteUrl() const;
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* IdEdit() const { return m_id; }
    QLineEdit* SiteEdit() const { return m_site; }
    // What 确定 does: the checks, then the dialog closes.
    bool Confirm();

private:
    QLineEdit* m_name = nullptr;
    QLineEdit* m_id = nullptr;
    QLineEdit* m_site = nullptr;
};
