#pragma once

#include <QWizard>

class CMainFrame;
class CRssReader;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

// 清理文章向导: the channels to clean (the channel tree with check boxes), then the age in days
// (0 to 365; 0 takes every item whatever its date) and all items or read ones only, and the
// start button, which says how many items (and how many unread) go and asks first. The
// cleaning itself is CFeedCleaner's; afterwards the cleaned channels show their counts anew.
class CCleanWizard : public QWizard {
    Q_OBJECT
public:
    explicit CCleanWizard(CRssReader& reader, QWidget* parent = nullptr);

    // The wizard of the main window, shown modally; the item list shows what is left.
    static void Run(CMainFrame& frame);

    // The tree indexes of the checked channels.
    std::vector<int> CheckedChannels() const;
    void StartCleaning();

    QTreeWidget* ChannelList() const { return m_channels; }
    QLineEdit* DaysEdit() const { return m_days; }
    QRadioButton* AllButton() const { return m_all; }
    QRadioButton* ReadOnlyButton() const { return m_readOnly; }
    QPushButton* StartButton() const { return m_start; }

    static constexpr int kChannelsPage = 0;
    static constexpr int kOptionsPage = 1;

private:
    void AddChildren(QTreeWidgetItem* parent, const std::vector<int>& indexes);

    CRssReader& m_reader;
    QTreeWidget* m_channels = nullptr;
    QLineEdit* m_days = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_readOnly = nullptr;
    QPushButton* m_start = nullptr;
};
