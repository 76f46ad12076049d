#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// What a file is, as a weblog is told when it is uploaded.
struct MediaType {
    std::string mime;     // "" when nothing tells
    std::string ending;   // its usual file ending, without the dot
    bool picture = false; // a picture the editor shows and keeps (PNG, JPEG, GIF, WebP, BMP)
};

// A file put on a weblog (quillmark-cli's media upload, the editor's pictures): what it is, by
// the one table of types the program knows, and what it may weigh.
class CMediaFile {
public:
    // The type by the first bytes alone; mime "" when they match no signature.
    static MediaType Sniff(std::string_view bytes);
    // The type a file is sent as: the first bytes decide when they match a signature, else the
    // name's ending when it names a type that has none (text, HTML, CSS, SVG), else
    // application/octet-stream. False with the reason when the file is too large, or when its
    // ending names a type with a signature its bytes lack (a text file named .png): the weblog
    // would keep a file nobody can open.
    static bool Check(std::string_view bytes, const std::string& name, MediaType& type,
                      std::string& reason);
    // Whether a file of size bytes may be sent (checked before it is read, so that a file of
    // gigabytes is not taken into memory to be refused); false with "<what> <name> 太大 (21 MB),
    // 最多 20 MB" when it is larger than kMaxBytes. what: "文件", "图片".
    static bool FitsSize(std::size_t size, const std::string& name, std::string_view what,
                         std::string& reason);

    // What one file may weigh: weblogs refuse larger uploads, and a draft is no photo store.
    static constexpr std::size_t kMaxBytes = 20u * 1024 * 1024;
};
