#include "workspace/MediaFile.h"

#include "platform/text/AsciiText.h"

namespace {

// One kind of file: its type, its endings (the first is the usual one) and how its first bytes
// look (nullptr: they say nothing, the ending decides).
struct Kind {
    const char* mime;
    const char* endings[2];
    bool (*matches)(std::string_view bytes);
    bool picture;
};

bool At(std::string_view bytes, size_t at, std::string_view magic) {
    return bytes.size() >= at + magic.size() && bytes.substr(at, magic.size()) == magic;
}

const Kind kKinds[] = {
    {"image/png", {"png"}, [](std::string_view b) { return At(b, 0, "\x89PNG\r\n\x1a\n"); }, true},
    {"image/jpeg",
     {"jpg", "jpeg"},
     [](std::string_view b) { return At(b, 0, "\xff\xd8\xff"); },
     true},
    {"image/gif",
     {"gif"},
     [](std::string_view b) { return At(b, 0, "GIF87a") || At(b, 0, "GIF89a"); },
     true},
    {"image/webp",
     {"webp"},
     [](std::string_view b) { return At(b, 0, "RIFF") && At(b, 8, "WEBP"); },
     true},
    {"image/bmp",
     {"bmp"},
     [](std::string_view b) { return At(b, 0, "BM") && b.size() > 26; },
     true},
    {"image/x-icon",
     {"ico"},
     [](std::string_view b) { return At(b, 0, std::string_view("\0\0\1\0", 4)); },
     false},
    {"audio/mpeg",
     {"mp3"},
     [](std::string_view b) {
         return At(b, 0, "ID3") || (b.size() > 1 && static_cast<unsigned char>(b[0]) == 0xff &&
                                    (static_cast<unsigned char>(b[1]) & 0xe0) == 0xe0);
     },
     false},
    {"audio/ogg", {"ogg"}, [](std::string_view b) { return At(b, 0, "OggS"); }, false},
    {"audio/wav",
     {"wav"},
     [](std::string_view b) { return At(b, 0, "RIFF") && At(b, 8, "WAVE"); },
     false},
    {"video/mp4", {"mp4"}, [](std::string_view b) { return At(b, 4, "ftyp"); }, false},
    {"application/pdf", {"pdf"}, [](std::string_view b) { return At(b, 0, "%PDF-"); }, false},
    {"application/zip", {"zip"}, [](std::string_view b) { return At(b, 0, "PK\x03\x04"); }, false},
    {"application/msword",
     {"doc"},
     [](std::string_view b) { return At(b, 0, "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"); },
     false},
    {"image/svg+xml", {"svg"}, nullptr, false},
    {"text/plain", {"txt"}, nullptr, false},
    {"text/html", {"html", "htm"}, nullptr, false},
    {"text/css", {"css"}, nullptr, false},
};

MediaType TypeOf(const Kind& kind) {
    return {.mime = kind.mime, .ending = kind.endings[0], .picture = kind.picture};
}

} // namespace

MediaType CMediaFile::Sniff(std::string_view bytes) {
    for (const Kind& kind : kKinds) {
        if (kind.matches && kind.matches(bytes))
            return TypeOf(kind);
    }
    return {};
}

bool CMediaFile::FitsSize(std::size_t size, const std::string& name, std::string_view what,
                          std::string& reason) {
    if (size <= kMaxBytes)
        return true;
    constexpr std::size_t kMb = 1024 * 1024;
    reason = std::string(what) + " " + name + " 太大 (" + std::to_string((size + kMb - 1) / kMb) +
             " MB), 最多 " + std::to_string(kMaxBytes / kMb) + " MB";
    return false;
}

bool CMediaFile::Check(std::string_view bytes, const std::string& name, MediaType& type,
                       std::string& reason) {
    if (!FitsSize(bytes.size(), name, "文件", reason))
        return false;
    type = Sniff(bytes);
    if (!type.mime.empty())
        return true;
    const size_t dot = name.find_last_of('.');
    const std::string ending = dot == std::string::npos ? "" : AsciiLower(name.substr(dot + 1));
    for (const Kind& kind : kKinds) {
        for (const char* e : kind.endings) {
            if (!e || ending != e)
                continue;
            if (kind.matches) {
                reason = "文件 " + name + " 不是 " + kind.mime + " 文件 (开头的字节不对)";
                return false;
            }
            type = TypeOf(kind);
            return true;
        }
    }
    type = {.mime = "application/octet-stream"};
    return true;
}
