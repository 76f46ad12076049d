#include "ui/reader/RssReader.h"

#include "app/AppContext.h"
#include "app/AppSettings.h"
#include "storage/FeedDatabase.h"
#include "ui/common/UiThread.h"

void CWindowReceiveObserver::OnReceiveBegin(int index) {
    PostToUi(&m_reader, [r = &m_reader, index] { emit r->ReceiveBegin(index); });
}

void CWindowReceiveObserver::OnImageChanged(int index, int image) {
    PostToUi(&m_reader, [r = &m_reader, index, image] { emit r->ImageChanged(index, image); });
}

void CWindowReceiveObserver::OnUnreadChanged(int index, int count) {
    PostToUi(&m_reader, [r = &m_reader, index, count] { emit r->UnreadChanged(index, count); });
}

void CWindowReceiveObserver::OnProgress(const ReceiveProgress& progress) {
    PostToUi(&m_reader, [r = &m_reader, progress] { emit r->Progress(progress); });
}

void CWindowReceiveObserver::OnRoundEnd(const ReceiveProgress& progress,
                                        const std::vector<NewItemsNote>& announce) {
    PostToUi(&m_reader,
             [r = &m_reader, progress, announce] { emit r->RoundEnded(progress, announce); });
}

void CWindowReceiveObserver::OnReloadList(int feedId) {
    PostToUi(&m_reader, [r = &m_reader, feedId] { emit r->ReloadList(feedId); });
}

void CWindowReceiveObserver::OnSettleReadMarks() {
    RunOnUi(
        &m_reader, [r = &m_reader] { r->SettleReadMarks(); }, &m_reader.m_stopping);
}

int CWindowReceiveObserver::SelectedItem() {
    return m_reader.Selected();
}

void CWindowReceiveObserver::OnChannelDone(const ChannelReceiveResult& result) {
    PostToUi(&m_reader, [r = &m_reader, result] { emit r->ChannelDone(result); });
}

CRssReader::CRssReader(const CAppContext& context, CFeedDatabase& store, QObject* parent)
    : QObject(parent), m_context(context), m_store(store), m_tree(context),
      m_view(context, m_tree, store), m_observer(*this) {
    m_scheduler = std::make_unique<CReceiveScheduler>(context, m_tree, m_observer);
    m_scheduler->SetStorePath(store.GetPath());
    std::string skin;
    if (m_context.Settings().ReadAppValue("rss/articlestyle", skin) && !skin.empty())
        m_view.SetSkin(skin);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_scheduler->OnTimerTick(); });
}

CRssReader::~CRssReader() {
    Shutdown();
}

bool CRssReader::Build() {
    m_built = m_tree.Build();
    return m_built;
}

void CRssReader::StartReceiving() {
    m_scheduler->CatchUpSearchIndexInBackground();
    m_scheduler->StartupReceive();
    if (int period = m_scheduler->TimerPeriodMs(); period > 0)
        m_timer.start(period);
}

bool CRssReader::ApplySettings() {
    const ChannelTreeOptions before = m_tree.Options();
    m_tree.LoadOptions();
    const ChannelTreeOptions after = m_tree.Options();
    switch (CReceiveScheduler::TimerChangeFor(before, after)) {
    case CReceiveScheduler::TimerChange::kStart:
        m_timer.start(m_scheduler->TimerPeriodMs());
        break;
    case CReceiveScheduler::TimerChange::kStop:
        m_timer.stop();
        break;
    case CReceiveScheduler::TimerChange::kNone:
        break;
    }
    return before.pageSize != after.pageSize;
}

void CRssReader::StopReceiving() {
    m_stopping = true;
    m_timer.stop();
    m_scheduler->Shutdown();
}

void CRssReader::Shutdown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    StopReceiving();
    // A tree that never loaded has nothing to write back.
    if (m_built)
        m_tree.SaveTreeState();
}

void CRssReader::SettleReadMarks() {
    m_view.SettleReadMarks();
    emit CountsChanged();
}
