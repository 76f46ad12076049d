// The HTML sanitizer on arbitrary descriptions, with images kept and replaced by placeholders;
// its output is sanitized once more, which must leave it as it is.

#include "platform/xml/HtmlSanitizer.h"
#include "platform/xml/XmlDocument.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CXmlDocument::InitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view html(reinterpret_cast<const char*>(data), size);
    HtmlSanitizeOptions options{.videoHosts = {"www.youtube.com"},
                                .remoteImages =
                                    size % 2 ? RemoteImages::kPlaceholder : RemoteImages::kLoad,
                                .loadImagesAddress = "quillpane:/load-images"};
    CHtmlSanitizer::Sanitize(html, options);
    CHtmlSanitizer::CleanStyle(html);
    CHtmlSanitizer::CheckHostList(html);
    return 0;
}
