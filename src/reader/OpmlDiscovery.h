#pragma once

#include "reader/FeedFetcher.h"
#include "reader/OpmlExchange.h"

#include <functional>
#include <string>
#include <vector>

// What the discovery made of the web pages among an import's feed addresses.
struct OpmlDiscoveryResult {
    // Pages that announce feeds: the outline's path, the page's address, and in reason the
    // feed taken for it.
    std::vector<OpmlMergeEntry> resolved;
    // Pages that announce none: the path, the address and why; they are left out of the list.
    std::vector<OpmlMergeEntry> dropped;
};

// A list to import may name web pages where feeds belong (a list of sites, written by hand or
// by a bookmarks tool). Before the merge, every feed address that the channels do not hold
// yet is looked at the way 添加订阅 looks at a typed address (CFeedFetcher::DiscoverFeeds): a
// feed stays as it is; a page becomes the feed it announces, and of several the first one,
// which sites list as their main feed (the others are named in the result); a page without
// any feed is left out with the reason; an address that does not answer stays as given, for
// the receive to report. That costs one request per new address, and at most six more for a
// page that announces nothing; a few addresses are looked at side by side.
class COpmlDiscovery {
public:
    using Discover = std::function<FeedDiscovery(const std::string& url)>;
    static constexpr int kWorkers = 4;

    // discover is called from several threads at once, once for each distinct new address.
    static OpmlDiscoveryResult Resolve(std::vector<OpmlOutline>& outlines,
                                       const COpmlFeedFilter& known, const Discover& discover);
};
