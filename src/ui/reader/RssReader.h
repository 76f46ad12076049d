#pragma once

#include "reader/ChannelTree.h"
#include "reader/FeedItemView.h"
#include "reader/ReceiveScheduler.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>

class CFeedDatabase;
class CRssReader;

// The receive observer of the windows: every call from a worker is handed to the interface
// thread, where the reader raises the matching signal. Settling the read marks waits for the
// interface thread, because the merge that follows must not see them unsettled.
class CWindowReceiveObserver : public CReceiveObserver {
public:
    explicit CWindowReceiveObserver(CRssReader& reader) : m_reader(reader) {}

    void OnReceiveBegin(int index) override;
    void OnImageChanged(int index, int image) override;
    void OnUnreadChanged(int index, int count) override;
    void OnProgress(const ReceiveProgress& progress) override;
    void OnRoundEnd(const ReceiveProgress& progress,
                    const std::vector<NewItemsNote>& announce) override;
    void OnReloadList(int feedId) override;
    void OnSettleReadMarks() override;
    int SelectedItem() override;
    void OnChannelDone(const ChannelReceiveResult& result) override;

private:
    CRssReader& m_reader;
};

// The feed reader of the main window: the channel tree and item list logic, the receive
// scheduler and its timer, shared by the channel tree window and the item list window. Its
// signals are raised on the interface thread.
class CRssReader : public QObject {
    Q_OBJECT
public:
    // The store is the interface thread's own connection; the rest (channel file, settings,
    // skins, the receive's store and rules) is the context's program directory.
    CRssReader(const CAppContext& context, CFeedDatabase& store, QObject* parent = nullptr);
    ~CRssReader() override;

    // The program directory the reader works in, for the windows it opens.
    const CAppContext& Context() const { return m_context; }
    CChannelTree& Tree() { return m_tree; }
    CFeedItemView& View() { return m_view; }
    CReceiveScheduler& Scheduler() { return *m_scheduler; }
    CFeedDatabase& Store() { return m_store; }

    // Loads the channel file; false when it cannot be loaded (reported already).
    bool Build();
    // The start-up receive and the auto-receive timer, as the settings ask.
    void StartReceiving();
    // After the reader settings changed: the tree takes the new values and the timer follows.
    // True when the page size changed (the list must be shown again).
    bool ApplySettings();
    int TimerInterval() const { return m_timer.isActive() ? m_timer.interval() : 0; }

    // The item selected in the channel tree, for the workers.
    void SetSelected(int index) { m_selected = index; }
    int Selected() const { return m_selected.load(); }

    // Stops the timer and every receive, and waits for the workers.
    void StopReceiving();
    // StopReceiving, then the tree state (expanded directories, remembered counts) is written.
    void Shutdown();

    // Marks the channels remembered for marking read on leave as read (and says so).
    void SettleReadMarks();

signals:
    void ReceiveBegin(int index);
    void ImageChanged(int index, int image);
    void UnreadChanged(int index, int count);
    // The receives under way: their counts, and at the end the channels to announce.
    void Progress(const ReceiveProgress& progress);
    void RoundEnded(const ReceiveProgress& progress, const std::vector<NewItemsNote>& announce);
    void ReloadList(int feedId);
    // A channel's receive ended; a failure carries its reason.
    void ChannelDone(const ChannelReceiveResult& result);
    // Unread counts changed for many items at once (marking read): repaint the tree.
    void CountsChanged();

private:
    friend class CWindowReceiveObserver;

    CAppContext m_context;
    CFeedDatabase& m_store;
    CChannelTree m_tree;
    CFeedItemView m_view;
    CWindowReceiveObserver m_observer;
    std::unique_ptr<CReceiveScheduler> m_scheduler;
    QTimer m_timer;
    std::atomic<int> m_selected{-1};
    bool m_shutDown = false;
    bool m_built = false;
    std::atomic<bool> m_stopping{false};
};
