#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <vector>

class QTabWidget;

// One page of a settings sheet: its fields, their checks and the write of their values.
class CPropertyPage : public QWidget {
    Q_OBJECT
public:
    explicit CPropertyPage(const QString& caption, QWidget* parent = nullptr)
        : QWidget(parent), m_caption(caption) {}
    const QString& Caption() const { return m_caption; }

    // The first bad value's message in the order of the fields, or an empty text. The page
    // puts the focus on the field it names.
    virtual QString Validate() { return QString(); }
    // Writes the values; false when the write failed (the failure is reported already).
    virtual bool Apply() { return true; }

private:
    QString m_caption;
};

// A settings sheet: pages in tabs, 确定 and 取消. On 确定 every page is checked in order and
// the first message is shown with its page in front; nothing is written until all checks pass.
class CPropertySheet : public QDialog {
    Q_OBJECT
public:
    explicit CPropertySheet(const QString& title, QWidget* parent = nullptr);

    void AddPage(CPropertyPage* page);
    const std::vector<CPropertyPage*>& Pages() const { return m_pages; }
    QTabWidget* Tabs() const { return m_tabs; }

    // What 确定 does: checks, writes, closes. False (the sheet stays open) when a check or a
    // write failed.
    bool Confirm();

protected:
    // Writes the values once every check passed; by default each page writes its own.
    virtual bool Commit();

private:
    QTabWidget* m_tabs = nullptr;
    std::vector<CPropertyPage*> m_pages;
};
