#include "blogclient/MsnSpacesApi.h"

#include "blogclient/XmlRpcAnswer.h"
#include "platform/xml/XmlDocument.h"

int CMsnSpacesApi::Transport(const std::string& request, std::string& answer) {
    return Send(request, answer, true);
}

int CMsnSpacesApi::ReadPostList(const std::string& answer, PostList& list) {
    if (answer.empty())
        list.clear();
    int sequence = 0;
    return ReadStructArray(
        answer,
        [&](const CXmlNode& post) {
            PostEntry entry;
            entry.sequence = ++sequence;
            entry.title = CXmlRpcAnswer::MemberText(post, {"title"});
            entry.description = CXmlRpcAnswer::MemberText(post, {"description"});
            CXmlNode categories = CXmlRpcAnswer::Member(post, {"categories"});
            entry.category = CXmlRpcAnswer::Array(categories).Child("data").GetText();
            entry.dateCreated = CXmlRpcAnswer::MemberText(post, {"dateCreated"});
            entry.postId = CXmlRpcAnswer::MemberText(post, {"postid"});
            list.push_back(std::move(entry));
        },
        true);
}
