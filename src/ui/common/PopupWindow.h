#pragma once

#include <QFrame>
#include <QList>
#include <QPair>
#include <QString>
#include <QTimer>

class QLabel;

// The short-lived notification in the corner of the screen, titled "消息提示": an icon and one
// text. A new notification replaces the shown one; it closes by itself after its time, or when
// clicked (a click on the text also asks for the main window).
class CPopupWindow : public QFrame {
    Q_OBJECT
public:
    explicit CPopupWindow(QWidget* parent = nullptr);

    // Shows the text for the time; replaces what is shown.
    void Popup(const QString& text, int milliseconds);
    QString Text() const { return m_lastText; }
    int Duration() const { return m_duration; }
    bool IsShowing() const { return isVisible(); }

    // A weblog operation finished: 0 posts fetched, 1 deleted on the server, 2 published; any
    // other code gives no text (and no notification).
    static QString BlogResultText(int code);
    static constexpr int kBlogResultMs = 5000;
    // New items in a channel: the title, a line break, then 有 N 个更新.
    static QString NewItemsText(const QString& channelTitle, int count);
    static constexpr int kNewItemsMs = 3000;
    // New items in several channels after one receive: "N 个频道有 M 个新条目", a line break,
    // then the first channels with their counts, busiest first.
    static QString NewItemsSummaryText(const QList<QPair<QString, int>>& channels, int items);

signals:
    // The text was clicked: the main window should come forward.
    void TextClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PlaceInCorner();

    QLabel* m_text = nullptr;
    QTimer m_timer;
    QString m_lastText;
    int m_duration = 0;
};
