#pragma once

// Records everything a receive reports, in order, from whichever thread reports it.

#include "reader/ReceiveScheduler.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

class CRecordingObserver : public CReceiveObserver {
public:
    void OnReceiveBegin(int index) override { Add("begin " + std::to_string(index)); }
    void OnImageChanged(int index, int image) override {
        Add("image " + std::to_string(index) + " " + std::to_string(image));
    }
    void OnUnreadChanged(int index, int count) override {
        Add("unread " + std::to_string(index) + " " + std::to_string(count));
    }
    void OnProgress(const ReceiveProgress& progress) override {
        std::lock_guard lock(m_lock);
        progressSeen.push_back(progress);
    }
    void OnRoundEnd(const ReceiveProgress& progress,
                    const std::vector<NewItemsNote>& announce) override {
        std::lock_guard lock(m_lock);
        rounds.push_back(progress);
        announced.push_back(announce);
    }
    void OnReloadList(int feedId) override { Add("reload " + std::to_string(feedId)); }
    void OnWalkEnd() override { Add("end"); }
    int SelectedItem() override { return selected; }
    void OnChannelDone(const ChannelReceiveResult& result) override {
        std::lock_guard lock(m_lock);
        done[result.index] = {result.Ok(), result.newItems};
        results[result.index] = result;
        ++finished;
        if (!result.Ok())
            failures.push_back(result.reason);
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(m_lock);
        return m_events;
    }
    void Clear() {
        std::lock_guard lock(m_lock);
        m_events.clear();
        done.clear();
        results.clear();
        progressSeen.clear();
        rounds.clear();
        announced.clear();
    }
    int Rounds() {
        std::lock_guard lock(m_lock);
        return static_cast<int>(rounds.size());
    }
    int selected = -1;
    std::map<int, std::pair<bool, int>> done; // by channel: received, new items
    std::map<int, ChannelReceiveResult> results;
    int finished = 0; // every channel's every receive
    std::vector<std::string> failures;
    std::vector<ReceiveProgress> progressSeen;
    std::vector<ReceiveProgress> rounds; // each ended round's final counts
    std::vector<std::vector<NewItemsNote>> announced;

private:
    void Add(std::string event) {
        std::lock_guard lock(m_lock);
        m_events.push_back(std::move(event));
    }
    std::mutex m_lock;
    std::vector<std::string> m_events;
};
