#pragma once

#include <QWidget>

class CBottomHtmlView;
class QAction;
class QLineEdit;
class QToolBar;

// The lower part of the reading area: the browser toolbar (后退, 前进, 停止, 刷新, 空白页 and
// the address box) above the embedded browser. The toolbar is shown for every mode of the view
// but the article preview.
class CReadingFrame : public QWidget {
    Q_OBJECT
public:
    explicit CReadingFrame(QWidget* parent = nullptr);

    CBottomHtmlView* View() const { return m_view; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QLineEdit* AddressBox() const { return m_address; }
    QAction* Action(int commandId) const;

    // The flag of 直接浏览网页: selecting an item opens its link instead of the rendered item.
    bool BrowseDirectly() const { return m_browseDirectly; }

public slots:
    void OnCommand(int commandId);

private:
    QAction* AddCommand(int id, const QString& text, const char* icon, int fallback);

    CBottomHtmlView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLineEdit* m_address = nullptr;
    QList<QAction*> m_actions;
    bool m_browseDirectly = false;
};
