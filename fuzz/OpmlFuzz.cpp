// The OPML reader (the channel file, and every OPML file opened through it): the file is
// loaded, every outline is walked with its attributes read, and the document is written back.

#include "FuzzSupport.h"
#include "reader/RssChannelFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string g_path;

void Walk(const CXmlNode& node, int depth) {
    if (depth > 200)
        return;
    for (CXmlNode child = node.Child("outline"); child; child = child.NextSibling()) {
        if (!child.HasName("outline"))
            continue;
        child.GetAttribute("text");
        child.GetAttribute("title");
        child.GetAttribute("xmlUrl");
        child.GetAttribute("htmlUrl");
        Walk(child, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = SetUpFuzzProcess() + "/input.opml";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* file = std::fopen(g_path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    CRssChannelFile channels(g_path);
    if (!channels.Open())
        return 0;
    Walk(channels.Body(), 0);
    channels.Outline({0, 0});
    channels.Document().SaveText("gb2312");
    return 0;
}
