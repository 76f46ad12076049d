#include "reader/OpmlDiscovery.h"

#include "platform/jobs/JobRunner.h"

#include <algorithm>
#include <atomic>
#include <map>

namespace {

void CollectNew(const std::vector<OpmlOutline>& outlines, const COpmlFeedFilter& known,
                std::vector<std::string>& addresses) {
    for (const OpmlOutline& outline : outlines) {
        if (outline.IsDirectory()) {
            CollectNew(outline.children, known, addresses);
        } else if (known.IsNew(outline.xmlUrl) && std::find(addresses.begin(), addresses.end(),
                                                            outline.xmlUrl) == addresses.end()) {
            addresses.push_back(outline.xmlUrl);
        }
    }
}

// Puts what was found into the outlines of one level; the path as the merge names it.
void Apply(std::vector<OpmlOutline>& level, const std::map<std::string, FeedDiscovery>& found,
           const std::string& prefix, OpmlDiscoveryResult& result) {
    for (auto it = level.begin(); it != level.end();) {
        OpmlOutline& outline = *it;
        const std::string path = prefix + outline.title;
        if (outline.IsDirectory()) {
            const bool held = !outline.children.empty();
            Apply(outline.children, found, path + "/", result);
            // A folder whose pages all led nowhere goes with them.
            it = held && outline.children.empty() ? level.erase(it) : it + 1;
            continue;
        }
        const auto page = found.find(outline.xmlUrl);
        if (page == found.end() || page->second.isFeed || !page->second.answered) {
            ++it;
            continue;
        }
        const FeedDiscovery& discovery = page->second;
        if (discovery.offers.empty()) {
            result.dropped.push_back(
                {.path = path, .xmlUrl = outline.xmlUrl, .reason = discovery.reason});
            it = level.erase(it);
            continue;
        }
        const FeedOffer& offer = discovery.offers.front();
        std::string note = "网页提供的订阅: " + offer.url;
        if (discovery.offers.size() > 1) {
            note = "网页提供 " + std::to_string(discovery.offers.size()) +
                   " 个订阅, 取第一个: " + offer.url + "; 其余:";
            for (size_t i = 1; i < discovery.offers.size(); ++i)
                note += " " + discovery.offers[i].url;
        }
        result.resolved.push_back({.path = path, .xmlUrl = outline.xmlUrl, .reason = note});
        // The page is the site the feed belongs to.
        if (outline.htmlUrl.empty())
            outline.htmlUrl = outline.xmlUrl;
        if (outline.title.empty())
            outline.title = offer.title;
        outline.xmlUrl = offer.url;
        ++it;
    }
}

} // namespace

OpmlDiscoveryResult COpmlDiscovery::Resolve(std::vector<OpmlOutline>& outlines,
                                            const COpmlFeedFilter& known,
                                            const Discover& discover) {
    std::vector<std::string> addresses;
    CollectNew(outlines, known, addresses);
    std::vector<FeedDiscovery> answers(addresses.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < addresses.size(); i = next++)
            answers[i] = discover(addresses[i]);
    };
    // This thread asks too; the others come from a runner of their own, so that a caller that
    // is itself a job never waits for a thread another job holds.
    CJobRunner helpers(kWorkers - 1);
    for (size_t i = 1; i < std::min<size_t>(kWorkers, addresses.size()); ++i)
        helpers.Submit([&](const CCancelToken&) { work(); });
    work();
    helpers.Wait();

    std::map<std::string, FeedDiscovery> found;
    for (size_t i = 0; i < addresses.size(); ++i)
        found.emplace(addresses[i], std::move(answers[i]));
    OpmlDiscoveryResult result;
    Apply(outlines, found, "", result);
    return result;
}
