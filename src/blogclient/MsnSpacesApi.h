#pragma once

#include "blogclient/MetaWeblogApi.h"

// The MetaWeblog endpoint of MSN Spaces: its own transport (other headers, and an answer that
// may carry text before "<methodResponse"), and answers whose values have no type element
// (which every reader of the family accepts).
class CMsnSpacesApi : public CMetaWeblogApi {
public:
    using CMetaWeblogApi::CMetaWeblogApi;

    // Title, body, every category name run together, date and post id of each post.
    int ReadPostList(const std::string& answer, PostList& list) override;
    int Transport(const std::string& request, std::string& answer) override;

    // The service's endpoint, which account set-up fills in for this type.
    static constexpr const char* kEndpoint =
        "https://storage.msn.com/storageservice/MetaWeblog.rpc";
};
