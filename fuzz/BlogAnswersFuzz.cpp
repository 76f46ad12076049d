// The answer readers of the four weblog interfaces (Blogger, MetaWeblog, MovableType, MSN
// Spaces) on arbitrary answers, in UTF-8 and GBK accounts.

#include "FuzzSupport.h"
#include "blogclient/MovableTypeApi.h"
#include "blogclient/MsnSpacesApi.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

struct Interfaces {
    CBloggerApi blogger;
    CMetaWeblogApi metaWeblog;
    CMovableTypeApi movableType;
    CMsnSpacesApi msn;
};

std::unique_ptr<Interfaces> g_utf8;
std::unique_ptr<Interfaces> g_gbk;

AccountRecord Account(const char* type, const char* encoding) {
    AccountRecord a;
    a.name = "fuzz";
    a.xmlrpcurl = "http://127.0.0.1:9/xmlrpc.php";
    a.port = "9";
    a.blogapitype = type;
    a.username = "u";
    a.password = "p";
    a.encodetype = encoding;
    return a;
}

std::unique_ptr<Interfaces> Make(const char* encoding) {
    auto i = std::make_unique<Interfaces>();
    i->blogger.Bind(Account("Blogger", encoding), {});
    i->metaWeblog.Bind(Account("MetaWeblog", encoding), {});
    i->movableType.Bind(Account("MovableType", encoding), {});
    i->msn.Bind(Account("MSN Spaces", encoding), {});
    return i;
}

void ReadAll(Interfaces& i, const std::string& answer) {
    int value = 0;
    std::string text;
    PostList posts;
    BlogInfo info;
    CategoryList categories;
    i.blogger.ReadBoolean(answer, value);
    i.blogger.ReadPostId(answer, text);
    i.blogger.ReadBlogInfo(answer, info);
    i.blogger.ReadPostList(answer, posts);
    i.metaWeblog.ReadPostList(answer, posts);
    i.metaWeblog.ReadMediaUrl(answer, text);
    i.metaWeblog.ReadCategories(answer, categories);
    i.movableType.ReadPostList(answer, posts);
    i.movableType.ReadCategories(answer, categories);
    i.msn.ReadPostList(answer, posts);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetUpFuzzProcess();
    g_utf8 = Make("UTF-8");
    g_gbk = Make("gb2312");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    ReadAll(size % 2 ? *g_gbk : *g_utf8, answer);
    return 0;
}
